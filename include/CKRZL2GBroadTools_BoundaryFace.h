#ifndef KRZ3DCOMTOOLS_CKRZL2GBROADTOOLS_BOUNDARYFACE_H
#define KRZ3DCOMTOOLS_CKRZL2GBROADTOOLS_BOUNDARYFACE_H

#include <memory>

#include "KRZ3DCOMTools_export.h"

class CKRZL2GBroadTools_Face;

/// CKRZL2GBroadTools_BoundaryFace: cell values to the global boundary faces on rank 0 and back.
///
/// Stands on a configured CKRZL2GBroadTools_Face (borrowed) whose local faces are this rank's
/// boundary faces. Each local boundary face i has an owner cell and a neighbour cell, indices
/// into the caller's 1-based cell value arrays (the two id arrays are borrowed, entries
/// 1..local count). Gathers read the owner or neighbour cells into the global face array on rank 0
/// (GetBoundaryFaceNumber_Global()+1 values, the caller's, read/written on rank 0 only); the
/// scatter writes global face values into the neighbour cells. The object owns one buffer per
/// element type (local count + 1 values), made at the first transfer of that type.
///
/// Every transfer is collective. A rank whose cell ids are missing (never set, or refused)
/// still takes part: it sends zeros and writes nothing, with a line.
class KRZ3DCOMTOOLS_EXPORT CKRZL2GBroadTools_BoundaryFace {
public:
  CKRZL2GBroadTools_BoundaryFace();
  ~CKRZL2GBroadTools_BoundaryFace();
  ///@{
  /// Copies share the borrowed face object and cell ids; buffers are the copy's own.
  CKRZL2GBroadTools_BoundaryFace(const CKRZL2GBroadTools_BoundaryFace& other);
  CKRZL2GBroadTools_BoundaryFace& operator=(const CKRZL2GBroadTools_BoundaryFace& other);
  ///@}

  /// Ties the object to a face object (borrowed) and takes its global and this rank's local
  /// face counts. Releases the buffers; the cell ids stay set. Not collective.
  void SetBoundaryFaceRelation(CKRZL2GBroadTools_Face* pFace);
  /// Takes (borrows) the owner and neighbour cell of each local boundary face, entries
  /// 1..nBoundaryFaceLocal, when the count equals the local boundary-face count; otherwise
  /// prints a line and keeps the arrays it had. Not collective.
  void SetLocalFace_BoundaryCellID(int nBoundaryFaceLocal, int* pOwnerCellID, int* pNeighborCellID);

  ///@{
  /// This rank's local and the global boundary face counts, as the face object knows them. Not
  /// collective.
  int GetBoundaryFaceNumber_Local();
  int GetBoundaryFaceNumber_Global();
  ///@}
  /// The face object's rank number; -1 before SetBoundaryFaceRelation.
  int Getmyid();

  ///@{
  /// Collective gathers: owner (or neighbour) cell values of the local boundary faces into the
  /// global face array on rank 0.
  void GetGlobalFaceValue_FromLocalOwnerCell(int* pCellValue, int* pGlobalFaceValue);
  void GetGlobalFaceValue_FromLocalOwnerCell(double* pCellValue, double* pGlobalFaceValue);
  void GetGlobalFaceValue_FromLocalNeighborCell(int* pCellValue, int* pGlobalFaceValue);
  void GetGlobalFaceValue_FromLocalNeighborCell(double* pCellValue, double* pGlobalFaceValue);
  ///@}
  ///@{
  /// Collective scatter: global face values into the neighbour cells (in local face order, so a
  /// cell shared by several faces ends with the last one's value; other cells keep theirs).
  void GetLocalNeighborCellValue_FromGlobalFaceValue(int* pGlobalFaceValue, int* pCellValue);
  void GetLocalNeighborCellValue_FromGlobalFaceValue(double* pGlobalFaceValue, double* pCellValue);
  ///@}

private:
  friend class CKRZA2BExchange_BoundaryFace; // its direct route packs and applies cell values
  struct Impl;                               // the steps behind the transfers

  void FreeMemory();

  CKRZL2GBroadTools_Face* m_pFace;
  int m_nBoundaryFaceNumber_G;
  int m_nBoundaryFaceNumber_L;
  int* m_pOwnerCellID;                       ///< borrowed; local count + 1 entries, 1-based
  int* m_pNeighborCellID;                    ///< borrowed; local count + 1 entries, 1-based
  std::unique_ptr<double[]> m_pDoubleBuffer; ///< m_nDoubleBufferSize entries (local count + 1)
  std::unique_ptr<int[]> m_pIntBuffer;       ///< m_nIntBufferSize entries (local count + 1)
  int m_nDoubleBufferSize;
  int m_nIntBufferSize;
};

#endif
