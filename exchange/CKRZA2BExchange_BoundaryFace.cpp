#include "CKRZA2BExchange_BoundaryFace.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "CCOM_BroadTools.h"
#include "CKRZCom.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"
#include "KRZPerformanceLog.h"
#include "base/KRZComTyped.h"
#include "base/KRZLine.h"
#include "boundaryface/KRZBoundaryFaceSteps.h"
#include "exchange/KRZA2BTransferList.h"
#include "exchange/KRZDirectPlan.h"
#include "face/CKRZFacesMappingA2B_Basic.h"

using namespace krz::detail;

// What the exchange holds beyond the members its interface names, and the steps of a transfer.
// Every step takes the object it serves (`t`).
struct CKRZA2BExchange_BoundaryFace::Impl {
  enum class Domain { A, B };
  enum class Source { OwnerCell, NeighborCell, Face };
  enum class Target { NeighborCell, Face };
  struct Step {
    Domain from;
    Source source;
    Target target;
  };

  static bool RefuseRelation(const int* relation, int n, int limit, const char* name);
  template <class T>
  static void Transfer(CKRZA2BExchange_BoundaryFace& t, const Step& step, T* pIn, T* pOut);
  template <class T> static void TwoWay(CKRZA2BExchange_BoundaryFace& t, T* pCellA, T* pCellB);
  template <class T> static std::vector<T>& Work(CKRZA2BExchange_BoundaryFace& t, Domain domain);
  template <class T> static T* WorkFor(CKRZA2BExchange_BoundaryFace& t, Domain domain, bool root);
  static bool Ready(CKRZA2BExchange_BoundaryFace& t);
  static CKRZL2GBroadTools_BoundaryFace* BoundaryOf(CKRZA2BExchange_BoundaryFace& t, Domain domain,
                                                    int myid);
  template <class T>
  void Pull(CKRZA2BExchange_BoundaryFace& t, Domain to, std::vector<T>& source,
            std::vector<T>& target);
  void DropStaleRelation(CKRZA2BExchange_BoundaryFace& t);
  void TellNoRelation(const std::vector<int>& relation);

  // The direct route (CKRZDirectPlan): chosen per transfer, collectively, on engines that post.
  CKRZPostingCom* Direct(CKRZA2BExchange_BoundaryFace& t);
  bool PlanServes(CKRZA2BExchange_BoundaryFace& t, std::vector<std::vector<int>>& wire);
  template <class T>
  static void DirectBegin(CKRZA2BExchange_BoundaryFace& t, const Step& step, CKRZPostingCom& post,
                          const T* pIn, T* pStraight = nullptr);
  template <class T>
  static void DirectEnd(CKRZA2BExchange_BoundaryFace& t, const Step& step, CKRZPostingCom& post,
                        T* pOut, bool write);
  template <class T>
  static bool Apart(CKRZA2BExchange_BoundaryFace& t, const Step& step, const T* pIn, const T* pOut);
  template <class T>
  static void RelayBegin(CKRZA2BExchange_BoundaryFace& t, const Step& step, T* pIn);
  template <class T>
  static void RelayEnd(CKRZA2BExchange_BoundaryFace& t, const Step& step, T* pOut, bool write);
  // A transfer in two halves on the route chosen for it (post: direct; null: through rank 0).
  template <class T>
  static void Begin(CKRZA2BExchange_BoundaryFace& t, const Step& step, CKRZPostingCom* post,
                    T* pIn);
  template <class T>
  static void End(CKRZA2BExchange_BoundaryFace& t, const Step& step, CKRZPostingCom* post, T* pOut,
                  bool write);
  static CKRZL2GBroadTools_Face& Face(CKRZA2BExchange_BoundaryFace& t, Domain d) {
    return *(d == Domain::A ? t.m_pFace_A : t.m_pFace_B);
  }

  // The split transfers (_Begin/_End).
  struct Kind {
    const char* name;
    Step step;
    bool twoWay; ///< the two-way exchange: step, then kKinds[1] (B to A owner to neighbour)
  };
  static const Kind kKinds[];
  static int KindOf(const char* name);
  struct Pending {
    bool active = false;
    int kind = 0;
    bool isDouble = true;
    const void* in = nullptr;
    void* out = nullptr;
    CKRZPostingCom* post = nullptr; ///< the route it was begun on
    long long setUpsA = 0, setUpsB = 0;
    bool second = false; ///< two-way: B to A begun with A to B
  };
  template <class T>
  static void SplitBegin(CKRZA2BExchange_BoundaryFace& t, int kind, const char* name, T* pIn,
                         T* pOut);
  template <class T>
  static void SplitEnd(CKRZA2BExchange_BoundaryFace& t, int kind, const char* name, T* pIn,
                       T* pOut);
  template <class T>
  static void Complete(CKRZA2BExchange_BoundaryFace& t, const Pending& was, T* pOut);
  static bool OwnersApartFromNeighbours(CKRZA2BExchange_BoundaryFace& t);

  Impl() = default;
  Impl(const Impl&) = default;
  Impl& operator=(const Impl&) = default;
  ~Impl();

  bool m_bToldNoRelation = false;
  long long m_nFaceSetUps_A =
      -1; ///< rank 0: face object A's set-up count when the relation was made
  long long m_nFaceSetUps_B = -1; ///< the same for face object B
  // Rank 0: the relation's version (a new one, or one dropped, counts on), and what the plan was
  // built from: both face objects' set-up counts and that version; whether the plan serves them.
  long long m_nRelationVersion = 0;
  long long m_nPlanSetUps_A = -1, m_nPlanSetUps_B = -1, m_nPlanVersion = -1;
  const CKRZL2GBroadTools_Face* m_pPlanFaces[2] = {nullptr, nullptr};
  bool m_bPlanServes = false;
  int m_nGeneration = 0;
  // Every rank: its own lists of the current plan.
  CKRZDirectPlan m_Plan;
  // The split transfer begun and not yet ended (a copy of the object has none).
  Pending m_Pending;
  std::vector<char> m_OwnerMarks; ///< scratch of OwnersApartFromNeighbours
};

CKRZA2BExchange_BoundaryFace::CKRZA2BExchange_BoundaryFace()
    : m_pBoundaryFace_A(nullptr), m_pBoundaryFace_B(nullptr), m_pFace_A(nullptr),
      m_pFace_B(nullptr), m_pImpl(new Impl) {}

CKRZA2BExchange_BoundaryFace::~CKRZA2BExchange_BoundaryFace() = default;

CKRZA2BExchange_BoundaryFace::CKRZA2BExchange_BoundaryFace(
    const CKRZA2BExchange_BoundaryFace& other)
    : CKRZA2BExchange_BoundaryFace() {
  *this = other;
}

CKRZA2BExchange_BoundaryFace&
CKRZA2BExchange_BoundaryFace::operator=(const CKRZA2BExchange_BoundaryFace& other) {
  if (this != &other) {
    m_pBoundaryFace_A = other.m_pBoundaryFace_A;
    m_pBoundaryFace_B = other.m_pBoundaryFace_B;
    m_pFace_A = other.m_pFace_A;
    m_pFace_B = other.m_pFace_B;
    m_pA2BRelation = other.m_pA2BRelation;
    m_pB2ARelation = other.m_pB2ARelation;
    m_pFaceValueDouble_G_A.clear();
    m_pFaceValueDouble_G_B.clear();
    m_pFaceValueInt_G_A.clear();
    m_pFaceValueInt_G_B.clear();
    // A transfer this object began is completed into its own buffers and dropped (its _End then
    // says so); the copy has none in flight.
    if (m_pImpl->m_Pending.active && m_pImpl->m_Pending.post != nullptr)
      m_pImpl->m_Pending.post->WaitAll();
    *m_pImpl = *other.m_pImpl;
    m_pImpl->m_Pending = Impl::Pending{};
  }
  return *this;
}

void CKRZA2BExchange_BoundaryFace::SetL2G_Face(CKRZL2GBroadTools_Face* pFaceA,
                                               CKRZL2GBroadTools_Face* pFaceB) {
  m_pFace_A = pFaceA;
  m_pFace_B = pFaceB;
}

void CKRZA2BExchange_BoundaryFace::SetL2G_BoundaryFace(
    CKRZL2GBroadTools_BoundaryFace* pBoundaryFaceA,
    CKRZL2GBroadTools_BoundaryFace* pBoundaryFaceB) {
  m_pBoundaryFace_A = pBoundaryFaceA;
  m_pBoundaryFace_B = pBoundaryFaceB;
}

int CKRZA2BExchange_BoundaryFace::GetBoundaryFaceNumber_Global_A() {
  return m_pBoundaryFace_A != nullptr ? m_pBoundaryFace_A->GetBoundaryFaceNumber_Global() : 0;
}
int CKRZA2BExchange_BoundaryFace::GetBoundaryFaceNumber_Global_B() {
  return m_pBoundaryFace_B != nullptr ? m_pBoundaryFace_B->GetBoundaryFaceNumber_Global() : 0;
}
int CKRZA2BExchange_BoundaryFace::GetBoundaryFaceNumber_Local_A() {
  return m_pBoundaryFace_A != nullptr ? m_pBoundaryFace_A->GetBoundaryFaceNumber_Local() : 0;
}
int CKRZA2BExchange_BoundaryFace::GetBoundaryFaceNumber_Local_B() {
  return m_pBoundaryFace_B != nullptr ? m_pBoundaryFace_B->GetBoundaryFaceNumber_Local() : 0;
}

// A caller's relation indexes the other domain's global face array: entries 1..n must lie in
// 0..limit.
bool CKRZA2BExchange_BoundaryFace::Impl::RefuseRelation(const int* relation, int n, int limit,
                                                        const char* name) {
  for (int i = 1; i <= n; ++i)
    if (relation[i] < 0 || relation[i] > limit) {
      CKRZLine() << "CKRZA2BExchange_BoundaryFace: " << name << "[" << i << "] = " << relation[i]
                 << " lies outside 0 to " << limit << "; the relation is refused";
      return true;
    }
  return false;
}

void CKRZA2BExchange_BoundaryFace::SetA2BRelation(int* pA2B, int* pB2A) {
  krz::detail::CKRZLogScope logged(KRZLogged::A2BRelation);
  if (m_pFace_A == nullptr) {
    CKRZLine() << "CKRZA2BExchange_BoundaryFace do not use SetL2G_Face() as first step.";
    return;
  }
  if (m_pFace_A->Getmyid() != 0)
    return;
  m_pA2BRelation.clear();
  m_pB2ARelation.clear();
  m_pImpl->m_bToldNoRelation = false;
  ++m_pImpl->m_nRelationVersion;
  if (m_pFace_B == nullptr) {
    CKRZLine() << "CKRZA2BExchange_BoundaryFace: SetL2G_Face() was given no face object B; "
                  "no A/B relation";
    return;
  }
  // The relation holds for the face objects as they are now; setting one up again makes it stale.
  m_pImpl->m_nFaceSetUps_A = m_pFace_A->SetUpCount();
  m_pImpl->m_nFaceSetUps_B = m_pFace_B->SetUpCount();
  if (pA2B == nullptr || pB2A == nullptr) {
    CreateA2BRelation();
    return;
  }
  const int nA = m_pFace_A->GetFaceNumber_Global();
  const int nB = m_pFace_B->GetFaceNumber_Global();
  if (Impl::RefuseRelation(pA2B, nA, nB, "pA2B") || Impl::RefuseRelation(pB2A, nB, nA, "pB2A"))
    return;
  m_pA2BRelation.assign(pA2B, pA2B + nA + 1);
  m_pB2ARelation.assign(pB2A, pB2A + nB + 1);
  m_pA2BRelation[0] = 0;
  m_pB2ARelation[0] = 0;
}

// Rank 0: a relation made before a face object was set up again pairs faces that may no longer
// exist; it is dropped (with one line) and the faces count as unpaired until the next
// SetA2BRelation.
void CKRZA2BExchange_BoundaryFace::Impl::DropStaleRelation(CKRZA2BExchange_BoundaryFace& t) {
  if (t.m_pA2BRelation.empty() && t.m_pB2ARelation.empty())
    return;
  if (t.m_pFace_A->SetUpCount() == m_nFaceSetUps_A && t.m_pFace_B->SetUpCount() == m_nFaceSetUps_B)
    return;
  CKRZLine() << "CKRZA2BExchange_BoundaryFace: a face object was set up again after the A/B "
                "relation was made; every target face is taken as unpaired until "
                "SetA2BRelation is called again";
  t.m_pA2BRelation.clear();
  t.m_pB2ARelation.clear();
  m_bToldNoRelation = true;
  ++m_nRelationVersion;
}

void CKRZA2BExchange_BoundaryFace::Impl::TellNoRelation(const std::vector<int>& relation) {
  if (!relation.empty() || m_bToldNoRelation)
    return;
  CKRZLine() << "CKRZA2BExchange_BoundaryFace: no A/B relation (SetA2BRelation); every "
                "target face is taken as unpaired";
  m_bToldNoRelation = true;
}

void CKRZA2BExchange_BoundaryFace::CreateA2BRelation() {
  krz::detail::CKRZLogScope logged(KRZLogged::A2BRelation);
  int nA = 0, nB = 0;
  int** tableA = nullptr;
  int** tableB = nullptr;
  m_pFace_A->GetGlobalFace20(nA, tableA);
  m_pFace_B->GetGlobalFace20(nB, tableB);
  CKRZFacesMappingA2B_Basic matching(tableA, nA, tableB, nB);
  matching.CreateMapping();
  m_pA2BRelation.assign(static_cast<size_t>(nA) + 1, 0);
  m_pB2ARelation.assign(static_cast<size_t>(nB) + 1, 0);
  for (int a = 1; a <= nA; ++a) {
    const int b = matching.m_pA2B[static_cast<size_t>(a)];
    m_pA2BRelation[static_cast<size_t>(a)] = b;
    if (b != 0)
      m_pB2ARelation[static_cast<size_t>(b)] = a;
  }
}

template <>
std::vector<double>&
CKRZA2BExchange_BoundaryFace::Impl::Work<double>(CKRZA2BExchange_BoundaryFace& t, Domain domain) {
  return domain == Domain::A ? t.m_pFaceValueDouble_G_A : t.m_pFaceValueDouble_G_B;
}
template <>
std::vector<int>& CKRZA2BExchange_BoundaryFace::Impl::Work<int>(CKRZA2BExchange_BoundaryFace& t,
                                                                Domain domain) {
  return domain == Domain::A ? t.m_pFaceValueInt_G_A : t.m_pFaceValueInt_G_B;
}

// Rank 0's work array of a domain, sized by its face object's current global count.
template <class T>
T* CKRZA2BExchange_BoundaryFace::Impl::WorkFor(CKRZA2BExchange_BoundaryFace& t, Domain domain,
                                               bool root) {
  if (!root)
    return nullptr;
  std::vector<T>& work = Work<T>(t, domain);
  const int n = (domain == Domain::A ? t.m_pFace_A : t.m_pFace_B)->GetFaceNumber_Global();
  if (work.size() != static_cast<size_t>(n) + 1)
    work.assign(static_cast<size_t>(n) + 1, T());
  return work.data();
}

// The face objects carry the communicator: a rank without both cannot take part at all.
bool CKRZA2BExchange_BoundaryFace::Impl::Ready(CKRZA2BExchange_BoundaryFace& t) {
  if (t.m_pFace_A != nullptr && t.m_pFace_B != nullptr)
    return true;
  CKRZLine() << "CKRZA2BExchange_BoundaryFace: the face objects of both domains must be set "
                "(SetL2G_Face) before a transfer; this rank moves nothing";
  return false;
}

// A domain's boundary-face object, or null (with a line) where it is missing or not tied to a face
// object on this rank: the rank then still takes part in the face transfers, with zeros.
CKRZL2GBroadTools_BoundaryFace*
CKRZA2BExchange_BoundaryFace::Impl::BoundaryOf(CKRZA2BExchange_BoundaryFace& t, Domain domain,
                                               int myid) {
  CKRZL2GBroadTools_BoundaryFace* b =
      domain == Domain::A ? t.m_pBoundaryFace_A : t.m_pBoundaryFace_B;
  if (b != nullptr && b->Getmyid() >= 0)
    return b;
  CKRZLine() << "CKRZA2BExchange_BoundaryFace: process " << myid << " has no boundary-face object "
             << (domain == Domain::A ? "A" : "B")
             << " (SetL2G_BoundaryFace); it takes part with zeros and writes no cell";
  return nullptr;
}

// Target entry g = source entry rel[g]; without a relation entry (none held, or g beyond it)
// or with one beyond the source array, the face counts as unpaired and takes source entry 0.
template <class T>
void CKRZA2BExchange_BoundaryFace::Impl::Pull(CKRZA2BExchange_BoundaryFace& t, Domain to,
                                              std::vector<T>& source, std::vector<T>& target) {
  const std::vector<int>& relation = to == Domain::B ? t.m_pB2ARelation : t.m_pA2BRelation;
  TellNoRelation(relation);
  const size_t sources = source.size();
  const size_t paired = std::min(relation.size(), target.size());
  for (size_t g = 1; g < paired; ++g) {
    const size_t from = static_cast<size_t>(relation[g]);
    target[g] = source[from < sources ? from : 0];
  }
  for (size_t g = std::max<size_t>(paired, 1); g < target.size(); ++g)
    target[g] = source[0];
}

// Rank 0: whether the plan serves the objects as they are (both face relations set up, every
// boundary-face object standing on its domain's face object, the face maps such as the plan
// serves); builds every rank's lists into `wire` when it does.
bool CKRZA2BExchange_BoundaryFace::Impl::PlanServes(CKRZA2BExchange_BoundaryFace& t,
                                                    std::vector<std::vector<int>>& wire) {
  const CKRZL2GBroadTools_Face& a = *t.m_pFace_A;
  const CKRZL2GBroadTools_Face& b = *t.m_pFace_B;
  if (!a.m_pBroadTools || !b.m_pBroadTools || a.m_pCom != b.m_pCom || a.m_nNProc != b.m_nNProc)
    return false;
  for (const CKRZL2GBroadTools_BoundaryFace* bf : {t.m_pBoundaryFace_A, t.m_pBoundaryFace_B})
    if (bf != nullptr && bf->m_pFace != nullptr && bf->m_pFace != &a && bf->m_pFace != &b)
      return false;
  if ((t.m_pBoundaryFace_A != nullptr && t.m_pBoundaryFace_A->m_pFace == &b) ||
      (t.m_pBoundaryFace_B != nullptr && t.m_pBoundaryFace_B->m_pFace == &a))
    return false;
  const KRZFaceMap mapA{a.m_nFaceNumber_G, a.m_pFaceNumber_L.data(), a.m_ppL2GFace};
  const KRZFaceMap mapB{b.m_nFaceNumber_G, b.m_pFaceNumber_L.data(), b.m_ppL2GFace};
  return CKRZDirectPlan::Build(a.m_nNProc, mapA, mapB, t.m_pB2ARelation, t.m_pA2BRelation, wire);
}

// Collective on engines that post: rank 0 tells every rank whether this transfer takes the
// direct route (one broadcast) and, when the plan changed (a face object set up again, a new
// relation), hands out the new lists first. Null: the route through rank 0.
CKRZPostingCom* CKRZA2BExchange_BoundaryFace::Impl::Direct(CKRZA2BExchange_BoundaryFace& t) {
  CKRZL2GBroadTools_Face& a = *t.m_pFace_A;
  CKRZPostingCom* post = PostingOf(a.m_pCom, a.m_nNProc);
  if (post == nullptr)
    return nullptr;
  const int myid = a.m_nMyid;
  std::vector<std::vector<int>> wire;
  int state = 0; // 0: through rank 0; g > 0: plan g; -g: plan g, handed out now
  if (myid == 0) {
    DropStaleRelation(t);
    CKRZL2GBroadTools_Face& b = *t.m_pFace_B;
    const bool current = m_nPlanSetUps_A == a.SetUpCount() && m_nPlanSetUps_B == b.SetUpCount() &&
                         m_nPlanVersion == m_nRelationVersion && m_pPlanFaces[0] == &a &&
                         m_pPlanFaces[1] == &b;
    if (!current) {
      m_pPlanFaces[0] = &a;
      m_pPlanFaces[1] = &b;
      m_nPlanSetUps_A = a.SetUpCount();
      m_nPlanSetUps_B = b.SetUpCount();
      m_nPlanVersion = m_nRelationVersion;
      m_bPlanServes = PlanServes(t, wire);
      m_nGeneration += m_bPlanServes ? 1 : 0;
    }
    state = !m_bPlanServes ? 0 : current ? m_nGeneration : -m_nGeneration;
  }
  BroadcastInt(a.m_pCom, a.m_nNProc, state, 0);
  if (state == 0)
    return nullptr;
  if (state < 0) {
    if (!m_Plan.Distribute(*post, *a.m_pCom, myid, a.m_nNProc, wire))
      CKRZLine() << "CKRZA2BExchange_BoundaryFace: process " << myid
                 << " did not receive its direct-route lists whole";
    m_Plan.SetGeneration(-state);
  }
  return post;
}

namespace {
void TellLost(int myid) {
  CKRZLine() << "CKRZA2BExchange_BoundaryFace: process " << myid
             << " did not receive every value of the transfer as sent";
}
} // namespace

// The direct route's first half: this rank's source values packed and posted straight to the
// ranks that hold their targets.
template <class T>
void CKRZA2BExchange_BoundaryFace::Impl::DirectBegin(CKRZA2BExchange_BoundaryFace& t,
                                                     const Step& step, CKRZPostingCom& post,
                                                     const T* pIn, T* pStraight) {
  const int myid = t.m_pFace_A->Getmyid();
  const Domain to = step.from == Domain::A ? Domain::B : Domain::A;
  const int d = step.from == Domain::A ? 0 : 1;
  CKRZL2GBroadTools_Face& faceFrom = Face(t, step.from);
  const int nFrom = faceFrom.GetFaceNumber_Local(myid);
  CKRZDirectPlan& plan = t.m_pImpl->m_Plan;
  // First, so that no message waits for it; a blocking transfer's face target may take the
  // messages straight.
  plan.Receive<T>(post, *faceFrom.m_pCom, myid, d, pStraight,
                  Face(t, to).GetFaceNumber_Local(myid));
  auto start = [&](const T* source, const int* index, int nSource) {
    if (myid == 0)
      t.m_pImpl->TellNoRelation(to == Domain::B ? t.m_pB2ARelation : t.m_pA2BRelation);
    return plan.Send<T>(post, *faceFrom.m_pCom, myid, d, source, index, nSource);
  };
  std::vector<T> zeros;
  const T* source = pIn;
  if (step.source != Source::Face) {
    CKRZL2GBroadTools_BoundaryFace* boundary = BoundaryOf(t, step.from, myid);
    const int* ids = boundary == nullptr                ? nullptr
                     : step.source == Source::OwnerCell ? boundary->m_pOwnerCellID
                                                        : boundary->m_pNeighborCellID;
    // Straight from the cells where the ids fit the face count: each id is checked as the lists
    // read it (every id first where some face is not sent); a negative one goes the steps' way,
    // which tell it.
    if (boundary != nullptr && ids != nullptr && pIn != nullptr &&
        boundary->m_pFace->GetFaceNumber_Local(myid) == nFrom &&
        boundary->m_nBoundaryFaceNumber_L == nFrom &&
        (plan.SendsEveryFace(d, nFrom) ||
         std::all_of(ids + 1, ids + nFrom + 1, [](int c) { return c >= 0; })) &&
        start(pIn, ids, nFrom))
      return;
    if (boundary != nullptr) { // the steps' buffer: faces past its length send 0
      int n = 0;
      source = CKRZL2GBroadTools_BoundaryFace::Impl::PackCells(*boundary, ids, pIn, n);
      start(source, nullptr, std::min(nFrom, std::max(n, boundary->m_nBoundaryFaceNumber_L)));
      return;
    }
    source = nullptr;
  } else if (pIn == nullptr) {
    CKRZLine() << "GetGlobalArrayFromLocalArray: the local array is null on process " << myid
               << "; zeros take its place";
  }
  if (source == nullptr) {
    zeros.assign(static_cast<size_t>(nFrom) + 1, T());
    source = zeros.data();
  }
  start(source, nullptr, nFrom);
}

// The direct route's second half: what arrived, applied as the route through rank 0 applies it
// (the same lines for the same mistakes): face values straight into the caller's face array,
// cell values in face order. With `write` false the values are only received.
template <class T>
void CKRZA2BExchange_BoundaryFace::Impl::DirectEnd(CKRZA2BExchange_BoundaryFace& t,
                                                   const Step& step, CKRZPostingCom& post, T* pOut,
                                                   bool write) {
  const int myid = t.m_pFace_A->Getmyid();
  const Domain to = step.from == Domain::A ? Domain::B : Domain::A;
  const int d = step.from == Domain::A ? 0 : 1;
  const int nTo = Face(t, to).GetFaceNumber_Local(myid);
  CKRZDirectPlan& plan = t.m_pImpl->m_Plan;
  if (!write || step.target == Target::Face) {
    const bool straight = write && pOut != nullptr;
    if (!plan.Finish<T>(post, d, straight ? pOut : nullptr, nTo))
      TellLost(myid);
    return;
  }
  // Cells: each local face's value, taken where it arrived, written in face order.
  if (!plan.Wait(post))
    TellLost(myid);
  if (CKRZL2GBroadTools_BoundaryFace* boundary = BoundaryOf(t, to, myid)) {
    using Steps = CKRZL2GBroadTools_BoundaryFace::Impl;
    Steps::ApplyCells(*boundary, Steps::CurrentLocalCount(*boundary, "scatter"),
                      plan.Values<T>(d, nTo), pOut);
  }
}

// The route through rank 0's first half: the source values gathered into the source domain's
// global face array and pulled through the relation on rank 0.
template <class T>
void CKRZA2BExchange_BoundaryFace::Impl::RelayBegin(CKRZA2BExchange_BoundaryFace& t,
                                                    const Step& step, T* pIn) {
  const int myid = t.m_pFace_A->Getmyid();
  const bool root = myid == 0;
  const Domain to = step.from == Domain::A ? Domain::B : Domain::A;
  T* source = WorkFor<T>(t, step.from, root);
  WorkFor<T>(t, to, root);
  CKRZL2GBroadTools_Face& faceFrom = Face(t, step.from);
  if (step.source == Source::Face) {
    faceFrom.GetValue_FromLocalFaceToGloblaFace(pIn, source);
  } else if (CKRZL2GBroadTools_BoundaryFace* boundary = BoundaryOf(t, step.from, myid)) {
    if (step.source == Source::OwnerCell)
      boundary->GetGlobalFaceValue_FromLocalOwnerCell(pIn, source);
    else
      boundary->GetGlobalFaceValue_FromLocalNeighborCell(pIn, source);
  } else {
    std::vector<T> zeros(static_cast<size_t>(faceFrom.GetFaceNumber_Local(myid)) + 1, T());
    faceFrom.GetValue_FromLocalFaceToGloblaFace(zeros.data(), source);
  }
  if (root) {
    t.m_pImpl->DropStaleRelation(t);
    t.m_pImpl->Pull(t, to, Work<T>(t, step.from), Work<T>(t, to));
  }
}

// The route through rank 0's second half: the target values scattered (with `write` false into
// a scratch array: the rank still takes part).
template <class T>
void CKRZA2BExchange_BoundaryFace::Impl::RelayEnd(CKRZA2BExchange_BoundaryFace& t, const Step& step,
                                                  T* pOut, bool write) {
  const int myid = t.m_pFace_A->Getmyid();
  const Domain to = step.from == Domain::A ? Domain::B : Domain::A;
  T* target = WorkFor<T>(t, to, myid == 0);
  CKRZL2GBroadTools_Face& faceTo = Face(t, to);
  CKRZL2GBroadTools_BoundaryFace* boundary =
      write && step.target != Target::Face ? BoundaryOf(t, to, myid) : nullptr;
  if (write && step.target == Target::Face) {
    faceTo.GetValue_FromGlobalFaceToLocalFace(target, pOut);
  } else if (boundary != nullptr) {
    boundary->GetLocalNeighborCellValue_FromGlobalFaceValue(target, pOut);
  } else {
    std::vector<T> unused(static_cast<size_t>(faceTo.GetFaceNumber_Local(myid)) + 1, T());
    faceTo.GetValue_FromGlobalFaceToLocalFace(target, unused.data());
  }
}

template <class T>
void CKRZA2BExchange_BoundaryFace::Impl::Begin(CKRZA2BExchange_BoundaryFace& t, const Step& step,
                                               CKRZPostingCom* post, T* pIn) {
  if (post != nullptr)
    DirectBegin<T>(t, step, *post, pIn);
  else
    RelayBegin<T>(t, step, pIn);
}

template <class T>
void CKRZA2BExchange_BoundaryFace::Impl::End(CKRZA2BExchange_BoundaryFace& t, const Step& step,
                                             CKRZPostingCom* post, T* pOut, bool write) {
  if (post != nullptr)
    DirectEnd<T>(t, step, *post, pOut, write);
  else
    RelayEnd<T>(t, step, pOut, write);
}

template <class T>
void CKRZA2BExchange_BoundaryFace::Impl::Transfer(CKRZA2BExchange_BoundaryFace& t, const Step& step,
                                                  T* pIn, T* pOut) {
  krz::detail::CKRZLogScope logged(KRZLogged::A2BTransfer);
  if (!Ready(t))
    return;
  CKRZPostingCom* post = t.m_pImpl->Direct(t);
  if (post != nullptr && step.target == Target::Face && Apart(t, step, pIn, pOut))
    DirectBegin<T>(t, step, *post, pIn, pOut); // the values may land in pOut straight
  else
    Begin<T>(t, step, post, pIn);
  End<T>(t, step, post, pOut, true);
}

// Whether a face-to-face transfer's target lies apart from its source, so that values may land
// in it while the source is still read.
template <class T>
bool CKRZA2BExchange_BoundaryFace::Impl::Apart(CKRZA2BExchange_BoundaryFace& t, const Step& step,
                                               const T* pIn, const T* pOut) {
  if (step.source != Source::Face || pIn == nullptr || pOut == nullptr)
    return false;
  const int myid = t.m_pFace_A->Getmyid();
  const Domain to = step.from == Domain::A ? Domain::B : Domain::A;
  const auto in = reinterpret_cast<std::uintptr_t>(pIn);
  const auto out = reinterpret_cast<std::uintptr_t>(pOut);
  auto end = [&](std::uintptr_t at, Domain domain) {
    return at +
           static_cast<std::uintptr_t>(Face(t, domain).GetFaceNumber_Local(myid) + 1) * sizeof(T);
  };
  return end(in, step.from) <= out || end(out, to) <= in;
}

// The two-way exchange: A to B, then B to A, from owner to neighbour cells. Split, B to A starts
// with A to B where the values it reads are not the ones A to B writes (no cell of B is both an
// owner and a neighbour cell on this rank) and the route is direct; otherwise at _End.
bool CKRZA2BExchange_BoundaryFace::Impl::OwnersApartFromNeighbours(
    CKRZA2BExchange_BoundaryFace& t) {
  const CKRZL2GBroadTools_BoundaryFace* b = t.m_pBoundaryFace_B;
  if (b == nullptr || b->m_pOwnerCellID == nullptr || b->m_pNeighborCellID == nullptr)
    return false;
  const int n = b->m_nBoundaryFaceNumber_L;
  const int* owner = b->m_pOwnerCellID;
  const int* neighbour = b->m_pNeighborCellID;
  int largest = 0, lastOwner = 0, firstNeighbour = INT_MAX;
  for (int i = 1; i <= n; ++i) {
    if (owner[i] < 0 || neighbour[i] < 0)
      return false;
    lastOwner = std::max(lastOwner, owner[i]);
    firstNeighbour = std::min(firstNeighbour, neighbour[i]);
    largest = std::max({largest, owner[i], neighbour[i]});
  }
  if (lastOwner < firstNeighbour) // ghosts numbered after the owned cells, as meshes do
    return true;
  std::vector<char>& owned = t.m_pImpl->m_OwnerMarks; // kept: one pass over the ids per call
  owned.assign(static_cast<size_t>(largest) + 1, 0);
  for (int i = 1; i <= n; ++i)
    owned[static_cast<size_t>(owner[i])] = 1;
  for (int i = 1; i <= n; ++i)
    if (owned[static_cast<size_t>(neighbour[i])] != 0)
      return false;
  return true;
}

// Split transfers: _Begin reads the source and posts, _End waits and writes the target. Misuse
// (an _End without _Begin, a second _Begin, other arrays at _End, a face object set up again in
// between) gets one line and writes nothing; an _End that does not fit still completes what its
// _Begin started, so that no rank waits.
template <class T>
void CKRZA2BExchange_BoundaryFace::Impl::SplitBegin(CKRZA2BExchange_BoundaryFace& t, int kind,
                                                    const char* name, T* pIn, T* pOut) {
  krz::detail::CKRZLogScope logged(KRZLogged::A2BTransfer);
  Pending& p = t.m_pImpl->m_Pending;
  if (p.active) {
    CKRZLine() << "CKRZA2BExchange_BoundaryFace::" << name << "_Begin: " << kKinds[p.kind].name
               << "_Begin has not ended (_End); this one is ignored";
    return;
  }
  if (!Ready(t))
    return;
  CKRZPostingCom* post = t.m_pImpl->Direct(t);
  p = Pending{true, kind, std::is_same_v<T, double>, pIn,
              pOut, post, t.m_pFace_A->SetUpCount(), t.m_pFace_B->SetUpCount(),
              false};
  const Kind& k = kKinds[kind];
  Begin<T>(t, k.step, post, pIn);
  if (k.twoWay && post != nullptr && OwnersApartFromNeighbours(t)) {
    Begin<T>(t, kKinds[1].step, post, pOut);
    p.second = true;
  }
}

template <class T>
void CKRZA2BExchange_BoundaryFace::Impl::SplitEnd(CKRZA2BExchange_BoundaryFace& t, int kind,
                                                  const char* name, T* pIn, T* pOut) {
  krz::detail::CKRZLogScope logged(KRZLogged::A2BTransfer);
  Pending& p = t.m_pImpl->m_Pending;
  if (!p.active) {
    CKRZLine() << "CKRZA2BExchange_BoundaryFace::" << name
               << "_End: no _Begin before it (or the object was copied since); nothing written";
    return;
  }
  const Pending was = p;
  p = Pending{};
  const Kind& begun = kKinds[was.kind];
  bool write = true;
  if (was.kind != kind || was.isDouble != std::is_same_v<T, double> || was.in != pIn ||
      was.out != pOut) {
    CKRZLine() << "CKRZA2BExchange_BoundaryFace::" << name
               << "_End: not the transfer or the arrays of the _Begin before it (" << begun.name
               << "); it is completed, nothing written";
    write = false;
  } else if (t.m_pFace_A->SetUpCount() != was.setUpsA || t.m_pFace_B->SetUpCount() != was.setUpsB) {
    CKRZLine() << "CKRZA2BExchange_BoundaryFace::" << name
               << "_End: a face object was set up again since _Begin; nothing written";
    write = false;
  }
  // What _Begin posted is completed on every rank, in the types it was begun with.
  T* out = write ? pOut : nullptr;
  if (was.isDouble != std::is_same_v<T, double>) {
    if (was.isDouble)
      Complete<double>(t, was, nullptr);
    else
      Complete<int>(t, was, nullptr);
    return;
  }
  Complete<T>(t, was, out);
}

// The rest of a begun transfer; `pOut` null: completed without writing the caller's arrays.
template <class T>
void CKRZA2BExchange_BoundaryFace::Impl::Complete(CKRZA2BExchange_BoundaryFace& t,
                                                  const Pending& was, T* pOut) {
  const Kind& k = kKinds[was.kind];
  const bool write = pOut != nullptr;
  End<T>(t, k.step, was.post, pOut, write);
  if (!k.twoWay)
    return;
  // B to A reads B's owner cells: after A to B wrote B's neighbour cells, unless begun already.
  T* cellB = static_cast<T*>(was.out);
  T* cellA = static_cast<T*>(const_cast<void*>(was.in));
  if (!was.second)
    Begin<T>(t, kKinds[1].step, was.post, cellB);
  End<T>(t, kKinds[1].step, was.post, write ? cellA : nullptr, write);
}

CKRZA2BExchange_BoundaryFace::Impl::~Impl() {
  // A transfer begun and never ended: its messages are completed before the buffers they land in
  // go (what it would have written is dropped).
  if (!m_Pending.active || m_Pending.post == nullptr)
    return;
  try {
    m_Pending.post->WaitAll();
  } catch (...) {
  }
}

namespace {
using E = CKRZA2BExchange_BoundaryFace;
}

// The transfers as a list: the ten one-way ones in the order of KRZ_A2B_ONE_WAY_TRANSFERS, then
// the two-way exchange (A to B owner to neighbour, then B to A).
#define KRZ_A2B_KIND(name, from, source, target)                                                   \
  E::Impl::Kind{                                                                                   \
      #name,                                                                                       \
      E::Impl::Step{E::Impl::Domain::from, E::Impl::Source::source, E::Impl::Target::target},      \
      false},
const E::Impl::Kind E::Impl::kKinds[] = {KRZ_A2B_ONE_WAY_TRANSFERS(KRZ_A2B_KIND) E::Impl::Kind{
    "GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor",
    E::Impl::Step{E::Impl::Domain::A, E::Impl::Source::OwnerCell, E::Impl::Target::NeighborCell},
    true}};
#undef KRZ_A2B_KIND

// The eleven transfers, blocking and split: which domain the values come from, where they are
// read and written.
#define KRZ_A2B_TRANSFER(name, from, source, target)                                               \
  void E::name(double* pIn, double* pOut) {                                                        \
    Impl::Transfer(*this,                                                                          \
                   Impl::Step{Impl::Domain::from, Impl::Source::source, Impl::Target::target},     \
                   pIn, pOut);                                                                     \
  }                                                                                                \
  void E::name(int* pIn, int* pOut) {                                                              \
    Impl::Transfer(*this,                                                                          \
                   Impl::Step{Impl::Domain::from, Impl::Source::source, Impl::Target::target},     \
                   pIn, pOut);                                                                     \
  }                                                                                                \
  KRZ_A2B_SPLIT(name)

#define KRZ_A2B_SPLIT(name)                                                                        \
  void E::name##_Begin(double* pIn, double* pOut) {                                                \
    Impl::SplitBegin(*this, Impl::KindOf(#name), #name, pIn, pOut);                                \
  }                                                                                                \
  void E::name##_Begin(int* pIn, int* pOut) {                                                      \
    Impl::SplitBegin(*this, Impl::KindOf(#name), #name, pIn, pOut);                                \
  }                                                                                                \
  void E::name##_End(double* pIn, double* pOut) {                                                  \
    Impl::SplitEnd(*this, Impl::KindOf(#name), #name, pIn, pOut);                                  \
  }                                                                                                \
  void E::name##_End(int* pIn, int* pOut) {                                                        \
    Impl::SplitEnd(*this, Impl::KindOf(#name), #name, pIn, pOut);                                  \
  }

KRZ_A2B_ONE_WAY_TRANSFERS(KRZ_A2B_TRANSFER)
KRZ_A2B_SPLIT(GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor)
#undef KRZ_A2B_TRANSFER
#undef KRZ_A2B_SPLIT

int E::Impl::KindOf(const char* name) {
  for (int k = 0; k < static_cast<int>(sizeof(kKinds) / sizeof(kKinds[0])); ++k)
    if (std::strcmp(kKinds[k].name, name) == 0)
      return k;
  return 0;
}

// The two-way exchange: A to B, then B to A. On engines that post, one route decision for both,
// and both directions travel at once where B's owner and neighbour cells are apart; through a
// communicator with only the six operations, the two transfers as they always were.
template <class T> void E::Impl::TwoWay(E& t, T* pCellA, T* pCellB) {
  krz::detail::CKRZLogScope logged(KRZLogged::A2BTransfer);
  const Step toB = kKinds[0].step, toA = kKinds[1].step;
  if (t.m_pFace_A == nullptr || PostingOf(t.m_pFace_A->m_pCom, t.m_pFace_A->m_nNProc) == nullptr) {
    Transfer<T>(t, toB, pCellA, pCellB);
    Transfer<T>(t, toA, pCellB, pCellA);
    return;
  }
  if (!Ready(t))
    return;
  CKRZPostingCom* post = t.m_pImpl->Direct(t);
  Begin<T>(t, toB, post, pCellA);
  const bool together = post != nullptr && OwnersApartFromNeighbours(t);
  if (together)
    Begin<T>(t, toA, post, pCellB);
  End<T>(t, toB, post, pCellB, true);
  if (!together)
    Begin<T>(t, toA, post, pCellB);
  End<T>(t, toA, post, pCellA, true);
}

void E::GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(double* pCellA, double* pCellB) {
  Impl::TwoWay(*this, pCellA, pCellB);
}

void E::GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(int* pCellA, int* pCellB) {
  Impl::TwoWay(*this, pCellA, pCellB);
}
