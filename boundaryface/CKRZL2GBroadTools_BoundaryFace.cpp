#include "CKRZL2GBroadTools_BoundaryFace.h"

#include <algorithm>

#include "CKRZL2GBroadTools_Face.h"
#include "KRZPerformanceLog.h"
#include "base/KRZLine.h"
#include "base/KRZScratch.h"
#include "boundaryface/KRZBoundaryFaceSteps.h"

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

template <>
double* CKRZL2GBroadTools_BoundaryFace::Impl::Buffer<double>(CKRZL2GBroadTools_BoundaryFace& t,
                                                             int nFace) {
  return KRZGrow(t.m_pDoubleBuffer, t.m_nDoubleBufferSize, nFace + 1LL, true);
}

template <>
int* CKRZL2GBroadTools_BoundaryFace::Impl::Buffer<int>(CKRZL2GBroadTools_BoundaryFace& t,
                                                       int nFace) {
  return KRZGrow(t.m_pIntBuffer, t.m_nIntBufferSize, nFace + 1LL, true);
}

bool CKRZL2GBroadTools_BoundaryFace::Impl::HasFace(const CKRZL2GBroadTools_BoundaryFace& t) {
  if (t.m_pFace == nullptr)
    CKRZLine() << "CKRZL2GBroadTools_BoundaryFace: no face object (SetBoundaryFaceRelation); "
                  "nothing moved";
  return t.m_pFace != nullptr;
}

// The face object's current local count. It equals the count taken by SetBoundaryFaceRelation
// unless the face object was set up anew since; then the cell ids cover only the faces both know.
int CKRZL2GBroadTools_BoundaryFace::Impl::CurrentLocalCount(CKRZL2GBroadTools_BoundaryFace& t,
                                                            const char* operation) {
  const int n = t.m_pFace->GetFaceNumber_Local(t.m_pFace->Getmyid());
  if (n != t.m_nBoundaryFaceNumber_L)
    CKRZLine() << "CKRZL2GBroadTools_BoundaryFace::" << operation << ": the face object holds " << n
               << " local faces but the relation was set for " << t.m_nBoundaryFaceNumber_L
               << "; call SetBoundaryFaceRelation again";
  return n;
}

template <class T>
T* CKRZL2GBroadTools_BoundaryFace::Impl::PackCells(CKRZL2GBroadTools_BoundaryFace& t,
                                                   const int* pCellID, const T* pCellValue,
                                                   int& n) {
  n = CurrentLocalCount(t, "gather");
  T* buffer = Buffer<T>(t, std::max(n, t.m_nBoundaryFaceNumber_L));
  int usable = std::min(n, t.m_nBoundaryFaceNumber_L);
  if (usable > 0 && (pCellID == nullptr || pCellValue == nullptr)) {
    CKRZLine() << "CKRZL2GBroadTools_BoundaryFace: process " << t.m_pFace->Getmyid()
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
  return buffer;
}

template <class T>
void CKRZL2GBroadTools_BoundaryFace::Impl::GatherCells(CKRZL2GBroadTools_BoundaryFace& t,
                                                       const int* pCellID, T* pCellValue,
                                                       T* pGlobalFaceValue) {
  krz::detail::CKRZLogScope logged(KRZLogged::BoundaryFaceTransfer);
  if (!HasFace(t))
    return;
  int n = 0;
  T* buffer = PackCells(t, pCellID, pCellValue, n);
  t.m_pFace->GetValue_FromLocalFaceToGloblaFace(buffer, pGlobalFaceValue);
}

template <class T>
void CKRZL2GBroadTools_BoundaryFace::Impl::ScatterCells(CKRZL2GBroadTools_BoundaryFace& t,
                                                        T* pGlobalFaceValue, T* pCellValue) {
  krz::detail::CKRZLogScope logged(KRZLogged::BoundaryFaceTransfer);
  if (!HasFace(t))
    return;
  const int n = CurrentLocalCount(t, "scatter");
  T* buffer = Buffer<T>(t, std::max(n, t.m_nBoundaryFaceNumber_L));
  t.m_pFace->GetValue_FromGlobalFaceToLocalFace(pGlobalFaceValue, buffer);
  ApplyCells(
      t, n, [buffer](int i) { return buffer[i]; }, pCellValue);
}

// The exchange's direct route packs through the same steps.
template double*
CKRZL2GBroadTools_BoundaryFace::Impl::PackCells<double>(CKRZL2GBroadTools_BoundaryFace&, const int*,
                                                        const double*, int&);
template int* CKRZL2GBroadTools_BoundaryFace::Impl::PackCells<int>(CKRZL2GBroadTools_BoundaryFace&,
                                                                   const int*, const int*, int&);

void CKRZL2GBroadTools_BoundaryFace::GetGlobalFaceValue_FromLocalOwnerCell(int* pCellValue,
                                                                           int* pGlobalFaceValue) {
  Impl::GatherCells(*this, m_pOwnerCellID, pCellValue, pGlobalFaceValue);
}
void CKRZL2GBroadTools_BoundaryFace::GetGlobalFaceValue_FromLocalOwnerCell(
    double* pCellValue, double* pGlobalFaceValue) {
  Impl::GatherCells(*this, m_pOwnerCellID, pCellValue, pGlobalFaceValue);
}
void CKRZL2GBroadTools_BoundaryFace::GetGlobalFaceValue_FromLocalNeighborCell(
    int* pCellValue, int* pGlobalFaceValue) {
  Impl::GatherCells(*this, m_pNeighborCellID, pCellValue, pGlobalFaceValue);
}
void CKRZL2GBroadTools_BoundaryFace::GetGlobalFaceValue_FromLocalNeighborCell(
    double* pCellValue, double* pGlobalFaceValue) {
  Impl::GatherCells(*this, m_pNeighborCellID, pCellValue, pGlobalFaceValue);
}
void CKRZL2GBroadTools_BoundaryFace::GetLocalNeighborCellValue_FromGlobalFaceValue(
    int* pGlobalFaceValue, int* pCellValue) {
  Impl::ScatterCells(*this, pGlobalFaceValue, pCellValue);
}
void CKRZL2GBroadTools_BoundaryFace::GetLocalNeighborCellValue_FromGlobalFaceValue(
    double* pGlobalFaceValue, double* pCellValue) {
  Impl::ScatterCells(*this, pGlobalFaceValue, pCellValue);
}
