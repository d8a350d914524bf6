// Repeated transfers through relations that scatter items over a large global array: from the
// second transfer on, rank 0 places them in its own order. Every result must still be exactly the
// literal one (rank by rank, item by item, last writer wins), also after the caller edited its
// relation in place between transfers.
#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "CCOM_BroadTools.h"
#include "CCOM_BroadTools_CollectLocalArrayToMyid0.h"
#include "KRZTestHarness.h"
#include "testing/KRZTestRelation.h"

using namespace krz::testing;

namespace {

// Large enough for rank 0 to plan its placement (smaller global arrays are placed directly).
constexpr int kGlobal = 1100000;

// Random numbers in 0..kGlobal: duplicates within and across ranks, items on element 0, global
// elements nobody maps to. Every rank builds the same relation; only rank 0 hands it in.
KRZTestRelation Scattered(int nproc, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<int> counts;
  for (int p = 0; p < nproc; ++p) // a one-rank run moves n_G items: its row must hold that many
    counts.push_back(nproc == 1 ? kGlobal : 5000 + static_cast<int>(rng() % 5000));
  return RandomNumbers(counts, kGlobal, rng);
}

template <class T> using Array = std::unique_ptr<T[]>; // not vector<bool>

// What global elements hold before any gather: a value TestValue never gives (bool: any).
template <class T> T Initial() { return static_cast<T>(-1); }
template <> bool Initial<bool>() { return true; }
template <> char Initial<char>() { return '#'; }

// The literal results: rank by rank, item by item, the last writer wins, numbers outside
// 0..kGlobal skipped, elements nobody writes keep their initial value.
template <class T> class Literal {
public:
  Literal() : m_Dense(new T[kGlobal + 1]) { std::fill_n(m_Dense.get(), kGlobal + 1, Initial<T>()); }

  void Gather(const KRZTestRelation& rel, int round) {
    LiteralGather(rel, m_Dense.get(), [round](int p, int i) { return TestValue<T>(p, i, round); });
  }

  T At(int g) const { return m_Dense[g]; }
  const T* Dense() const { return m_Dense.get(); }

private:
  Array<T> m_Dense;
};

// One gather of TestValue(round) and one scatter back through `tools`, both compared with the
// literal results. `global` is rank 0's global array (null elsewhere).
template <class T>
void CheckedRound(CCOM_BroadTools& tools, const KRZTestRelation& rel, Literal<T>& reference,
                  T* global, int myid, int round) {
  const int n = rel.counts[static_cast<size_t>(myid)];
  Array<T> local(new T[static_cast<size_t>(n) + 1]());
  for (int i = 1; i <= n; ++i)
    local[i] = TestValue<T>(myid, i, round);
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.get(), global), 1);
  reference.Gather(rel, round);
  if (myid == 0 && std::memcmp(global, reference.Dense(), sizeof(T) * (kGlobal + 1)) != 0) {
    int wrong = 0;
    for (int g = 0; g <= kGlobal; ++g)
      wrong += global[g] != reference.Dense()[g];
    ADD_FAILURE() << "round " << round << ": " << wrong << " global elements differing";
  }
  T* back = nullptr; // allocated by the scatter
  ASSERT_EQ(tools.GetLocalArrayFromGlobalArray(global, back), 1);
  Array<T> owned(back);
  int wrong = 0;
  const std::vector<int>& row = rel.rows[static_cast<size_t>(myid)];
  for (int i = 1; i <= n; ++i)
    wrong += back[i] != reference.At(row[static_cast<size_t>(i)]);
  EXPECT_EQ(wrong, 0) << "round " << round << ": local items differing";
}

template <class T> Array<T> InitialGlobal(int myid, const Literal<T>& reference) {
  Array<T> global(myid == 0 ? new T[kGlobal + 1] : nullptr);
  if (myid == 0)
    std::copy(reference.Dense(), reference.Dense() + kGlobal + 1, global.get());
  return global;
}

// Rounds of gather then scatter on one object; between `editAfter` and the next round rank 0
// edits its relation in place (every rank mirrors the edit in its reference).
template <class T>
void Rounds(CKRZCom& com, int myid, int nproc, KRZTestRelation rel, int rounds, int editAfter) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(kGlobal, rel.Counts(), rel.Table());
  Literal<T> reference;
  Array<T> global = InitialGlobal(myid, reference);
  for (int round = 0; round < rounds; ++round) {
    CheckedRound(tools, rel, reference, global.get(), myid, round);
    if (round == editAfter) {
      // Rank 0's table as the caller may change it: two entries swapped, one moved onto an
      // element another rank writes, one onto element 0. Only rank 0 reads its table again.
      std::vector<int>& last = rel.rows.back();
      const size_t m = last.size() - 1;
      std::swap(last[1], last[m]);
      last[m / 2] = rel.rows.front()[1];
      last[m / 3] = 0;
    }
  }
}

template <class T>
void Rounds(CKRZCom& com, int myid, int nproc, unsigned seed, int rounds, int editAfter) {
  Rounds<T>(com, myid, nproc, Scattered(nproc, seed), rounds, editAfter);
}

// An object with a scattered relation handed in, whose first two rounds ran (the second builds
// the order), with the literal results so far and rank 0's global array.
struct InOrder {
  KRZTestRelation rel;
  CCOM_BroadTools tools;
  Literal<double> reference;
  Array<double> global;
  InOrder(CKRZCom& com, int myid, int nproc, unsigned seed) : rel(Scattered(nproc, seed)) {
    tools.SetInitialize(myid, nproc, &com);
    tools.SetMapRelation(kGlobal, rel.Counts(), rel.Table());
    global = InitialGlobal(myid, reference);
    for (int round = 0; round < 2; ++round)
      CheckedRound(tools, rel, reference, global.get(), myid, round);
  }
};

} // namespace

KRZ_RANKS_TEST(Placement, RepeatedTransfersMatchTheLiteralOnesForEveryType) {
  // Round 0 places item by item, round 1 builds the order and uses it, round 2 reuses it. A
  // one-rank run moves n_G items per transfer: doubles only there.
  Rounds<double>(com, myid, nproc, 11, nproc == 1 ? 2 : 3, -1);
  if (nproc == 1)
    return;
  Rounds<float>(com, myid, nproc, 12, 2, -1);
  Rounds<int>(com, myid, nproc, 13, 2, -1);
  Rounds<bool>(com, myid, nproc, 14, 2, -1);
  Rounds<char>(com, myid, nproc, 15, 2, -1);
  EXPECT_EQ(KRZTakeOutput(), "");
}

KRZ_RANKS_TEST(Placement, RelationEditedInPlaceIsUsedAsItIsAtEachCall) {
  if (nproc == 1)
    return; // one rank checks its whole relation at every call anyway
  // Edited after the third transfer (the order is in use by then): the next round places item by
  // item, the one after rebuilds the order. Edited after the first: the order is built from the
  // edited table.
  Rounds<double>(com, myid, nproc, 21, 5, 2);
  Rounds<int>(com, myid, nproc, 22, 3, 0);
  EXPECT_EQ(KRZTakeOutput(), "");
}

KRZ_RANKS_TEST(Placement, CopiesAndRedistributedRelationsBuildTheirOwnOrders) {
  // An object whose order is in use, a copy of it (which builds its own), both used in turn; then
  // the original takes a default relation and, on a new object, the scattered one again.
  InOrder o(com, myid, nproc, 41);
  CCOM_BroadTools copy(o.tools);
  for (int round = 2; round < 6; ++round)
    CheckedRound(round % 2 == 0 ? copy : o.tools, o.rel, o.reference, o.global.get(), myid, round);
  o.tools.SetMapRelation_DefaultRelation(o.rel.counts[static_cast<size_t>(myid)]);
  std::vector<double> local(static_cast<size_t>(o.rel.counts[static_cast<size_t>(myid)]) + 1, 1.0);
  double* whole = nullptr;
  ASSERT_EQ(o.tools.GetGlobalArrayFromLocalArray(local.data(), whole), 1);
  delete[] whole;
  o.tools = copy; // the scattered relation again, through an assignment
  for (int round = 6; round < 9; ++round)
    CheckedRound(o.tools, o.rel, o.reference, o.global.get(), myid, round);
  EXPECT_EQ(KRZTakeOutput(), "");
}

KRZ_RANKS_TEST(Placement, EntryEditedOutOfRangeIsReportedAndSkipped) {
  if (nproc == 1)
    return; // one rank checks its relation at every call and refuses it whole (tested elsewhere)
  KRZTestRelation rel = Scattered(nproc, 31);
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(kGlobal, rel.Counts(), rel.Table());
  const int n = rel.counts[static_cast<size_t>(myid)];
  std::vector<double> local(static_cast<size_t>(n) + 1);
  Literal<double> reference;
  std::vector<double> global;
  if (myid == 0)
    global.assign(reference.Dense(), reference.Dense() + kGlobal + 1);
  double* target = global.data();
  for (int round = 0; round < 4; ++round) {
    if (round == 3) {
      rel.rows.back()[5] = kGlobal + 7; // after the order is in use
      KRZTakeOutput();
    }
    for (int i = 1; i <= n; ++i)
      local[static_cast<size_t>(i)] = TestValue<double>(myid, i, round);
    ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), target), 1);
    reference.Gather(rel, round);
  }
  if (myid == 0) {
    EXPECT_EQ(std::memcmp(global.data(), reference.Dense(), sizeof(double) * (kGlobal + 1)), 0);
    EXPECT_EQ(KRZTakeOutput(), "L2G relation error: process " + std::to_string(nproc - 1) +
                                   ", local item 5, global number " + std::to_string(kGlobal + 7) +
                                   " outside 0 to " + std::to_string(kGlobal) + "\n");
  }
}

KRZ_RANKS_TEST(Placement, LargeDefaultRelationsAndCollectionsTakeTheOrderStepToo) {
  // Relations of 2^20 elements or more name their order at every transfer, the default relation
  // and the collector's included (they never get one): the values must still arrive, in place.
  const int n = (kGlobal + nproc - 1) / nproc + myid;
  std::vector<int> local(static_cast<size_t>(n) + 1);
  for (int round = 0; round < 2; ++round) {
    local[0] = -3;
    for (int i = 1; i <= n; ++i)
      local[static_cast<size_t>(i)] = TestValue<int>(myid, i, round);
    CCOM_BroadTools_CollectLocalArrayToMyid0 collector;
    collector.SetInitialize(myid, nproc, &com);
    int** rows = collector.CreateMyid0ArrayFromLocalArray(n, local.data());
    int** again = collector.CreateMyid0ArrayFromLocalArray(n, local.data());
    if (myid == 0 && nproc > 1) {
      int wrong = 0;
      for (int p = 0; p < nproc; ++p) {
        const int np = (kGlobal + nproc - 1) / nproc + p;
        wrong += rows[p][0] != 0;
        for (int i = 1; i <= np; ++i)
          wrong += (rows[p][i] != TestValue<int>(p, i, round)) + (again[p][i] != rows[p][i]);
      }
      EXPECT_EQ(wrong, 0);
    }
    for (int** table : {rows, again})
      if (table != nullptr) {
        for (int p = 0; p < nproc; ++p)
          delete[] table[p];
        delete[] table;
      }

    CCOM_BroadTools tools;
    tools.SetInitialize(myid, nproc, &com);
    tools.SetMapRelation_DefaultRelation(n);
    int* global = nullptr;
    ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), global), 1);
    ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), global), 1);
    std::vector<int> back(static_cast<size_t>(n) + 1, -9);
    int* target = back.data();
    ASSERT_EQ(tools.GetLocalArrayFromGlobalArray(global, target), 1);
    EXPECT_EQ(back[0], -9);
    EXPECT_TRUE(std::equal(back.begin() + 1, back.end(), local.begin() + 1));
    delete[] global;
  }
  EXPECT_EQ(KRZTakeOutput(), "");
}

KRZ_RANKS_TEST(Placement, RelationWidenedOnRankZeroAfterDistributionKeepsTheLocalOrder) {
  if (nproc == 1)
    return;
  // Distributed over a small global array (no order step), then rank 0 alone hands in a relation
  // with the same counts over a large one: the other ranks were never told to take part in an
  // order, so every transfer must still go in local order.
  KRZTestRelation rel = Scattered(nproc, 51);
  KRZTestRelation narrow = rel;
  for (std::vector<int>& row : narrow.rows)
    for (size_t i = 1; i < row.size(); ++i)
      row[i] %= 101;
  narrow.Finish();
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(100, narrow.Counts(), narrow.Table());
  std::vector<double> local(static_cast<size_t>(rel.Count(myid)) + 1, 1.0);
  double* whole = nullptr;
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), whole), 1);
  delete[] whole;
  tools.SetMapRelation(kGlobal, rel.Counts(), rel.Table());
  Literal<double> reference;
  Array<double> global = InitialGlobal(myid, reference);
  for (int round = 0; round < 3; ++round)
    CheckedRound(tools, rel, reference, global.get(), myid, round);
  EXPECT_EQ(KRZTakeOutput(), "");
}

KRZ_RANKS_TEST(Placement, RanksWithoutItemsTakePartInTheOrder) {
  if (nproc == 1)
    return; // a one-rank run moves n_G items
  // Every odd rank holds no item; the others share a scattered relation.
  std::mt19937 rng(31);
  std::vector<int> counts;
  for (int p = 0; p < nproc; ++p)
    counts.push_back(p % 2 == 1 ? 0 : 20000 + static_cast<int>(rng() % 5000));
  Rounds<double>(com, myid, nproc, RandomNumbers(counts, kGlobal, rng), 3, -1);
  EXPECT_EQ(KRZTakeOutput(), "");
}

KRZ_RANKS_TEST(Placement, SplitTransfersInTheOrderGiveTheBlockingResults) {
  // Once the order is built, split transfers move the values in it too: the same global and
  // local values as the whole transfers.
  InOrder o(com, myid, nproc, 61);
  const int n = o.rel.counts[static_cast<size_t>(myid)];
  Array<double> local(new double[static_cast<size_t>(n) + 1]());
  for (int i = 1; i <= n; ++i)
    local[i] = TestValue<double>(myid, i, 7);
  double* target = o.global.get();
  ASSERT_EQ(o.tools.GetGlobalArrayFromLocalArray_Begin(local.get(), target), 1);
  ASSERT_EQ(o.tools.GetGlobalArrayFromLocalArray_End(local.get(), target), 1);
  o.reference.Gather(o.rel, 7);
  if (myid == 0) {
    EXPECT_EQ(std::memcmp(o.global.get(), o.reference.Dense(), sizeof(double) * (kGlobal + 1)), 0);
  }
  Array<double> whole(new double[static_cast<size_t>(n) + 1]());
  Array<double> split(new double[static_cast<size_t>(n) + 1]());
  double* into = whole.get();
  ASSERT_EQ(o.tools.GetLocalArrayFromGlobalArray(o.global.get(), into), 1);
  into = split.get();
  ASSERT_EQ(o.tools.GetLocalArrayFromGlobalArray_Begin(o.global.get(), into), 1);
  ASSERT_EQ(o.tools.GetLocalArrayFromGlobalArray_End(o.global.get(), into), 1);
  int wrong = 0;
  const std::vector<int>& row = o.rel.rows[static_cast<size_t>(myid)];
  for (int i = 1; i <= n; ++i)
    wrong += (whole[i] != o.reference.At(row[static_cast<size_t>(i)])) + (split[i] != whole[i]);
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(KRZTakeOutput(), "");
}
