// CCOM_BroadTools: gather of local arrays into the global array on rank 0, scatter back, and
// the point-to-point moves both use. One template serves the five element types.
#include <algorithm>
#include <memory>
#include <type_traits>

#include "CCOM_BroadTools.h"
#include "CKRZCom.h"
#include "KRZPerformanceLog.h"
#include "base/KRZComTyped.h"
#include "base/KRZElementTypes.h"
#include "base/KRZLine.h"
#include "base/KRZTags.h"
#include "communication/KRZRelation.h"

using namespace krz::detail;

namespace {

// The plain loops over items from..n of one rank, in local order: move(i, g) for item i and its
// global number g. They stop at the first global number outside 0..nG and return its index (0
// when there is none): the caller reports that item and goes on after it.
template <class Move> int ForItems(const int* row, int from, int n, unsigned nG, Move move) {
  for (int i = from; i <= n; ++i) {
    const int g = row[i];
    if (static_cast<unsigned>(g) > nG)
      return i;
    move(i, g);
  }
  return 0;
}

template <class T>
int PlaceItems(const int* row, int from, int n, const T* source, T* global, unsigned nG) {
  return ForItems(row, from, n, nG, [=](int i, int g) { global[g] = source[i]; });
}

template <class T>
int PickItems(const int* row, int from, int n, const T* global, T* target, unsigned nG) {
  return ForItems(row, from, n, nG, [=](int i, int g) { target[i] = global[g]; });
}
} // namespace

#define KRZ_SCRATCH_VIEW(e, c, T, text, Name)                                                      \
  template <> T*& CCOM_BroadTools::Impl::View<T>(CCOM_BroadTools & t) { return t.m_pBuffer##Name; }
KRZ_ELEMENT_TYPES(KRZ_SCRATCH_VIEW)
#undef KRZ_SCRATCH_VIEW

// Rank 0's scratch array holds the array of one other rank at a time (on other ranks: their own
// message): it is sized for the largest of them (n_p+1 elements) in the current relation and in
// the distributed one, so neither a replaced relation nor a message can overflow it.
template <class T> T* CCOM_BroadTools::Impl::Scratch(CCOM_BroadTools& t) {
  int largest = 0;
  for (int p = 1; p < t.m_nNProc; ++p)
    largest = std::max(largest, t.m_pNDimension_L[p]);
  for (size_t p = 1; p < m_Relation.Sent().size(); ++p)
    largest = std::max(largest, m_Relation.Sent()[p]);
  T* data =
      std::get<CKRZScratch<T>>(m_Scratch).data.Grow(static_cast<long long>(largest) + 1, true);
  View<T>(t) = data;
  return data;
}

// This rank's values between local and sorted order (scattered relations), and one block of
// them while the other ranks sort it in place. Written in full before they are read, so they are
// not zeroed.
template <class T> T* CCOM_BroadTools::Impl::Staged(long long n) {
  return std::get<CKRZScratch<T>>(m_Scratch).staged.Grow(n, false);
}

template <class T> T* CCOM_BroadTools::Impl::Block(const CKRZSortedOrder& order) {
  return std::get<CKRZScratch<T>>(m_Scratch).block.Grow(order.LargestBlock(), false);
}

// Rank 0's placement plan for the relation as it is now, or null where the plain loops serve.
// Only relations that were large enough for an order when they were distributed get one on
// several ranks: the other ranks take part in an order only then (a table rank 0 widened alone
// since keeps the local order).
CKRZPlacementPlan* CCOM_BroadTools::Impl::Plan(CCOM_BroadTools& t) {
  if (t.m_nIfOpenDebugMode != 0 || !CountsAsDistributed(t) || m_Relation.refused)
    return nullptr; // debug lines follow the item-by-item order
  if (t.m_nNProc > 1 && !m_bSortedTransfers)
    return nullptr;
  if (m_Relation.AllRuns())
    return nullptr; // a default relation the object built: in order, no plan to look for
  const int rows = t.m_nNProc > 1 ? t.m_nNProc : 1;
  const int one[1] = {t.m_nDimension_G}; // a one-rank run moves n_G items
  const int* counts = t.m_nNProc > 1 ? t.m_pNDimension_L : one;
  if (!m_pPlan)
    m_pPlan.reset(new CKRZPlacementPlan);
  return m_pPlan->For(rows, counts, t.m_pL2GArray, t.m_nDimension_G);
}

// Rank 0 names at every transfer the order the values travel in: its plan's generation, or 0 for
// the local order. A rank that does not hold that generation's order receives its row as rank 0
// holds it now and builds the order. Where the communicator posts, each rank sends the numbers
// of its row in that order back, and rank 0 meanwhile builds only its own order; otherwise rank
// 0 sorts every rank's numbers after sending the rows. Only relations that were large enough for
// a plan when they were distributed take this step, alike on every rank. Returns the generation.
int CCOM_BroadTools::Impl::AgreeOnOrder(CCOM_BroadTools& t, CKRZPlacementPlan* plan) {
  int generation = t.m_nMyid == 0 && plan != nullptr ? plan->Generation() : 0;
  if (m_bSortedTransfers)
    BroadcastInt(t.m_pCom, t.m_nNProc, generation, 0);
  const bool rows = m_bSortedTransfers && generation != 0 && generation != m_nOrderGeneration;
  bool received = false; // rank 0: every rank's numbers arrived (otherwise it sorts them)
  if (rows && t.m_nMyid != 0)
    BuildOrder(t);
  else if (rows)
    received = SendRows(t, *plan);
  if (plan != nullptr)
    plan->Complete(received);
  if (rows)
    m_nOrderGeneration = generation;
  return m_bSortedTransfers ? generation : 0;
}

// Rank 0: every other rank's row as it holds it now. Posted, with a receive of each rank's
// numbers in its order, while rank 0 sorts its own; returns whether they all arrived. One by one
// otherwise (returns false: rank 0 sorts every rank's numbers).
bool CCOM_BroadTools::Impl::SendRows(CCOM_BroadTools& t, CKRZPlacementPlan& plan) {
  if (m_pPost == nullptr) {
    for (int p = 1; p < t.m_nNProc; ++p)
      t.SendArray(p, t.m_pL2GArray[p], t.m_pNDimension_L[p]);
    return false;
  }
  const int type = TypeCode<int>(*t.m_pCom);
  for (int p = 1; p < t.m_nNProc; ++p) {
    const int n = t.m_pNDimension_L[p];
    m_pPost->PostSend(type, t.m_pL2GArray[p], n + 1, p, kTransferTag);
    if (n > 0)
      m_pPost->PostRecv(type, plan.Received(p), n, p, kTransferTag);
  }
  plan.CompleteOwn();
  return m_pPost->WaitAll() == 0;
}

// A rank other than 0: its row as rank 0 holds it now, and the order of its items by it. Where
// the communicator posts, the row's numbers in that order go back to rank 0.
void CCOM_BroadTools::Impl::BuildOrder(CCOM_BroadTools& t) {
  const int n = m_Relation.Sent(t.m_nMyid);
  std::vector<int> row(static_cast<size_t>(n) + 1);
  t.ReceiveArray(0, row.data(), n);
  const int largest = n > 0 ? *std::max_element(row.begin() + 1, row.end()) : 0;
  if (!m_pOrder)
    m_pOrder.reset(new CKRZSortedOrder);
  if (m_pPost == nullptr) {
    m_pOrder->Build(row.data(), n, largest);
    return;
  }
  m_pOrder->Build(row.data(), n, largest, row.data() + 1); // the row turns into its numbers sorted
  if (n > 0) {
    m_pPost->PostSend(TypeCode<int>(*t.m_pCom), row.data() + 1, n, 0, kTransferTag);
    m_pPost->WaitAll();
  }
}

template <class T> CKRZPostingCom* CCOM_BroadTools::Impl::Posting() const {
  return std::is_same_v<T, bool> ? nullptr : m_pPost;
}

template <class T>
std::vector<long long> CCOM_BroadTools::Impl::PostGatherReceives(CCOM_BroadTools& t, T* global,
                                                                 bool inPlace) {
  const int nproc = t.m_nNProc;
  std::vector<long long> first(static_cast<size_t>(nproc), -1);
  std::vector<int> runs(static_cast<size_t>(nproc), -1);
  if (inPlace) {
    // Every rank one run, the runs pairwise disjoint.
    std::vector<std::pair<int, int>> spans;
    for (int p = 0; p < nproc && inPlace; ++p) {
      const int n = m_Relation.Sent(p);
      runs[static_cast<size_t>(p)] = n == 0 ? 0 : RunStart<T>(t, p, n);
      inPlace = runs[static_cast<size_t>(p)] >= 0;
      if (n > 0)
        spans.emplace_back(runs[static_cast<size_t>(p)], n);
    }
    std::sort(spans.begin(), spans.end());
    for (size_t k = 1; inPlace && k < spans.size(); ++k)
      inPlace = spans[k - 1].first + spans[k - 1].second <= spans[k].first;
  }
  long long slots = 0;
  for (int p = 1; p < nproc && !inPlace; ++p) {
    first[static_cast<size_t>(p)] = slots;
    slots += m_Relation.Sent(p) + 1LL;
  }
  T* posted = inPlace ? nullptr : std::get<CKRZScratch<T>>(m_Scratch).posted.Grow(slots, false);
  CKRZPostingCom* post = Posting<T>();
  for (int p = 1; post != nullptr && p < nproc; ++p) {
    const int n = m_Relation.Sent(p);
    T* into = inPlace ? global + runs[static_cast<size_t>(p)] + 1
                      : posted + first[static_cast<size_t>(p)] + 1;
    post->PostRecv(TypeCode<T>(*t.m_pCom), into, n, p, kTransferTag);
  }
  return first;
}

// A rank without a valid rank number still takes part in the relation's check (as long as the
// others will run it), so that every rank refuses together. Returns 0.
int CCOM_BroadTools::Impl::JoinRefusal(CCOM_BroadTools& t) {
  if (t.m_nNProc > 1 && t.m_pCom != nullptr && t.m_nIfMapDataCorrect == 0)
    t.CheckMapDataCorrect();
  return 0;
}

// Every rank's array travels with its element 0: n+1 elements.
template <class T> void CCOM_BroadTools::SendArray(int nProc, T* pArray, int n) {
  krz::detail::SendArray(*m_pCom, pArray, n + 1, nProc, kTransferTag, m_pImpl->m_WireInts);
}

template <class T> void CCOM_BroadTools::ReceiveArray(int nProc, T* pArray, int n) {
  krz::detail::RecvArray(*m_pCom, pArray, n + 1, nProc, kTransferTag, m_pImpl->m_WireInts);
}

// Whether the transfer prints its debug lines; the first of them.
bool CCOM_BroadTools::Impl::DebugLines(const CCOM_BroadTools& t) {
  if (t.m_nIfOpenDebugMode == 0)
    return false;
  CKRZLine() << "Global dim =" << t.m_nDimension_G;
  return true;
}

namespace {
// A null array of values where the call needs one: the rank still takes part (so no other rank
// waits for it) with `n`+1 zeros held in `zeros`, says so in one line and fails its call.
template <class T>
T* ZerosForNull(T* array, int n, std::unique_ptr<T[]>& zeros, const char* operation,
                const char* argument, int myid) {
  if (array != nullptr)
    return array;
  zeros.reset(new T[static_cast<size_t>(n) + 1]());
  CKRZLine() << operation << ": " << argument << " is null on process " << myid
             << "; zeros take its place";
  return zeros.get();
}
} // namespace

// The items of rank p that rank 0 can move: what rank p sends or expects (the count distributed
// by the check) and what rank 0's table holds for it now must agree; where they do not, the line
// names both and only the items both cover are moved, and the call fails (`ok` = 0).
int CCOM_BroadTools::Impl::Movable(const CCOM_BroadTools& t, int p, int inTable,
                                   const char* operation, int& ok) const {
  if (m_Relation.refused) { // after distribution: the messages go, no item moves
    if (p == 0)
      CKRZLine() << operation << ": the relation handed in to process 0 was refused; no item is "
                 << "moved (set a relation again)";
    ok = 0;
    return 0;
  }
  if (t.m_nNProc <= 1 || static_cast<size_t>(p) >= m_Relation.Sent().size())
    return inTable;
  const int sent = m_Relation.Sent(p);
  if (sent == inTable)
    return inTable;
  CKRZLine() << operation << ": process " << p << " was given " << sent
             << " items when the relation was distributed, but process 0's relation now holds "
             << inTable << " for it; only the first " << std::min(sent, inTable)
             << " are moved (set the relation again on every rank to change counts)";
  ok = 0;
  return std::max(std::min(sent, inTable), 0);
}

// Whether rank 0's table still has the counts that were distributed (so the placement plan,
// which follows the table, and the messages agree).
bool CCOM_BroadTools::Impl::CountsAsDistributed(const CCOM_BroadTools& t) const {
  if (t.m_nNProc <= 1)
    return true;
  for (int p = 0; p < t.m_nNProc; ++p)
    if (static_cast<size_t>(p) >= m_Relation.Sent().size() ||
        m_Relation.Sent(p) != t.m_pNDimension_L[p])
      return false;
  return true;
}

// Where rank p's n items are global numbers b+1..b+n (one run inside 1..n_G), b; otherwise -1.
// The default relation the object built is known to be such runs; a caller's row is scanned at
// every transfer, since rank 0 may edit it in place. bool travels as int and is never moved in
// place.
template <class T>
int CCOM_BroadTools::Impl::RunStart(const CCOM_BroadTools& t, int p, int n) const {
  if (std::is_same_v<T, bool> || n < 1)
    return -1;
  if (m_Relation.RunOf(p) >= 0)
    return m_Relation.RunOf(p);
  const int* row = t.m_pL2GArray[p];
  if (row == nullptr)
    return -1;
  const int b = row[1] - 1;
  if (b < 0 || static_cast<long long>(b) + n > t.m_nDimension_G)
    return -1;
  for (int i = 2; i <= n; ++i)
    if (row[i] != b + i)
      return -1;
  return b;
}

template <class T>
int CCOM_BroadTools::Impl::Gather(CCOM_BroadTools& t, T* pLocal, T*& pGlobal, T** rows) {
  krz::detail::CKRZLogScope logged(KRZLogged::Gather);
  if (InFlight("GetGlobalArrayFromLocalArray"))
    return 0;
  Transit<T> s;
  const int started = GatherStart(t, pLocal, pGlobal, rows, s);
  return started >= 0 ? started : GatherFinish(t, s, pGlobal);
}

// The gather up to its messages: checks, the order, the array for a null argument, and, through
// the posting interface, every send or receive posted. Returns the gather's result when it is
// done already (refused, or the blocking route, which runs whole here), -1 when GatherFinish
// completes it.
template <class T>
int CCOM_BroadTools::Impl::GatherStart(CCOM_BroadTools& t, T* pLocal, T*& pGlobal, T** rows,
                                       Transit<T>& s) {
  if (!Initialized(t, "GetGlobalArrayFromLocalArray"))
    return JoinRefusal(t);
  if (t.CheckMapDataCorrect() == 0) {
    CKRZLine() << "Check L2G DataCorrect Fail";
    return 0;
  }
  s.ok = pLocal != nullptr ? 1 : 0;
  if (pLocal == nullptr) // sized only then: GetDimension_Local prints in debug mode
    pLocal = ZerosForNull(pLocal, t.GetDimension_Local(t.m_nMyid), s.zeros,
                          "GetGlobalArrayFromLocalArray", "the local array", t.m_nMyid);
  s.local = pLocal;
  s.rows = rows;
  s.debug = DebugLines(t);
  s.post = Posting<T>();
  if (t.m_nMyid != 0)
    return SendToRankZero(t, s);
  if (rows != nullptr && t.m_nNProc > 1)
    return ReceiveIntoRows(t, s);

  // The order first, so that the other ranks sort while rank 0 prepares.
  CKRZPlacementPlan* plan = Plan(t);
  AgreeOnOrder(t, plan);
  s.plan = plan;
  // An array allocated for a null argument stays owned here until the gather is done.
  s.global = pGlobal;
  if (s.global == nullptr) {
    s.allocated.reset(new T[static_cast<size_t>(t.m_nDimension_G) + 1]());
    s.global = s.allocated.get();
  }
  s.asDistributed = CountsAsDistributed(t);
  // Posted: every receive at once; rank 0's own share while the values travel (GatherFinish).
  if (s.post != nullptr) {
    s.slots = PostGatherReceives(
        t, s.global, !s.debug && s.plan == nullptr && s.asDistributed && !m_Relation.refused);
    return -1;
  }
  return GatherFinish(t, s, pGlobal);
}

// A gather on a rank other than 0: its values, sorted in place for a scattered relation, to
// rank 0.
template <class T> int CCOM_BroadTools::Impl::SendToRankZero(CCOM_BroadTools& t, Transit<T>& s) {
  const int n = t.GetDimension_Local(t.m_nMyid);
  T* out = s.local;
  if (AgreeOnOrder(t, nullptr) != 0) { // the message is the staged values, sorted in place
    out = Staged<T>(n + 1LL);
    out[0] = T();
    m_pOrder->Sort(s.local, out + 1, Block<T>(*m_pOrder));
  }
  if (s.post != nullptr) { // items only: element 0 stays at home
    s.post->PostSend(TypeCode<T>(*t.m_pCom), out + 1, n, 0, kTransferTag);
    return -1;
  }
  t.SendArray(0, out, n);
  t.COM_Barrier();
  return s.ok;
}

// Rank 0 of a collection: each rank's message straight into its row, in the counts every rank
// sends by.
template <class T> int CCOM_BroadTools::Impl::ReceiveIntoRows(CCOM_BroadTools& t, Transit<T>& s) {
  const int nproc = t.m_nNProc;
  T** rows = s.rows;
  AgreeOnOrder(t, nullptr);
  for (int p = 1; s.post != nullptr && p < nproc; ++p)
    s.post->PostRecv(TypeCode<T>(*t.m_pCom), rows[p] + 1, m_Relation.Sent(p), p, kTransferTag);
  std::copy(s.local + 1, s.local + m_Relation.Sent(0) + 1, rows[0] + 1);
  for (int p = 1; s.post == nullptr && p < nproc; ++p)
    t.ReceiveArray(p, rows[p], m_Relation.Sent(p));
  for (int p = 0; p < nproc; ++p)
    rows[p][0] = T();
  if (s.post != nullptr)
    return -1;
  t.COM_Barrier();
  return s.ok;
}

// The rest of a gather: rank 0 places its own items and every other rank's (the last writer
// wins), after their messages arrived (posted) or receiving them one by one.
template <class T>
int CCOM_BroadTools::Impl::GatherFinish(CCOM_BroadTools& t, Transit<T>& s, T*& pGlobal) {
  if (t.m_nMyid != 0 || (s.rows != nullptr && t.m_nNProc > 1))
    return s.post->WaitAll() == 0 ? s.ok : 0; // only the posting route comes here for these
  int ok = s.ok;
  if (s.plan != nullptr)
    PlaceSorted(t, s, ok);
  for (int p = 0; s.plan == nullptr && p < std::max(t.m_nNProc, 1); ++p)
    PlaceRank(t, s, p, ok);
  if (s.post == nullptr)
    t.COM_Barrier();
  if (s.allocated)
    pGlobal = s.allocated.release();
  return ok;
}

// Rank 0's gather of a scattered relation. Posted: it sorts its own values as the others sort
// theirs, then writes every rank's at once. One message at a time: its own items while the
// others sort theirs, then every rank's as it comes.
template <class T>
void CCOM_BroadTools::Impl::PlaceSorted(CCOM_BroadTools& t, Transit<T>& s, int& ok) {
  const int nproc = std::max(t.m_nNProc, 1);
  const CKRZPlacementPlan& plan = *s.plan;
  const CKRZSortedOrder& mine = plan.Own();
  if (s.post != nullptr) {
    T* own = Staged<T>(mine.Count());
    mine.Sort(s.local, own, Block<T>(mine));
    ok &= s.post->WaitAll() == 0 ? 1 : 0;
    const T* posted = std::get<CKRZScratch<T>>(m_Scratch).posted.data.get();
    std::vector<const T*> in(static_cast<size_t>(nproc), own);
    for (int p = 1; p < nproc; ++p)
      in[static_cast<size_t>(p)] = posted + s.slots[static_cast<size_t>(p)] + 1;
    plan.PlaceAll(in.data(), s.global);
    return;
  }
  mine.SortInto(s.local, Staged<T>(mine.Count()), plan.Sorted(0), s.global);
  T* scratch = nproc > 1 ? Scratch<T>(t) : nullptr;
  for (int p = 1; p < nproc; ++p) {
    t.ReceiveArray(p, scratch, t.m_pNDimension_L[p]);
    plan.Place(p, scratch + 1, s.global);
  }
}

// Rank 0 places rank p's items of a gather without a placement order: a row that is one run of
// global numbers straight (rank 0's copied, another rank's message received into the global
// array, its element 0 landing on element b, which keeps its value), any other item by item.
template <class T>
void CCOM_BroadTools::Impl::PlaceRank(CCOM_BroadTools& t, Transit<T>& s, int p, int& ok) {
  CKRZPostingCom* post = s.post;
  if (post != nullptr && p == 1 && post->WaitAll() != 0)
    ok = 0; // every posted receive completes before rank 1's values are placed
  if (post != nullptr && p > 0 && s.slots[static_cast<size_t>(p)] < 0)
    return; // received in place
  int sent = 0;
  if (p != 0) { // asked twice for another rank, as the debug lines always showed
    const int inTable = t.GetDimension_Local(p);
    sent = s.asDistributed ? inTable : m_Relation.Sent(p);
  }
  const int n = Movable(t, p, t.GetDimension_Local(p), "GetGlobalArrayFromLocalArray", ok);
  const int b = !s.debug && (p == 0 || (post == nullptr && n == sent)) ? RunStart<T>(t, p, n) : -1;
  T* const global = s.global;
  if (b >= 0 && p == 0) {
    std::copy(s.local + 1, s.local + n + 1, global + b + 1);
    return;
  }
  if (b >= 0) {
    const T kept = global[b];
    t.ReceiveArray(p, global + b, n);
    global[b] = kept;
    return;
  }
  const T* source = s.local;
  if (p != 0 && post != nullptr) {
    source =
        std::get<CKRZScratch<T>>(m_Scratch).posted.data.get() + s.slots[static_cast<size_t>(p)];
  } else if (p != 0) {
    T* scratch = Scratch<T>(t);
    t.ReceiveArray(p, scratch, sent);
    source = scratch;
  }
  if (s.debug) {
    PlaceWithLines(t, p, n, source, global);
    return;
  }
  const int* row = t.m_pL2GArray[p];
  const unsigned nG = static_cast<unsigned>(t.m_nDimension_G);
  bool reported = false;
  for (int i = PlaceItems(row, 1, n, source, global, nG); i != 0;
       i = PlaceItems(row, i + 1, n, source, global, nG))
    InRange(t, p, i, row[i], reported, "");
}

// The gather's placement of rank p's items in debug mode, with its lines.
template <class T>
void CCOM_BroadTools::Impl::PlaceWithLines(CCOM_BroadTools& t, int p, int n, const T* source,
                                           T* pGlobal) {
  const unsigned nG = static_cast<unsigned>(t.m_nDimension_G);
  const int* row = t.m_pL2GArray[p];
  bool reported = false;
  for (int i = 1; i <= n; ++i) {
    const int g = row[i];
    if (static_cast<unsigned>(g) > nG && !InRange(t, p, i, g, reported, ""))
      continue;
    pGlobal[g] = source[i];
    if (i < 10 || i > n - 10)
      CKRZLine() << "CPU " << p << " GetFrom pLocalArray_CPUX[" << i << "] = " << source[i]
                 << ",To Global [" << g << "]=" << pGlobal[g];
  }
}

template <class T> int CCOM_BroadTools::Impl::Scatter(CCOM_BroadTools& t, T* pGlobal, T*& pLocal) {
  krz::detail::CKRZLogScope logged(KRZLogged::Scatter);
  if (InFlight("GetLocalArrayFromGlobalArray"))
    return 0;
  Transit<T> s;
  const int started = ScatterStart(t, pGlobal, pLocal, s);
  return started >= 0 ? started : ScatterFinish(t, s, pLocal);
}

// The scatter up to its messages: checks, the order, and every message rank 0 sends (picked into
// its slot or straight out of the global array) or this rank's receive, posted. Returns the
// scatter's result when it is done already (refused, or the blocking route, which runs whole
// here), -1 when ScatterFinish completes it.
template <class T>
int CCOM_BroadTools::Impl::ScatterStart(CCOM_BroadTools& t, T* pGlobal, T*& pLocal, Transit<T>& s) {
  if (!Initialized(t, "GetLocalArrayFromGlobalArray"))
    return JoinRefusal(t);
  if (t.CheckMapDataCorrect() == 0) {
    if (t.m_nIfOpenDebugMode > 0)
      CKRZLine() << "Check G2L DataCorrect Fail";
    return 0;
  }
  s.debug = DebugLines(t);
  s.post = Posting<T>();
  if (t.m_nMyid != 0) {
    ReceiveFromRankZero(t, pLocal, s);
    return s.post != nullptr ? -1 : ScatterFinish(t, s, pLocal);
  }

  s.ok = pGlobal != nullptr ? 1 : 0;
  s.global = ZerosForNull(pGlobal, t.m_nDimension_G, s.zeros, "GetLocalArrayFromGlobalArray",
                          "the global array", t.m_nMyid);
  s.asDistributed = CountsAsDistributed(t);
  CKRZPlacementPlan* plan = Plan(t);
  AgreeOnOrder(t, plan);
  s.plan = plan;
  const int inTable0 = s.count = t.GetDimension_Local(0);
  s.n0 = Movable(t, 0, inTable0, "GetLocalArrayFromGlobalArray", s.ok);
  s.local = pLocal;
  if (s.local == nullptr) {
    s.allocated.reset(new T[static_cast<size_t>(std::max(s.n0, inTable0)) + 1]());
    s.local = s.allocated.get();
  }
  // Rank 0's own items: while the others' travel (ScatterFinish), or (blocking or debug lines,
  // without a plan) before them, as always.
  s.ownFirst = s.plan == nullptr && (s.post == nullptr || s.debug);
  if (s.ownFirst)
    PickOwn(t, s);
  SendToRanks(t, s);
  return s.post != nullptr ? -1 : ScatterFinish(t, s, pLocal);
}

// A scatter on a rank other than 0: its receive (into the staging array for a scattered
// relation, otherwise into its local array, whose element 0 stays the caller's).
template <class T>
void CCOM_BroadTools::Impl::ReceiveFromRankZero(CCOM_BroadTools& t, T* pLocal, Transit<T>& s) {
  const int n = s.count = t.GetDimension_Local(t.m_nMyid);
  s.local = pLocal;
  if (s.local == nullptr) {
    s.allocated.reset(new T[static_cast<size_t>(n) + 1]());
    s.local = s.allocated.get();
  }
  s.sorted = AgreeOnOrder(t, nullptr) != 0;
  T* in = s.local;
  if (s.sorted) { // the staging array's element 0 belongs to no item
    in = Staged<T>(n + 1LL);
    in[0] = T();
  }
  if (s.post != nullptr) {
    s.post->PostRecv(TypeCode<T>(*t.m_pCom), in + 1, n, 0, kTransferTag);
    return;
  }
  const T kept = in[0];
  t.ReceiveArray(0, in, n);
  in[0] = kept;
}

// Rank 0 sends every other rank its values (posted: every message at once) so that they unsort
// them while it picks its own. A scattered relation's are picked in one pass over the global
// array (posted, rank 0's own with them into its staging array) or rank by rank; without an
// order, one run of global numbers goes out straight from the global array (the receiver keeps
// its own element 0), any other is picked item by item into its slot.
template <class T> void CCOM_BroadTools::Impl::SendToRanks(CCOM_BroadTools& t, Transit<T>& s) {
  const int nproc = std::max(t.m_nNProc, 1);
  CKRZPostingCom* post = s.post;
  const CKRZPlacementPlan* plan = s.plan;
  long long slots = 0;
  for (int p = 1; post != nullptr && p < nproc; ++p)
    slots += m_Relation.Sent(p) + 1LL;
  T* slot = post != nullptr ? std::get<CKRZScratch<T>>(m_Scratch).posted.Grow(slots, false)
                            : (nproc > 1 ? Scratch<T>(t) : nullptr);
  if (plan != nullptr && post != nullptr) {
    std::vector<T*> out(static_cast<size_t>(nproc), Staged<T>(plan->Own().Count()));
    for (int p = 1; p < nproc; slot += t.m_pNDimension_L[p++] + 1)
      out[static_cast<size_t>(p)] = slot + 1;
    plan->PickAll(s.global, out.data());
    for (int p = 1; p < nproc; ++p)
      post->PostSend(TypeCode<T>(*t.m_pCom), out[static_cast<size_t>(p)], t.m_pNDimension_L[p], p,
                     kTransferTag);
    return;
  }
  for (int p = 1; p < nproc; ++p) {
    const int inTable = t.GetDimension_Local(p);
    const int expected = s.asDistributed ? inTable : m_Relation.Sent(p);
    const int n =
        plan != nullptr ? inTable : Movable(t, p, inTable, "GetLocalArrayFromGlobalArray", s.ok);
    const int b = !s.debug && plan == nullptr && n == expected ? RunStart<T>(t, p, n) : -1;
    if (b < 0 && plan != nullptr)
      plan->Pick(p, s.global, slot + 1);
    else if (b < 0)
      PickOut(t, p, n, expected, s.global, slot);
    const T* out = b >= 0 ? s.global + b : slot;
    if (post != nullptr) {
      post->PostSend(TypeCode<T>(*t.m_pCom), out + 1, expected, p, kTransferTag);
      slot += b < 0 ? expected + 1 : 0;
    } else {
      t.SendArray(p, const_cast<T*>(out), expected);
    }
  }
}

// The rest of a scatter: rank 0 picks its own items (unless it did first) and waits; the other
// ranks wait for their values and put them in local order.
template <class T>
int CCOM_BroadTools::Impl::ScatterFinish(CCOM_BroadTools& t, Transit<T>& s, T*& pLocal) {
  CKRZPostingCom* post = s.post;
  int ok = s.ok;
  if (t.m_nMyid != 0) {
    const int n = s.count;
    if (post != nullptr)
      ok = post->WaitAll() == 0 ? 1 : 0;
    if (s.sorted)
      m_pOrder->Unsort(Staged<T>(n + 1LL) + 1, Block<T>(*m_pOrder), s.local);
    if (s.debug)
      for (int i = 1; i <= n; ++i)
        if (i < 30 || i > n - 5)
          CKRZLine() << "CPU " << t.m_nMyid << " GetFrom Global pLocalArray[" << i
                     << "] = " << s.local[i];
  } else {
    if (!s.ownFirst)
      PickOwn(t, s);
    if (post != nullptr)
      ok &= post->WaitAll() == 0 ? 1 : 0;
  }
  if (post == nullptr)
    t.COM_Barrier();
  if (s.allocated)
    pLocal = s.allocated.release();
  return ok;
}

// Rank p's items into `target`; an item rank 0 cannot serve (a global number out of range, an
// item past the table's count) receives 0, never what the buffer held before.
template <class T>
void CCOM_BroadTools::Impl::PickOut(CCOM_BroadTools& t, int p, int n, int expected, const T* global,
                                    T* target) {
  const int* row = t.m_pL2GArray[p];
  const unsigned nG = static_cast<unsigned>(t.m_nDimension_G);
  bool reported = false;
  for (int i = PickItems(row, 1, n, global, target, nG); i != 0;
       i = PickItems(row, i + 1, n, global, target, nG)) {
    InRange(t, p, i, row[i], reported, "; it receives 0");
    target[i] = T();
  }
  std::fill(target + n + 1, target + std::max(n, expected) + 1, T());
}

// Rank 0's own items of a scatter, out of the global array into its local array.
template <class T> void CCOM_BroadTools::Impl::PickOwn(CCOM_BroadTools& t, Transit<T>& s) {
  const int n0 = s.n0;
  T* local0 = s.local;
  if (s.plan != nullptr) {
    const CKRZSortedOrder& mine = s.plan->Own();
    if (s.post != nullptr) // picked with the others' values
      mine.Unsort(Staged<T>(mine.Count()), Block<T>(mine), local0);
    else
      mine.PickFrom(s.global, s.plan->Sorted(0), Staged<T>(mine.Count()), local0);
    return;
  }
  const int b0 = !s.debug ? RunStart<T>(t, 0, n0) : -1;
  if (b0 >= 0)
    std::copy(s.global + b0 + 1, s.global + b0 + n0 + 1, local0 + 1);
  else
    PickOut(t, 0, n0, s.count, s.global, local0);
  if (s.debug)
    for (int i = 1; i <= n0; ++i)
      if (i < 30 || i > n0 - 5)
        CKRZLine() << "CPU0 GetFrom Global pLocalArray[" << i << "] = " << local0[i];
}

// A split transfer: _Begin starts it (the blocking route runs it whole there), _End finishes
// it with the same arrays. Misuse gets one line: the messages of what was begun are completed,
// nothing more is written, and 0 is returned.
template <class T>
int CCOM_BroadTools::Impl::Begin(CCOM_BroadTools& t, bool gather, T* source, T*& target) {
  krz::detail::CKRZLogScope logged(KRZLogged::Gather);
  const char* name = gather ? "GetGlobalArrayFromLocalArray" : "GetLocalArrayFromGlobalArray";
  if (m_pSplit) {
    CKRZLine() << name
               << "_Begin: the split transfer begun before has not ended (_End); this "
                  "one is ignored";
    return 0;
  }
  std::unique_ptr<SplitOf<T>> split(new SplitOf<T>);
  split->gather = gather;
  split->source = source;
  split->setUps = m_nSetUps;
  split->result = gather ? GatherStart<T>(t, source, target, nullptr, split->s)
                         : ScatterStart(t, source, target, split->s);
  split->post = split->result < 0 ? split->s.post : nullptr;
  split->target = target;
  const int begun = split->result < 0 ? 1 : split->result;
  m_pSplit = std::move(split);
  return begun;
}

template <class T>
int CCOM_BroadTools::Impl::End(CCOM_BroadTools& t, bool gather, T* source, T*& target) {
  krz::detail::CKRZLogScope logged(KRZLogged::Gather);
  const char* name = gather ? "GetGlobalArrayFromLocalArray" : "GetLocalArrayFromGlobalArray";
  if (!m_pSplit) {
    CKRZLine() << name
               << "_End: no _Begin before it (or the object was copied since); nothing "
                  "written";
    return 0;
  }
  std::unique_ptr<Split> begun = std::move(m_pSplit);
  auto* split = dynamic_cast<SplitOf<T>*>(begun.get());
  const bool root = t.m_nMyid == 0;
  if (split == nullptr || split->gather != gather || split->source != source ||
      ((root || !gather) && split->target != target) || split->setUps != m_nSetUps) {
    CKRZLine() << name << "_End: not the transfer, type or arrays of the _Begin before it, or the "
               << "object was set up again since; what it began is completed, nothing more is "
                  "written";
    if (begun->post != nullptr)
      begun->post->WaitAll();
    return 0;
  }
  if (split->result >= 0)
    return split->result;
  return gather ? GatherFinish(t, split->s, target) : ScatterFinish(t, split->s, target);
}

// A whole transfer between a split one's halves (which may still own the scratch and the
// messages) is refused on every rank alike: each began the split one.
bool CCOM_BroadTools::Impl::InFlight(const char* name) const {
  if (!m_pSplit)
    return false;
  CKRZLine() << name << ": a split transfer of this object is in flight (_Begin without _End); "
             << "refused";
  return true;
}

CCOM_BroadTools::Impl::~Impl() {
  if (m_pSplit && m_pSplit->post != nullptr) {
    try {
      m_pSplit->post->WaitAll(); // the messages land in what goes with the object
    } catch (...) {
    }
  }
}

template <class T> int krz::detail::GatherIntoRows(CCOM_BroadTools& tools, T* pLocal, T** rows) {
  T* none = nullptr;
  return tools.m_pImpl->Gather(tools, pLocal, none, rows);
}
#define KRZ_GATHER_FOR_ROWS(e, c, T, text, Name)                                                   \
  template int krz::detail::GatherIntoRows<T>(CCOM_BroadTools&, T*, T**);
KRZ_ELEMENT_TYPES(KRZ_GATHER_FOR_ROWS)
#undef KRZ_GATHER_FOR_ROWS

#define KRZ_TRANSFERS(e, c, T, text, Name)                                                         \
  int CCOM_BroadTools::GetGlobalArrayFromLocalArray(T* pLocal, T*& pGlobal) {                      \
    return m_pImpl->Gather(*this, pLocal, pGlobal);                                                \
  }                                                                                                \
  int CCOM_BroadTools::GetLocalArrayFromGlobalArray(T* pGlobal, T*& pLocal) {                      \
    return m_pImpl->Scatter(*this, pGlobal, pLocal);                                               \
  }                                                                                                \
  int CCOM_BroadTools::GetGlobalArrayFromLocalArray_Begin(T* pLocal, T*& pGlobal) {                \
    return m_pImpl->Begin(*this, true, pLocal, pGlobal);                                           \
  }                                                                                                \
  int CCOM_BroadTools::GetGlobalArrayFromLocalArray_End(T* pLocal, T*& pGlobal) {                  \
    return m_pImpl->End(*this, true, pLocal, pGlobal);                                             \
  }                                                                                                \
  int CCOM_BroadTools::GetLocalArrayFromGlobalArray_Begin(T* pGlobal, T*& pLocal) {                \
    return m_pImpl->Begin(*this, false, pGlobal, pLocal);                                          \
  }                                                                                                \
  int CCOM_BroadTools::GetLocalArrayFromGlobalArray_End(T* pGlobal, T*& pLocal) {                  \
    return m_pImpl->End(*this, false, pGlobal, pLocal);                                            \
  }
KRZ_ELEMENT_TYPES(KRZ_TRANSFERS)
#undef KRZ_TRANSFERS
