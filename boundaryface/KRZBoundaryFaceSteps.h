// The steps behind CKRZL2GBroadTools_BoundaryFace's transfers, shared with the A/B exchange's
// direct route (a friend of the class): cell values packed into face order and face values
// applied to the neighbour cells, with the lines the transfers print. Every step takes the object
// it serves (`t`).
#ifndef KRZ3DCOMTOOLS_KRZBOUNDARYFACESTEPS_H
#define KRZ3DCOMTOOLS_KRZBOUNDARYFACESTEPS_H

#include <algorithm>

#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"
#include "base/KRZLine.h"

struct CKRZL2GBroadTools_BoundaryFace::Impl {
  /// The object's buffer of T, at least nFace+1 elements (zeroed when made).
  template <class T> static T* Buffer(CKRZL2GBroadTools_BoundaryFace& t, int nFace);
  /// Whether the object has a face object; otherwise one line.
  static bool HasFace(const CKRZL2GBroadTools_BoundaryFace& t);
  /// The face object's current local count (a line when it differs from the relation's).
  static int CurrentLocalCount(CKRZL2GBroadTools_BoundaryFace& t, const char* operation);
  /// The cell values named by pCellID (owner or neighbour ids) of every local boundary face, in
  /// face order: the object's buffer, entries 1..n with n the current local count (zeros where
  /// no value can be read, with a line). Needs HasFace.
  template <class T>
  static T* PackCells(CKRZL2GBroadTools_BoundaryFace& t, const int* pCellID, const T* pCellValue,
                      int& n);
  /// valueOf(i), the value of local boundary face i in 1..n (n the current local count), into
  /// its neighbour cell, in face order (the last face wins where faces share a cell); a face
  /// naming a negative cell is skipped, with one line.
  template <class T, class ValueOf>
  static void ApplyCells(CKRZL2GBroadTools_BoundaryFace& t, int n, const ValueOf& valueOf,
                         T* pCellValue) {
    const int usable = std::min(n, t.m_nBoundaryFaceNumber_L);
    if (usable > 0 && (t.m_pNeighborCellID == nullptr || pCellValue == nullptr)) {
      krz::detail::CKRZLine() << "CKRZL2GBroadTools_BoundaryFace: process " << t.m_pFace->Getmyid()
                              << " has no cell ids or cell values; nothing written";
      return;
    }
    bool reported = false;
    for (int i = 1; i <= usable; ++i) {
      const int cell = t.m_pNeighborCellID[i];
      if (cell >= 0) {
        pCellValue[cell] = valueOf(i);
      } else if (!reported) {
        krz::detail::CKRZLine() << "CKRZL2GBroadTools_BoundaryFace: boundary face " << i
                                << " names cell " << cell << "; its value is not written";
        reported = true;
      }
    }
  }
  template <class T>
  static void GatherCells(CKRZL2GBroadTools_BoundaryFace& t, const int* pCellID, T* pCellValue,
                          T* pGlobalFaceValue);
  template <class T>
  static void ScatterCells(CKRZL2GBroadTools_BoundaryFace& t, T* pGlobalFaceValue, T* pCellValue);
};

#endif
