#include "CKRZL2GBroadTools_BoundaryFace.h"

#include <algorithm>

#include "CKRZL2GBroadTools_Face.h"
#include "base/KRZLine.h"

using namespace krz::detail;

CKRZL2GBroadTools_BoundaryFace::CKRZL2GBroadTools_BoundaryFace()
    : m_pFace(nullptr), m_nBoundaryFaceNumber_G(0), m_nBoundaryFaceNumber_L(0),
      m_pOwnerCellID(nullptr), m_pNeighborCellID(nullptr), m_nDoubleBufferSize(0),
      m_nIntBufferSize(0) {}

CKRZL2GBroadTools_BoundaryFace::~CKRZL2GBroadTools_BoundaryFace() = default;

CKRZL2GBroadTools_BoundaryFace::CKRZL2GBroadTools_BoundaryFace(
    const CKRZL2GBroadTools_BoundaryFace& other)
    : CKRZL2GBroadTools_BoundaryFace() {
  *this = other;
}

CKRZL2GBroadTools_BoundaryFace&
CKRZL2GBroadTools_BoundaryFace::operator=(const CKRZL2GBroadTools_BoundaryFace& other) {
  if (this != &other) {
    m_pFace = other.m_pFace;
    m_nBoundaryFaceNumber_G = other.m_nBoundaryFaceNumber_G;
    m_nBoundaryFaceNumber_L = other.m_nBoundaryFaceNumber_L;
    m_pOwnerCellID = other.m_pOwnerCellID;
    m_pNeighborCellID = other.m_pNeighborCellID;
    FreeMemory(); // buffers hold nothing between transfers: the copy makes its own
  }
  return *this;
}

void CKRZL2GBroadTools_BoundaryFace::FreeMemory() {
  m_pDoubleBuffer.reset();
  m_pIntBuffer.reset();
  m_nDoubleBufferSize = 0;
  m_nIntBufferSize = 0;
}

void CKRZL2GBroadTools_BoundaryFace::SetBoundaryFaceRelation(CKRZL2GBroadTools_Face* pFace) {
  m_pFace = pFace;
  m_nBoundaryFaceNumber_G = pFace != nullptr ? pFace->GetFaceNumber_Global() : 0;
  m_nBoundaryFaceNumber_L = pFace != nullptr ? pFace->GetFaceNumber_Local(pFace->Getmyid()) : 0;
  FreeMemory();
}

void CKRZL2GBroadTools_BoundaryFace::SetLocalFace_BoundaryCellID(int nBoundaryFaceLocal,
                                                                 int* pOwnerCellID,
                                                                 int* pNeighborCellID) {
  if (nBoundaryFaceLocal != m_nBoundaryFaceNumber_L) {
    CKRZLine() << " BoundaryFaceRelation Local Face number(" << m_nBoundaryFaceNumber_L
               << " is not the same with input Local Face number(" << nBoundaryFaceLocal << ")";
    return;
  }
  m_pOwnerCellID = pOwnerCellID;
  m_pNeighborCellID = pNeighborCellID;
}

int CKRZL2GBroadTools_BoundaryFace::GetBoundaryFaceNumber_Local() {
  return m_nBoundaryFaceNumber_L;
}

int CKRZL2GBroadTools_BoundaryFace::GetBoundaryFaceNumber_Global() {
  return m_nBoundaryFaceNumber_G;
}

int CKRZL2GBroadTools_BoundaryFace::Getmyid() {
  return m_pFace != nullptr ? m_pFace->Getmyid() : -1;
}

template <> double* CKRZL2GBroadTools_BoundaryFace::Buffer<double>(int nFace) {
  if (m_nDoubleBufferSize < nFace + 1) {
    m_pDoubleBuffer.reset(new double[static_cast<size_t>(nFace) + 1]());
    m_nDoubleBufferSize = nFace + 1;
  }
  return m_pDoubleBuffer.get();
}

template <> int* CKRZL2GBroadTools_BoundaryFace::Buffer<int>(int nFace) {
  if (m_nIntBufferSize < nFace + 1) {
    m_pIntBuffer.reset(new int[static_cast<size_t>(nFace) + 1]());
    m_nIntBufferSize = nFace + 1;
  }
  return m_pIntBuffer.get();
}

bool CKRZL2GBroadTools_BoundaryFace::HasFace() const {
  if (m_pFace == nullptr)
    CKRZLine() << "CKRZL2GBroadTools_BoundaryFace: no face object (SetBoundaryFaceRelation); "
                  "nothing moved";
  return m_pFace != nullptr;
}

// The face object's current local count. It equals the count taken by SetBoundaryFaceRelation
// unless the face object was set up anew since; then the cell ids cover only the faces both know.
int CKRZL2GBroadTools_BoundaryFace::CurrentLocalCount(const char* operation) {
  const int n = m_pFace->GetFaceNumber_Local(m_pFace->Getmyid());
  if (n != m_nBoundaryFaceNumber_L)
    CKRZLine() << "CKRZL2GBroadTools_BoundaryFace::" << operation << ": the face object holds " << n
               << " local faces but the relation was set for " << m_nBoundaryFaceNumber_L
               << "; call SetBoundaryFaceRelation again";
  return n;
}

template <class T>
void CKRZL2GBroadTools_BoundaryFace::GatherCells(const int* pCellID, T* pCellValue,
                                                 T* pGlobalFaceValue) {
  if (!HasFace())
    return;
  const int n = CurrentLocalCount("gather");
  T* buffer = Buffer<T>(std::max(n, m_nBoundaryFaceNumber_L));
  int usable = std::min(n, m_nBoundaryFaceNumber_L);
  if (usable > 0 && (pCellID == nullptr || pCellValue == nullptr)) {
    CKRZLine() << "CKRZL2GBroadTools_BoundaryFace: process " << m_pFace->Getmyid()
               << " has no cell ids or cell values; it sends zeros";
    usable = 0;
  }
  bool reported = false;
  for (int i = 1; i <= usable; ++i) {
    const int cell = pCellID[i];
    if (cell < 0 && !reported) {
      CKRZLine() << "CKRZL2GBroadTools_BoundaryFace: boundary face " << i << " names cell " << cell
                 << "; it sends 0";
      reported = true;
    }
    buffer[i] = cell >= 0 ? pCellValue[cell] : T();
  }
  std::fill(buffer + usable + 1, buffer + std::max(n, usable) + 1, T());
  m_pFace->GetValue_FromLocalFaceToGloblaFace(buffer, pGlobalFaceValue);
}

template <class T>
void CKRZL2GBroadTools_BoundaryFace::ScatterCells(T* pGlobalFaceValue, T* pCellValue) {
  if (!HasFace())
    return;
  const int n = CurrentLocalCount("scatter");
  T* buffer = Buffer<T>(std::max(n, m_nBoundaryFaceNumber_L));
  m_pFace->GetValue_FromGlobalFaceToLocalFace(pGlobalFaceValue, buffer);
  const int usable = std::min(n, m_nBoundaryFaceNumber_L);
  if (usable > 0 && (m_pNeighborCellID == nullptr || pCellValue == nullptr)) {
    CKRZLine() << "CKRZL2GBroadTools_BoundaryFace: process " << m_pFace->Getmyid()
               << " has no cell ids or cell values; nothing written";
    return;
  }
  bool reported = false;
  for (int i = 1; i <= usable; ++i) {
    const int cell = m_pNeighborCellID[i];
    if (cell >= 0) {
      pCellValue[cell] = buffer[i];
    } else if (!reported) {
      CKRZLine() << "CKRZL2GBroadTools_BoundaryFace: boundary face " << i << " names cell " << cell
                 << "; its value is not written";
      reported = true;
    }
  }
}

void CKRZL2GBroadTools_BoundaryFace::GetGlobalFaceValue_FromLocalOwnerCell(int* pCellValue,
                                                                           int* pGlobalFaceValue) {
  GatherCells(m_pOwnerCellID, pCellValue, pGlobalFaceValue);
}
void CKRZL2GBroadTools_BoundaryFace::GetGlobalFaceValue_FromLocalOwnerCell(
    double* pCellValue, double* pGlobalFaceValue) {
  GatherCells(m_pOwnerCellID, pCellValue, pGlobalFaceValue);
}
void CKRZL2GBroadTools_BoundaryFace::GetGlobalFaceValue_FromLocalNeighborCell(
    int* pCellValue, int* pGlobalFaceValue) {
  GatherCells(m_pNeighborCellID, pCellValue, pGlobalFaceValue);
}
void CKRZL2GBroadTools_BoundaryFace::GetGlobalFaceValue_FromLocalNeighborCell(
    double* pCellValue, double* pGlobalFaceValue) {
  GatherCells(m_pNeighborCellID, pCellValue, pGlobalFaceValue);
}
void CKRZL2GBroadTools_BoundaryFace::GetLocalNeighborCellValue_FromGlobalFaceValue(
    int* pGlobalFaceValue, int* pCellValue) {
  ScatterCells(pGlobalFaceValue, pCellValue);
}
void CKRZL2GBroadTools_BoundaryFace::GetLocalNeighborCellValue_FromGlobalFaceValue(
    double* pGlobalFaceValue, double* pCellValue) {
  ScatterCells(pGlobalFaceValue, pCellValue);
}
