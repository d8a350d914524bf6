#include "CKRZL2GBroadTools_Face.h"

#include <algorithm>

#include "CCOM_BroadTools.h"
#include "CKRZCom.h"
#include "KRZPerformanceLog.h"
#include "base/KRZComTyped.h"
#include "base/KRZCountSum.h"
#include "base/KRZLine.h"
#include "base/KRZRowTable.h"
#include "face/CKRZFacesMappingA2B_Basic.h"

using namespace krz::detail;

namespace {
constexpr int kSlots = 5; // node count and up to four nodes
}

// What the face object holds beyond the members its interface names (the storage behind
// m_ppFace20_G and m_ppL2GFace, which view it), and the steps behind its operations. Every step
// takes the object it serves (`t`).
struct CKRZL2GBroadTools_Face::Impl {
  static void Copy(CKRZL2GBroadTools_Face& to, const CKRZL2GBroadTools_Face& from);
  static void NewBroadTools(CKRZL2GBroadTools_Face& t);
  static bool ValidRecord(const CKRZL2GBroadTools_Face& t, int face, bool& toldMissing,
                          bool& toldCount);
  static std::vector<int> FaceMapLengths(const CKRZL2GBroadTools_Face& t);
  static bool HasRelation(const CKRZL2GBroadTools_Face& t);
  template <class T> static void Gather(CKRZL2GBroadTools_Face& t, T* pLocal, T* pGlobal);
  template <class T> static void Scatter(CKRZL2GBroadTools_Face& t, T* pGlobal, T* pLocal);

  CKRZOwnedRows<int> globalTable; // rank 0: entry 0 null, entries 1..n_G five-int records
  CKRZOwnedRows<int> faceMap;     // rank 0: row p has n_p+1 entries
  long long setUps = 0;           // SetLocalFace20 and SetL2GMapRelation calls so far
};

long long CKRZL2GBroadTools_Face::SetUpCount() const { return m_pImpl->setUps; }

CKRZL2GBroadTools_Face::CKRZL2GBroadTools_Face()
    : m_pCom(nullptr), m_nMyid(0), m_nNProc(0), m_ppFace20_G(nullptr), m_nFaceNumber_G(0),
      m_nFaceNumber_L(0), m_ppFace20_L(nullptr), m_ppL2GNode(nullptr), m_ppL2GFace(nullptr),
      m_pImpl(new Impl) {}

CKRZL2GBroadTools_Face::~CKRZL2GBroadTools_Face() = default;

CKRZL2GBroadTools_Face::CKRZL2GBroadTools_Face(const CKRZL2GBroadTools_Face& other)
    : CKRZL2GBroadTools_Face() {
  Impl::Copy(*this, other);
}

CKRZL2GBroadTools_Face& CKRZL2GBroadTools_Face::operator=(const CKRZL2GBroadTools_Face& other) {
  if (this != &other)
    Impl::Copy(*this, other);
  return *this;
}

void CKRZL2GBroadTools_Face::Impl::Copy(CKRZL2GBroadTools_Face& t,
                                        const CKRZL2GBroadTools_Face& other) {
  t.m_pCom = other.m_pCom;
  t.m_nMyid = other.m_nMyid;
  t.m_nNProc = other.m_nNProc;
  t.m_nFaceNumber_G = other.m_nFaceNumber_G;
  t.m_pFaceNumber_L = other.m_pFaceNumber_L;
  t.m_nFaceNumber_L = other.m_nFaceNumber_L;
  t.m_ppFace20_L = other.m_ppFace20_L;
  t.m_ppL2GNode = other.m_ppL2GNode;
  *t.m_pImpl = *other.m_pImpl;
  t.m_ppFace20_G = other.m_ppFace20_G != nullptr ? t.m_pImpl->globalTable.Get() : nullptr;
  t.m_ppL2GFace = other.m_ppL2GFace != nullptr ? t.m_pImpl->faceMap.Get() : nullptr;
  t.m_pBroadTools.reset(other.m_pBroadTools ? new CCOM_BroadTools(*other.m_pBroadTools) : nullptr);
  // Rank 0's transfer object borrows the counts and the face map: point it at this copy's.
  if (t.m_pBroadTools && t.m_nMyid == 0 && t.m_ppL2GFace != nullptr)
    t.m_pBroadTools->SetMapRelation(t.m_nFaceNumber_G, t.m_pFaceNumber_L.data(), t.m_ppL2GFace);
}

void CKRZL2GBroadTools_Face::SetInitialize(int myid, int nproc, CKRZCom* pCom) {
  m_nMyid = myid;
  m_nNProc = nproc;
  m_pCom = pCom;
}

int CKRZL2GBroadTools_Face::COM_AllSumValue(int value) {
  return krz::detail::SumInt(m_pCom, m_nNProc, value);
}

void CKRZL2GBroadTools_Face::SetLocalFace20(int nFaceLocal, int** ppFace20_Local) {
  krz::detail::CKRZLogScope logged(KRZLogged::FaceSetUp);
  if (nFaceLocal < 0) {
    CKRZLine() << "CKRZL2GBroadTools_Face: process " << m_nMyid << " passed the face count "
               << nFaceLocal << ", taken as 0";
    nFaceLocal = 0;
  }
  // New faces: the relation, the global table and the transfer object made for the old ones go
  // (on every rank alike), and transfers are refused until SetL2GMapRelation is called again.
  ++m_pImpl->setUps;
  m_pBroadTools.reset();
  m_ppL2GFace = nullptr;
  m_ppFace20_G = nullptr;
  m_nFaceNumber_L = nFaceLocal;
  m_ppFace20_L = ppFace20_Local;
  const int nproc = std::max(m_nNProc, 1);
  m_pFaceNumber_L.assign(static_cast<size_t>(nproc), 0);
  for (int p = 0; p < nproc; ++p) {
    int& count = m_pFaceNumber_L[static_cast<size_t>(p)];
    if (p == m_nMyid)
      count = m_nFaceNumber_L;
    count = COM_AllSumValue(count);
  }
  m_nFaceNumber_G = COM_AllSumValue(m_nFaceNumber_L);
  // The global count as every rank sums it in 64 bits: past INT_MAX no faces are kept, alike on
  // every rank.
  if (!KRZCountFits("SetLocalFace20", KRZSumCounts(m_pFaceNumber_L, nproc), "face")) {
    std::fill(m_pFaceNumber_L.begin(), m_pFaceNumber_L.end(), 0);
    m_nFaceNumber_L = 0;
    m_nFaceNumber_G = 0;
    m_ppFace20_L = nullptr;
  }
}

int CKRZL2GBroadTools_Face::GetFaceNumber_Global() { return m_nFaceNumber_G; }

int CKRZL2GBroadTools_Face::GetFaceNumber_Local(int iProc) {
  if (iProc < 0 || iProc >= static_cast<int>(m_pFaceNumber_L.size()))
    return 0;
  return m_pFaceNumber_L[static_cast<size_t>(iProc)];
}

int CKRZL2GBroadTools_Face::Getmyid() { return m_nMyid; }

std::vector<int> CKRZL2GBroadTools_Face::Impl::FaceMapLengths(const CKRZL2GBroadTools_Face& t) {
  std::vector<int> lengths;
  for (int count : t.m_pFaceNumber_L)
    lengths.push_back(count + 1);
  return lengths;
}

int** CKRZL2GBroadTools_Face::Copy_L2GFaceMapping(int** ppL2GFace) {
  m_pImpl->faceMap.Reset(Impl::FaceMapLengths(*this));
  int** map = m_pImpl->faceMap.Get();
  for (size_t p = 0; p < m_pFaceNumber_L.size(); ++p) {
    if (ppL2GFace[p] == nullptr) {
      if (m_pFaceNumber_L[p] > 0)
        CKRZLine() << "CKRZL2GBroadTools_Face: the face map has no row for process " << p
                   << "; its faces get global number 0";
      continue;
    }
    std::copy(ppL2GFace[p] + 1, ppL2GFace[p] + m_pFaceNumber_L[p] + 1, map[p] + 1);
  }
  return map;
}

int** CKRZL2GBroadTools_Face::CreateDefault_L2GFaceMapping() {
  m_pImpl->faceMap.Reset(Impl::FaceMapLengths(*this));
  int** map = m_pImpl->faceMap.Get();
  int next = 1;
  for (size_t p = 0; p < m_pFaceNumber_L.size(); ++p)
    for (int i = 1; i <= m_pFaceNumber_L[p]; ++i)
      map[p][i] = next++;
  return map;
}

void CKRZL2GBroadTools_Face::Rearrange_L2GFaceMapping(int** ppL2GFace, const int* pA2B) {
  for (size_t p = 0; p < m_pFaceNumber_L.size(); ++p)
    for (int i = 1; i <= m_pFaceNumber_L[p]; ++i)
      ppL2GFace[p][i] = pA2B[ppL2GFace[p][i]];
}

void CKRZL2GBroadTools_Face::Impl::NewBroadTools(CKRZL2GBroadTools_Face& t) {
  t.m_pBroadTools.reset(new CCOM_BroadTools());
  t.m_pBroadTools->SetInitialize(t.m_nMyid, t.m_nNProc, t.m_pCom);
  if (t.m_nMyid == 0)
    t.m_pBroadTools->SetMapRelation(t.m_nFaceNumber_G, t.m_pFaceNumber_L.data(), t.m_ppL2GFace);
}

// A record must exist and hold a node count of 1 to 4; the first fault of each kind on this rank
// is reported and the face is taken as empty.
bool CKRZL2GBroadTools_Face::Impl::ValidRecord(const CKRZL2GBroadTools_Face& t, int face,
                                               bool& toldMissing, bool& toldCount) {
  if (t.m_ppFace20_L == nullptr || t.m_ppFace20_L[face] == nullptr) {
    if (!toldMissing)
      CKRZLine() << "CKRZL2GBroadTools_Face: process " << t.m_nMyid
                 << " has no record for local face " << face << "; it is taken as empty";
    toldMissing = true;
    return false;
  }
  const int k = t.m_ppFace20_L[face][0];
  if (k < 1 || k > kSlots - 1) {
    if (!toldCount)
      CKRZLine() << "CKRZL2GBroadTools_Face: process " << t.m_nMyid << ", local face " << face
                 << " has node count " << k << " (1 to 4 allowed); it is taken as empty";
    toldCount = true;
    return false;
  }
  return true;
}

int** CKRZL2GBroadTools_Face::CreateFace20_Global(int nFace, CCOM_BroadTools& broadTools,
                                                  int** ppL2GNode) {
  const bool root = m_nMyid == 0;
  std::vector<int> recordLengths(static_cast<size_t>(nFace) + 1, kSlots);
  recordLengths[0] = -1;
  if (root)
    m_pImpl->globalTable.Reset(recordLengths);
  int** table = root ? m_pImpl->globalTable.Get() : nullptr;

  // A missing or invalid local record reads as a face of zeros.
  std::vector<char> valid(static_cast<size_t>(m_nFaceNumber_L) + 1, 0);
  bool toldMissing = false, toldCount = false;
  for (int i = 1; i <= m_nFaceNumber_L; ++i)
    valid[static_cast<size_t>(i)] = Impl::ValidRecord(*this, i, toldMissing, toldCount) ? 1 : 0;
  auto slot = [&](int face, int s) {
    return valid[static_cast<size_t>(face)] != 0 ? m_ppFace20_L[face][s] : 0;
  };

  std::vector<int> local(static_cast<size_t>(m_nFaceNumber_L) + 1, 0);
  std::vector<int> global(static_cast<size_t>(nFace) + 1, 0);
  const bool onePass = m_nNProc <= 1;
  for (int s = 0; s < kSlots && !onePass; ++s) {
    for (int i = 1; i <= m_nFaceNumber_L; ++i)
      local[static_cast<size_t>(i)] = slot(i, s);
    int* target = global.data();
    broadTools.GetGlobalArrayFromLocalArray(local.data(), target);
    if (root)
      for (int j = 1; j <= nFace; ++j)
        table[j][s] = global[static_cast<size_t>(j)];
  }
  std::fill(local.begin() + 1, local.end(), m_nMyid);
  std::vector<int> owner(static_cast<size_t>(nFace) + 1, 0);
  int* ownerTarget = owner.data();
  broadTools.GetGlobalArrayFromLocalArray(local.data(), ownerTarget);

  if (onePass) {
    // One process: local order and local node numbers are the global ones.
    for (int j = 1; j <= nFace && j <= m_nFaceNumber_L; ++j)
      for (int s = 0; s < kSlots; ++s)
        table[j][s] = slot(j, s);
    return table;
  }
  if (!root)
    return nullptr;
  if (ppL2GNode == nullptr) {
    CKRZLine() << "CKRZL2GBroadTools_Face: no node map; the global face table keeps local "
                  "node numbers";
    return table;
  }
  for (int j = 1; j <= nFace; ++j) {
    const int* nodes = ppL2GNode[owner[static_cast<size_t>(j)]];
    for (int s = 1; s < kSlots; ++s) {
      const int v = table[j][s];
      if (v == 0)
        continue;
      if (nodes == nullptr || v < 0) {
        CKRZLine() << "CKRZL2GBroadTools_Face: global face " << j << " slot " << s
                   << " holds local node " << v << " of process " << owner[static_cast<size_t>(j)]
                   << ", which the node map cannot convert; kept as it is";
        continue;
      }
      table[j][s] = nodes[v];
    }
  }
  return table;
}

void CKRZL2GBroadTools_Face::SetL2GMapRelation(int** ppL2GNode, int** ppL2GFace) {
  krz::detail::CKRZLogScope logged(KRZLogged::FaceSetUp);
  ++m_pImpl->setUps;
  if (m_nMyid == 0) {
    m_ppL2GNode = ppL2GNode;
    m_ppL2GFace =
        ppL2GFace != nullptr ? Copy_L2GFaceMapping(ppL2GFace) : CreateDefault_L2GFaceMapping();
  }
  Impl::NewBroadTools(*this);
  m_ppFace20_G = CreateFace20_Global(m_nFaceNumber_G, *m_pBroadTools, m_ppL2GNode);
}

void CKRZL2GBroadTools_Face::SetL2GMapRelation(int** ppL2GNode, int& nFaceNumber_Global,
                                               int** ppFace20_Global) {
  krz::detail::CKRZLogScope logged(KRZLogged::FaceSetUp);
  SetL2GMapRelation(ppL2GNode, nullptr);
  if (m_nMyid == 0 && ppFace20_Global == nullptr) {
    CKRZLine() << "CKRZL2GBroadTools_Face: SetL2GMapRelation was given no global face table; "
                  "the faces keep the default numbering";
  } else if (m_nMyid == 0) {
    if (m_nFaceNumber_G != nFaceNumber_Global)
      CKRZLine() << "m_nFaceNumber_G(" << m_nFaceNumber_G << ") != nFaceNumber_Global("
                 << nFaceNumber_Global << ")";
    CKRZFacesMappingA2B_Basic matching(m_ppFace20_G, m_nFaceNumber_G, ppFace20_Global,
                                       nFaceNumber_Global);
    matching.CreateMapping();
    Rearrange_L2GFaceMapping(m_ppL2GFace, matching.m_pA2B.data());
  }
  Impl::NewBroadTools(*this);
}

void CKRZL2GBroadTools_Face::GetGlobalFace20(int& nFace, int**& ppFace20) {
  krz::detail::CKRZLogScope logged(KRZLogged::FaceSetUp);
  nFace = m_nFaceNumber_G;
  ppFace20 = m_ppFace20_G;
}

// Every rank alike lacks the transfer object before SetL2GMapRelation: none moves anything.
bool CKRZL2GBroadTools_Face::Impl::HasRelation(const CKRZL2GBroadTools_Face& t) {
  if (!t.m_pBroadTools && t.m_nMyid == 0)
    CKRZLine() << "CKRZL2GBroadTools_Face: no face relation (SetL2GMapRelation); nothing moved";
  return t.m_pBroadTools != nullptr;
}

template <class T>
void CKRZL2GBroadTools_Face::Impl::Gather(CKRZL2GBroadTools_Face& t, T* pLocal, T* pGlobal) {
  krz::detail::CKRZLogScope logged(KRZLogged::FaceTransfer);
  if (!HasRelation(t))
    return;
  T* global = pGlobal;
  t.m_pBroadTools->GetGlobalArrayFromLocalArray(pLocal, global);
  if (global != pGlobal)
    delete[] global; // allocated for a null argument: the caller never sees it
}

template <class T>
void CKRZL2GBroadTools_Face::Impl::Scatter(CKRZL2GBroadTools_Face& t, T* pGlobal, T* pLocal) {
  krz::detail::CKRZLogScope logged(KRZLogged::FaceTransfer);
  if (!HasRelation(t))
    return;
  T* local = pLocal;
  t.m_pBroadTools->GetLocalArrayFromGlobalArray(pGlobal, local);
  if (local != pLocal)
    delete[] local;
}

void CKRZL2GBroadTools_Face::GetValue_FromLocalFaceToGloblaFace(double* pLocal, double* pGlobal) {
  Impl::Gather(*this, pLocal, pGlobal);
}
void CKRZL2GBroadTools_Face::GetValue_FromLocalFaceToGloblaFace(int* pLocal, int* pGlobal) {
  Impl::Gather(*this, pLocal, pGlobal);
}
void CKRZL2GBroadTools_Face::GetValue_FromGlobalFaceToLocalFace(double* pGlobal, double* pLocal) {
  Impl::Scatter(*this, pGlobal, pLocal);
}
void CKRZL2GBroadTools_Face::GetValue_FromGlobalFaceToLocalFace(int* pGlobal, int* pLocal) {
  Impl::Scatter(*this, pGlobal, pLocal);
}
