// CCOM_BroadTools: life, the map relation, its check and distribution, the dimensions.
#include "CCOM_BroadTools.h"

#include <algorithm>

#include "CKRZCom.h"
#include "base/KRZComTyped.h"
#include "base/KRZCountSum.h"
#include "base/KRZElementTypes.h"
#include "base/KRZLine.h"
#include "communication/KRZRelation.h"

using namespace krz::detail;

CCOM_BroadTools::CCOM_BroadTools()
    : m_pCom(nullptr), m_nMyid(0), m_nNProc(0), m_nDimension_G(0), m_pNDimension_L(nullptr),
      m_pL2GArray(nullptr), m_nIfMapDataCorrect(0), m_bIfOwnMap(false), m_nIfOpenDebugMode(0),
      m_pImpl(new Impl) {
  Impl::NoScratchViews(*this);
}

void CCOM_BroadTools::Impl::NoScratchViews(CCOM_BroadTools& t) {
#define KRZ_NO_SCRATCH(e, c, T, text, Name) t.m_pBuffer##Name = nullptr;
  KRZ_ELEMENT_TYPES(KRZ_NO_SCRATCH)
#undef KRZ_NO_SCRATCH
}

CCOM_BroadTools::~CCOM_BroadTools() = default;

CCOM_BroadTools::CCOM_BroadTools(const CCOM_BroadTools& other) : CCOM_BroadTools() {
  Impl::Copy(*this, other);
}

CCOM_BroadTools& CCOM_BroadTools::operator=(const CCOM_BroadTools& other) {
  if (this != &other)
    Impl::Copy(*this, other);
  return *this;
}

void CCOM_BroadTools::Impl::Copy(CCOM_BroadTools& to, const CCOM_BroadTools& from) {
  std::unique_ptr<Impl> fresh(new Impl);
  const Impl& other = *from.m_pImpl;
  fresh->m_Relation = CKRZMapRelation(other.m_Relation);
  fresh->m_bSortedTransfers = other.m_bSortedTransfers;
  fresh->m_pPost = other.m_pPost;
  to.m_pCom = from.m_pCom;
  to.m_nMyid = from.m_nMyid;
  to.m_nNProc = from.m_nNProc;
  to.m_nDimension_G = from.m_nDimension_G;
  NoScratchViews(to); // the copy grows its own scratch when it needs it
  to.m_bIfOwnMap = from.m_bIfOwnMap;
  to.m_nIfOpenDebugMode = from.m_nIfOpenDebugMode;
  to.m_pImpl = std::move(fresh);
  to.m_pImpl->Show(to);
}

void CCOM_BroadTools::Impl::Show(CCOM_BroadTools& t) const {
  t.m_pNDimension_L = m_Relation.Counts();
  t.m_pL2GArray = m_Relation.Rows();
  t.m_nIfMapDataCorrect = m_Relation.Now() == CKRZMapRelation::State::Distributed ? 1 : 0;
}

void CCOM_BroadTools::Impl::ReleaseCounts(CCOM_BroadTools& t) {
  m_Relation.ReleaseCounts();
  Show(t);
}

void CCOM_BroadTools::Impl::ReleaseTable(CCOM_BroadTools& t) {
  m_Relation.ReleaseRows();
  Show(t);
  t.m_bIfOwnMap = false;
}

void CCOM_BroadTools::Impl::OwnCounts(CCOM_BroadTools& t, int n) {
  m_Relation.OwnCounts(n);
  Show(t);
}

// An owned, zeroed table whose row p has n_p+1 entries (n_p from the counts).
void CCOM_BroadTools::Impl::OwnTable(CCOM_BroadTools& t) {
  m_Relation.OwnRows(t.m_nNProc > 1 ? t.m_nNProc : 1);
  Show(t);
}

void CCOM_BroadTools::SetInitialize(int myid, int nproc, CKRZCom* com) {
  if (m_nIfMapDataCorrect != 0 && (myid != m_nMyid || nproc != m_nNProc)) {
    // Another rank or rank count: what was distributed does not fit any more. Rank 0 keeps a
    // relation it was given; copies received from rank 0 are dropped.
    m_pImpl->m_Relation.Undistribute();
    m_pImpl->Show(*this);
    m_pImpl->m_bSortedTransfers = false;
    m_pImpl->ForgetOrders();
    if (m_nMyid != 0 || m_bIfOwnMap) {
      m_pImpl->ReleaseCounts(*this);
      m_pImpl->ReleaseTable(*this);
    }
  }
  m_nMyid = myid;
  m_nNProc = nproc;
  m_pCom = com;
  m_pImpl->m_pPost = PostingOf(com, nproc); // the route of every transfer, chosen once here
  ++m_pImpl->m_nSetUps;
}

// A transfer needs SetInitialize with 0 <= myid < nproc; without it the rank cannot take part.
bool CCOM_BroadTools::Impl::Initialized(const CCOM_BroadTools& t, const char* operation) const {
  if (t.m_nNProc >= 1 && t.m_nMyid >= 0 && t.m_nMyid < t.m_nNProc)
    return true;
  CKRZLine() << operation << ": SetInitialize has not given this object a valid rank (myid "
             << t.m_nMyid << ", nproc " << t.m_nNProc << "); nothing moved";
  return false;
}

void CCOM_BroadTools::SetIfOpenDebugMode(int on) { m_nIfOpenDebugMode = on; }

void CCOM_BroadTools::COM_Barrier() { krz::detail::Barrier(m_pCom); }

void CCOM_BroadTools::SetMapRelation(int nGlobal, int* pNDimension_L, int** pL2GArray) {
  if (m_nNProc > 1 && m_nMyid != 0)
    return;
  ++m_pImpl->m_nSetUps;
  // A relation the object built earlier is replaced by the caller's and released.
  if (m_pL2GArray != pL2GArray)
    m_bIfOwnMap = false;
  m_pImpl->m_Relation.Borrow(pNDimension_L, pL2GArray);
  m_pImpl->Show(*this);
  m_pImpl->m_Relation.refused = nGlobal < 0;
  if (nGlobal < 0)
    CKRZLine() << "SetMapRelation: global dimension " << nGlobal
               << " is negative; the relation is refused";
  m_nDimension_G = nGlobal < 0 ? 0 : nGlobal;

  if (m_nIfOpenDebugMode == 0 || pNDimension_L == nullptr || pL2GArray == nullptr ||
      pL2GArray[0] == nullptr)
    return;
  const int n0 = pNDimension_L[0];
  for (int i = 1; i <= n0; ++i)
    if (i < 30 || i > n0 - 5)
      CKRZLine() << "CPU0 m_pL2GArray[" << i << "] = " << pL2GArray[0][i];
}

void CCOM_BroadTools::SetMapRelation_DefaultRelation(int nLocal) {
  ++m_pImpl->m_nSetUps;
  m_pImpl->ReleaseCounts(*this);
  m_pImpl->ReleaseTable(*this);
  m_pImpl->m_Relation.Undistribute(); // collective: every rank takes it at the next check
  m_pImpl->Show(*this);
  m_pImpl->m_Relation.refused = false;
  if (m_nNProc <= 1) {
    if (!KRZCountFits("SetMapRelation_DefaultRelation", nLocal, "item")) {
      m_nDimension_G = 0;
      m_pImpl->m_Relation.refused = true;
      return;
    }
    m_pImpl->OwnCounts(*this, 1);
    m_pNDimension_L[0] = nLocal;
    m_nDimension_G = nLocal;
    return;
  }
  m_nDimension_G = 0;
  m_pImpl->OwnCounts(*this, m_nNProc);
  GatherCounts(m_pCom, m_nNProc, m_nMyid, nLocal, m_pNDimension_L);
  // Summed in 64 bits: a total past INT_MAX leaves no relation, alike on every rank, and the
  // transfers then refuse.
  const long long total = KRZSumCounts(m_pNDimension_L, m_nNProc);
  if (!KRZCountFits("SetMapRelation_DefaultRelation", total, "item")) {
    m_pImpl->ReleaseCounts(*this);
    m_pImpl->m_Relation.refused = true;
    return;
  }
  m_nDimension_G = static_cast<int>(total);
  if (m_nMyid != 0)
    return;
  m_pImpl->OwnTable(*this);
  int counter = 0;
  std::vector<int> runs;
  for (int p = 0; p < m_nNProc; ++p) {
    runs.push_back(counter);
    for (int i = 1; i <= m_pNDimension_L[p]; ++i)
      m_pL2GArray[p][i] = ++counter;
  }
  m_pImpl->m_Relation.SetRuns(std::move(runs));
  m_bIfOwnMap = true;
}

// Rank 0's relation must have non-negative counts, a row for every rank, and every global
// number in 0..n_G. A one-rank run uses n_G items (its local dimension is n_G), so its row must
// hold at least that many. The rows of a default relation the object built are runs inside
// 1..n_G by construction and are not scanned (a one-rank run checks at every transfer).
bool CCOM_BroadTools::Impl::ValidateRelation(const CCOM_BroadTools& t) const {
  if (t.m_nDimension_G < 0) {
    CKRZLine() << "L2G relation error: global dimension " << t.m_nDimension_G << " is negative";
    return false;
  }
  const int rows = t.m_nNProc > 1 ? t.m_nNProc : 1;
  if (t.m_nNProc <= 1 && t.m_pNDimension_L[0] < t.m_nDimension_G) {
    CKRZLine() << "L2G relation error: process 0 has local dimension " << t.m_pNDimension_L[0]
               << " but a one-process run uses the global dimension " << t.m_nDimension_G;
    return false;
  }
  for (int p = 0; p < rows; ++p) {
    const int n = t.m_pNDimension_L[p];
    if (n < 0) {
      CKRZLine() << "L2G relation error: process " << p << " has local dimension " << n;
      return false;
    }
    if (n > 0 && t.m_pL2GArray[p] == nullptr) {
      CKRZLine() << "L2G relation error: process " << p << " has " << n << " items but no row";
      return false;
    }
    if (m_Relation.RunOf(p) >= 0)
      continue;
    const int* row = t.m_pL2GArray[p];
    const unsigned nG = static_cast<unsigned>(t.m_nDimension_G);
    const int* bad =
        std::find_if(row + 1, row + n + 1, [nG](int g) { return static_cast<unsigned>(g) > nG; });
    bool reported = false;
    if (bad != row + n + 1 && !InRange(t, p, static_cast<int>(bad - row), *bad, reported, ""))
      return false;
  }
  return true;
}

bool CCOM_BroadTools::Impl::InRange(const CCOM_BroadTools& t, int p, int i, int g, bool& reported,
                                    const char* consequence) const {
  if (g >= 0 && g <= t.m_nDimension_G)
    return true;
  if (!reported)
    CKRZLine() << "L2G relation error: process " << p << ", local item " << i << ", global number "
               << g << " outside 0 to " << t.m_nDimension_G << consequence;
  reported = true;
  return false;
}

int CCOM_BroadTools::CheckMapDataCorrect() {
  if (m_nIfMapDataCorrect != 0)
    return 1;
  const bool valid = m_nMyid >= 0 && m_nMyid < m_nNProc;
  if (m_pImpl->m_Relation.refused && (m_nMyid == 0 || m_nNProc <= 1)) {
    CKRZLine() << "L2G relation error: the relation handed in was refused; set a relation again";
    if (m_nNProc <= 1)
      return 0;
  }
  int ok = 1;
  if (m_nDimension_G == 0) {
    ok = 0;
    if (m_nMyid == 0 && m_nIfOpenDebugMode > 0)
      CKRZLine() << "Not Set Dimension_Global";
  }

  if (m_nNProc <= 1) {
    // Completed locally at every call; the object never reaches the distributed state.
    if (m_pNDimension_L == nullptr) {
      m_pImpl->OwnCounts(*this, 1);
      m_pNDimension_L[0] = m_nDimension_G;
    }
    if (m_pL2GArray == nullptr) {
      m_pImpl->OwnTable(*this);
      for (int i = 1; i <= m_nDimension_G; ++i)
        m_pL2GArray[0][i] = i;
      m_pImpl->m_Relation.SetRuns({0});
      m_bIfOwnMap = true;
    }
    return m_pImpl->ValidateRelation(*this) ? 1 : 0;
  }

  if (m_pCom == nullptr) {
    CKRZLine() << "CCOM_BroadTools: no communicator set for process " << m_nMyid << " of "
               << m_nNProc;
    return 0;
  }
  if (m_pNDimension_L == nullptr) {
    ok = 0;
    if (m_nMyid == 0)
      CKRZLine() << "Not Set Dimension_Local";
  }
  if (m_pL2GArray == nullptr) {
    ok = 0;
    if (m_nMyid == 0)
      CKRZLine() << "Not Set L2GArray";
  }
  if (ok != 0 && m_nMyid == 0 && (m_pImpl->m_Relation.refused || !m_pImpl->ValidateRelation(*this)))
    ok = 0;

  const int type = m_pCom->m_nTypeInt;
  const int comm = m_pCom->m_nCommHandle;
  // -1: this rank cannot take part (no valid rank number); it still votes, so that every rank
  // refuses together instead of waiting for it.
  int vote = valid ? ok : -1;
  int all = 0;
  m_pCom->AllMin(type, &vote, &all, 1, comm);
  if (all < 0)
    return 0; // a rank without a valid rank number: every rank refuses
  if (all != 0) {
    m_pImpl->Distributed(*this);
    return 1;
  }
  int rootOk = m_nMyid == 0 ? ok : 0;
  m_pCom->Broadcast(type, &rootOk, 1, 0, comm);
  if (rootOk == 0)
    return 0;
  m_pCom->Broadcast(type, &m_nDimension_G, 1, 0, comm);
  if (m_nMyid != 0 && m_pNDimension_L == nullptr)
    m_pImpl->OwnCounts(*this, m_nNProc);
  if (m_pImpl->m_pPost == nullptr)
    COM_Barrier();
  m_pCom->Broadcast(type, m_pNDimension_L, m_nNProc, 0, comm);
  if (m_pImpl->m_pPost == nullptr) {
    // Through a caller's communicator every rank receives a copy of every row, as it always did.
    // The library's own engines need none: the other ranks send and receive by the counts alone,
    // and a rank that needs its row for a placement order receives it when the order is built.
    if (m_nMyid != 0 && m_pL2GArray == nullptr)
      m_pImpl->OwnTable(*this);
    COM_Barrier();
    for (int p = 0; p < m_nNProc; ++p)
      m_pCom->Broadcast(type, m_pL2GArray[p], m_pNDimension_L[p] + 1, 0, comm);
  }
  m_pImpl->Distributed(*this);
  return 1;
}

// Every rank holds the relation now: the counts messages go by, and whether transfers name their
// order, are fixed alike on every rank until the relation is distributed again.
void CCOM_BroadTools::Impl::Distributed(CCOM_BroadTools& t) {
  m_Relation.Distribute(t.m_nNProc);
  Show(t);
  m_bSortedTransfers = CKRZPlacementPlan::MayServe(t.m_nDimension_G);
  ForgetOrders();
}

// Plans and orders are dropped together on every rank (a plan's generations count on, so a
// rank never mistakes an old order for a new one).
void CCOM_BroadTools::Impl::ForgetOrders() {
  if (m_pPlan)
    m_pPlan->Forget();
  m_pOrder.reset();
  m_nOrderGeneration = 0;
}

int CCOM_BroadTools::GetDimension_Local(int p) {
  if (p < 0 || p >= (m_nNProc > 1 ? m_nNProc : 1)) {
    CKRZLine() << "GetDimension_Local: process number " << p << " outside 0 to "
               << (m_nNProc > 1 ? m_nNProc : 1) - 1;
    return 0;
  }
  if (m_nNProc <= 1)
    return m_nDimension_G;
  CheckMapDataCorrect();
  if (m_pNDimension_L == nullptr) {
    CKRZLine() << "No m_pNDimension_L";
    return 0;
  }
  if (m_nIfOpenDebugMode != 0)
    CKRZLine() << "Local dim =" << m_pNDimension_L[p];
  return m_pNDimension_L[p];
}

int CCOM_BroadTools::GetDimension_Global() {
  if (m_nIfOpenDebugMode != 0)
    CKRZLine() << "Global dim =" << m_nDimension_G;
  return m_nDimension_G;
}
