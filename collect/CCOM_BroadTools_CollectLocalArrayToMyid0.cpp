#include "CCOM_BroadTools_CollectLocalArrayToMyid0.h"

#include "CCOM_BroadTools.h"
#include "CKRZCom.h"
#include "KRZPerformanceLog.h"
#include "base/KRZComTyped.h"
#include "base/KRZCountSum.h"
#include "base/KRZLine.h"
#include "base/KRZRowTable.h"

using namespace krz::detail;

// The steps behind the collections; they take the object they serve (`t`).
struct CCOM_BroadTools_CollectLocalArrayToMyid0::Impl {
  static void Copy(CCOM_BroadTools_CollectLocalArrayToMyid0& to,
                   const CCOM_BroadTools_CollectLocalArrayToMyid0& from);
  template <class T>
  static T* CollectFlat(CCOM_BroadTools_CollectLocalArrayToMyid0& t, int nLocal, T* pLocal);
  template <class T>
  static T** CollectRows(CCOM_BroadTools_CollectLocalArrayToMyid0& t, int nLocal, T* pLocal);
  /// The transfer object a collection of nLocal items uses; null for one rank or a refusal.
  static CCOM_BroadTools* ToolsFor(CCOM_BroadTools_CollectLocalArrayToMyid0& t, int nLocal) {
    return t.m_nNProc < 2 ? nullptr : t.ArrangeMapRelation_Org(nLocal);
  }
};

CCOM_BroadTools_CollectLocalArrayToMyid0::CCOM_BroadTools_CollectLocalArrayToMyid0()
    : m_pCom(nullptr), m_nMyid(0), m_nNProc(0), m_nNumber_Global(0), m_pL2GMapping(nullptr) {}

CCOM_BroadTools_CollectLocalArrayToMyid0::~CCOM_BroadTools_CollectLocalArrayToMyid0() {
  FreeMemory();
}

CCOM_BroadTools_CollectLocalArrayToMyid0::CCOM_BroadTools_CollectLocalArrayToMyid0(
    const CCOM_BroadTools_CollectLocalArrayToMyid0& other)
    : CCOM_BroadTools_CollectLocalArrayToMyid0() {
  Impl::Copy(*this, other);
}

CCOM_BroadTools_CollectLocalArrayToMyid0& CCOM_BroadTools_CollectLocalArrayToMyid0::operator=(
    const CCOM_BroadTools_CollectLocalArrayToMyid0& other) {
  if (this != &other) {
    FreeMemory();
    Impl::Copy(*this, other);
  }
  return *this;
}

void CCOM_BroadTools_CollectLocalArrayToMyid0::Impl::Copy(
    CCOM_BroadTools_CollectLocalArrayToMyid0& t,
    const CCOM_BroadTools_CollectLocalArrayToMyid0& other) {
  t.m_pCom = other.m_pCom;
  t.m_nMyid = other.m_nMyid;
  t.m_nNProc = other.m_nNProc;
  t.m_nNumber_Global = other.m_nNumber_Global;
  if (other.m_pNumber_Local) {
    t.m_pNumber_Local.reset(new int[static_cast<size_t>(t.m_nNProc)]);
    std::copy(other.m_pNumber_Local.get(), other.m_pNumber_Local.get() + t.m_nNProc,
              t.m_pNumber_Local.get());
    t.m_pL2GMapping = KRZCopyRowTable(other.m_pL2GMapping, t.m_nNProc, t.m_pNumber_Local.get());
  }
  if (other.m_pBroadTools) {
    t.m_pBroadTools.reset(new CCOM_BroadTools(*other.m_pBroadTools));
    // Rank 0's transfer object borrows the numbering: point it at this object's copy.
    if (t.m_nMyid == 0 && t.m_pL2GMapping != nullptr)
      t.m_pBroadTools->SetMapRelation(t.m_nNumber_Global, t.m_pNumber_Local.get(), t.m_pL2GMapping);
  }
}

void CCOM_BroadTools_CollectLocalArrayToMyid0::FreeMemory() {
  m_pBroadTools.reset(); // first: it borrows the counts and the numbering on rank 0
  m_pNumber_Local.reset();
  free_imatrix(m_pL2GMapping, m_nNProc - 1);
}

void CCOM_BroadTools_CollectLocalArrayToMyid0::free_imatrix(int**& table, std::int32_t nLast) {
  KRZDeleteRowTable(table, nLast + 1);
}

void CCOM_BroadTools_CollectLocalArrayToMyid0::SetInitialize(int myid, int nproc, CKRZCom* com) {
  m_nMyid = myid;
  m_nNProc = nproc;
  m_pCom = com;
}

void CCOM_BroadTools_CollectLocalArrayToMyid0::COM_Broadi(int& value, int root) {
  krz::detail::BroadcastInt(m_pCom, m_nNProc, value, root);
}

int CCOM_BroadTools_CollectLocalArrayToMyid0::COM_AllSum(int& value) {
  return krz::detail::SumInt(m_pCom, m_nNProc, value);
}

std::unique_ptr<int[]> CCOM_BroadTools_CollectLocalArrayToMyid0::CreateNumber_Local(int, int nproc,
                                                                                    int nLocal) {
  std::unique_ptr<int[]> counts(new int[static_cast<size_t>(nproc)]());
  krz::detail::GatherCounts(m_pCom, nproc, m_nMyid, nLocal, counts.get());
  return counts;
}

int** CCOM_BroadTools_CollectLocalArrayToMyid0::CreateDefault_L2GMapping() {
  int** table = KRZNewRowTable<int>(m_nNProc, m_pNumber_Local.get());
  int g = 0;
  for (int p = 0; p < m_nNProc; ++p)
    for (int i = 1; i <= m_pNumber_Local[p]; ++i)
      table[p][i] = ++g;
  return table;
}

CCOM_BroadTools* CCOM_BroadTools_CollectLocalArrayToMyid0::ArrangeMapRelation_Org(int nLocal) {
  if (m_nMyid < 0 || m_nMyid >= m_nNProc || m_pCom == nullptr) {
    CKRZLine() << "CCOM_BroadTools_CollectLocalArrayToMyid0: SetInitialize has not given this "
                  "object a valid rank and communicator (myid "
               << m_nMyid << ", nproc " << m_nNProc << "); nothing collected";
    return nullptr;
  }
  if (nLocal < 0) {
    CKRZLine() << "CCOM_BroadTools_CollectLocalArrayToMyid0: process " << m_nMyid
               << " passed the item count " << nLocal << ", taken as 0";
    nLocal = 0;
  }
  if (m_pNumber_Local) {
    int changed = nLocal != m_pNumber_Local[m_nMyid] ? 1 : 0;
    if (COM_AllSum(changed) == 0 && m_pBroadTools)
      return m_pBroadTools.get();
  }
  m_pBroadTools.reset();
  m_pNumber_Local = CreateNumber_Local(m_nMyid, m_nNProc, nLocal);
  m_nNumber_Global = 0;
  const long long total = KRZSumCounts(m_pNumber_Local, m_nNProc);
  if (!KRZCountFits("CCOM_BroadTools_CollectLocalArrayToMyid0", total, "item")) {
    m_pNumber_Local.reset(); // every rank refuses alike; the next collection starts afresh
    free_imatrix(m_pL2GMapping, m_nNProc - 1);
    return nullptr;
  }
  m_nNumber_Global = static_cast<int>(total);
  free_imatrix(m_pL2GMapping, m_nNProc - 1);
  if (m_nMyid == 0)
    m_pL2GMapping = CreateDefault_L2GMapping();

  m_pBroadTools.reset(new CCOM_BroadTools());
  m_pBroadTools->SetInitialize(m_nMyid, m_nNProc, m_pCom);
  if (m_nMyid == 0)
    m_pBroadTools->SetMapRelation(m_nNumber_Global, m_pNumber_Local.get(), m_pL2GMapping);
  return m_pBroadTools.get();
}

template <class T>
T* CCOM_BroadTools_CollectLocalArrayToMyid0::Impl::CollectFlat(
    CCOM_BroadTools_CollectLocalArrayToMyid0& t, int nLocal, T* pLocal) {
  krz::detail::CKRZLogScope logged(KRZLogged::Collect);
  CCOM_BroadTools* tools = ToolsFor(t, nLocal);
  if (tools == nullptr)
    return nullptr;
  // Owned here until handed over: a rank unwound inside the gather leaks nothing.
  std::unique_ptr<T[]> global(t.m_nMyid == 0 ? new T[static_cast<size_t>(t.m_nNumber_Global) + 1]()
                                             : nullptr);
  T* target = global.get();
  tools->GetGlobalArrayFromLocalArray(pLocal, target);
  return global.release();
}

// The default numbering takes every rank's items in local order, so rank p's values are row p
// as it arrives: rank 0 receives every message straight into the caller's new rows. After a
// refused gather the rows are zero.
template <class T>
T** CCOM_BroadTools_CollectLocalArrayToMyid0::Impl::CollectRows(
    CCOM_BroadTools_CollectLocalArrayToMyid0& t, int nLocal, T* pLocal) {
  krz::detail::CKRZLogScope logged(KRZLogged::Collect);
  CCOM_BroadTools* tools = ToolsFor(t, nLocal);
  if (tools == nullptr)
    return nullptr;
  if (t.m_nMyid != 0) {
    T* none = nullptr;
    tools->GetGlobalArrayFromLocalArray(pLocal, none);
    return nullptr;
  }
  CKRZRowsForCaller<T> rows(t.m_nNProc, t.m_pNumber_Local.get(), false);
  if (GatherIntoRows(*tools, pLocal, rows.Get()) == 0)
    for (int p = 0; p < t.m_nNProc; ++p)
      std::fill_n(rows.Get()[p], t.m_pNumber_Local[p] + 1, T());
  return rows.Release();
}

// The collections' four element types.
#define KRZ_COLLECTIONS(T)                                                                         \
  T** CCOM_BroadTools_CollectLocalArrayToMyid0::CreateMyid0ArrayFromLocalArray(int nLocal,         \
                                                                               T* pLocal) {        \
    return Impl::CollectRows(*this, nLocal, pLocal);                                               \
  }                                                                                                \
  T* CCOM_BroadTools_CollectLocalArrayToMyid0::CreateMyid0Array1DFromLocalArray(int nLocal,        \
                                                                                T* pLocal) {       \
    return Impl::CollectFlat(*this, nLocal, pLocal);                                               \
  }
KRZ_COLLECTIONS(int)
KRZ_COLLECTIONS(bool)
KRZ_COLLECTIONS(double)
KRZ_COLLECTIONS(float)
#undef KRZ_COLLECTIONS

int CCOM_BroadTools_CollectLocalArrayToMyid0::GetNumber_Local(int iProc) {
  if (!m_pNumber_Local || iProc < 0 || iProc >= m_nNProc)
    return 0;
  return m_pNumber_Local[iProc];
}

int CCOM_BroadTools_CollectLocalArrayToMyid0::GetNumber_Global() { return m_nNumber_Global; }
