// Gather and scatter through CCOM_BroadTools, on every rank count and both engines.
#include <algorithm>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "CCOM_BroadTools.h"
#include "KRZTestHarness.h"
#include "testing/KRZTestRelation.h"

using namespace krz::testing;

namespace {

// Counts 3, 0, 2, 4, 1 for ranks 0..4: odd sizes and a rank without items.
int CountOf(int p) { return (p * 7 + 3) % 5; }

KRZTestRelation RandomPermutation(int nproc, unsigned seed) {
  std::vector<int> counts;
  for (int p = 0; p < nproc; ++p)
    counts.push_back(CountOf(p) * 3);
  return Permutation(counts, true, seed);
}

// Every rank maps `row` (entries 1..n) alike.
KRZTestRelation SameRowEverywhere(int nproc, int nGlobal, const std::vector<int>& row) {
  return KRZTestRelation(nGlobal, Rows(static_cast<size_t>(nproc), row));
}

template <class T> void RoundTrip(CKRZCom& com, int myid, int nproc, KRZTestRelation rel) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(rel.nGlobal, rel.Counts(), rel.Table());
  const int n = rel.counts[static_cast<size_t>(myid)];
  std::unique_ptr<T[]> local(new T[static_cast<size_t>(n) + 1]()); // not vector<bool>
  for (int i = 1; i <= n; ++i)
    local[static_cast<size_t>(i)] = TestValue<T>(myid, i);

  T* global = nullptr;
  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray(local.get(), global), 1);
  if (myid == 0) {
    ASSERT_NE(global, nullptr);
    for (int p = 0; p < nproc; ++p)
      for (int i = 1; i <= rel.counts[static_cast<size_t>(p)]; ++i)
        EXPECT_EQ(global[rel.rows[static_cast<size_t>(p)][static_cast<size_t>(i)]],
                  TestValue<T>(p, i));
  } else {
    EXPECT_EQ(global, nullptr);
  }

  T* back = nullptr; // allocated by the scatter on every rank
  EXPECT_EQ(tools.GetLocalArrayFromGlobalArray(global, back), 1);
  ASSERT_NE(back, nullptr);
  for (int i = 1; i <= n; ++i)
    EXPECT_EQ(back[i], local[static_cast<size_t>(i)]) << "item " << i;
  delete[] back;
  delete[] global;
}

} // namespace

KRZ_RANKS_TEST(Transfer, RoundTripAllTypesWithRandomRelation) {
  const KRZTestRelation rel = RandomPermutation(nproc, 7);
  RoundTrip<double>(com, myid, nproc, rel);
  RoundTrip<float>(com, myid, nproc, rel);
  RoundTrip<int>(com, myid, nproc, rel);
  RoundTrip<bool>(com, myid, nproc, rel);
  RoundTrip<char>(com, myid, nproc, rel);
  EXPECT_EQ(KRZTakeOutput(), "");
}

KRZ_RANKS_TEST(Transfer, DefaultRelationNumbersRanksInOrder) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(CountOf(myid));
  int total = 0, offset = 0;
  for (int p = 0; p < nproc; ++p) {
    if (p < myid)
      offset += CountOf(p);
    total += CountOf(p);
  }
  EXPECT_EQ(tools.GetDimension_Global(), total);
  for (int p = 0; p < nproc; ++p)
    EXPECT_EQ(tools.GetDimension_Local(p), nproc == 1 ? total : CountOf(p));

  std::vector<int> local(static_cast<size_t>(CountOf(myid)) + 1, 0);
  for (int i = 1; i <= CountOf(myid); ++i)
    local[static_cast<size_t>(i)] = offset + i;
  int* global = nullptr;
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), global), 1);
  if (myid == 0) {
    EXPECT_EQ(global[0], 0);
    for (int g = 1; g <= total; ++g)
      EXPECT_EQ(global[g], g);
  }
  delete[] global;
}

KRZ_RANKS_TEST(Transfer, SharedItemsLastWriterWinsAndUnmappedKeepTheirValue) {
  // Every rank maps items 1 and 2 to global 1 and item 3 to global p+3; global 2 is unmapped.
  Rows rows;
  for (int p = 0; p < nproc; ++p)
    rows.push_back({0, 1, 1, p + 3});
  KRZTestRelation rel(nproc + 2, rows);
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(rel.nGlobal, rel.counts.data(), rel.table.data());

  std::vector<double> local{-1.0, 10.0 * myid + 1, 10.0 * myid + 2, 10.0 * myid + 3};
  std::vector<double> callers(static_cast<size_t>(rel.nGlobal) + 1, -5.0);
  double* global = myid == 0 ? callers.data() : nullptr;
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), global), 1);
  if (myid == 0) {
    EXPECT_EQ(global, callers.data());
    EXPECT_EQ(callers[0], -5.0);
    EXPECT_EQ(callers[1], 10.0 * (nproc - 1) + 2); // highest rank, highest local item
    EXPECT_EQ(callers[2], -5.0);
    for (int p = 0; p < nproc; ++p)
      EXPECT_EQ(callers[static_cast<size_t>(p) + 3], 10.0 * p + 3);
  }
  double* back = local.data();
  ASSERT_EQ(tools.GetLocalArrayFromGlobalArray(global, back), 1);
  EXPECT_EQ(local[1], 10.0 * (nproc - 1) + 2);
  EXPECT_EQ(local[2], 10.0 * (nproc - 1) + 2);
  EXPECT_EQ(local[3], 10.0 * myid + 3);
}

KRZ_RANKS_TEST(Transfer, MoreLocalItemsThanGlobalOnes) {
  // Six items per rank share two global numbers: the receive must still fit. (A one-rank run
  // moves n_G items, its local dimension, and is covered elsewhere.)
  if (nproc == 1)
    return;
  KRZTestRelation rel = SameRowEverywhere(nproc, 2, {0, 1, 2, 1, 2, 1, 2});
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(rel.nGlobal, rel.counts.data(), rel.table.data());
  std::vector<int> local{0, 1, 2, 3, 4, 5, 6};
  for (int& v : local)
    v += 100 * myid;
  int* global = nullptr;
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), global), 1);
  if (myid == 0) {
    EXPECT_EQ(global[1], 100 * (nproc - 1) + 5);
    EXPECT_EQ(global[2], 100 * (nproc - 1) + 6);
  }
  int* back = nullptr;
  ASSERT_EQ(tools.GetLocalArrayFromGlobalArray(global, back), 1);
  EXPECT_EQ(back[6], 100 * (nproc - 1) + 6);
  delete[] back;
  delete[] global;
}

KRZ_RANKS_TEST(Transfer, BoolElementZeroIsLeftAsItWas) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(2);
  bool local[3] = {true, true, false};
  bool* global = nullptr;
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 1);
  if (myid == 0) {
    EXPECT_FALSE(global[0]);
    for (int p = 0; p < nproc; ++p) {
      EXPECT_TRUE(global[2 * p + 1]);
      EXPECT_FALSE(global[2 * p + 2]);
      global[2 * p + 2] = true;
    }
  }
  bool* back = local;
  ASSERT_EQ(tools.GetLocalArrayFromGlobalArray(global, back), 1);
  EXPECT_TRUE(local[0]);
  EXPECT_TRUE(local[1]);
  EXPECT_TRUE(local[2]);
  delete[] global;
}

KRZ_RANKS_TEST(Transfer, ReplacedRelationOnRankZeroMayGrowTheGlobalArray) {
  // After the first transfer rank 0 switches to a relation with twice the global dimension;
  // the counts stay, so the other ranks' copies still fit, and the scratch array follows.
  KRZTestRelation first = RandomPermutation(nproc, 3);
  KRZTestRelation second = first;
  second.nGlobal = 2 * first.nGlobal;
  for (auto& row : second.rows)
    for (size_t i = 1; i < row.size(); ++i)
      row[i] += first.nGlobal;
  second.Finish();
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(first.nGlobal, first.counts.data(), first.table.data());
  const int n = first.counts[static_cast<size_t>(myid)];
  std::vector<double> local(static_cast<size_t>(n) + 1, 0.0);
  for (int i = 1; i <= n; ++i)
    local[static_cast<size_t>(i)] = 1000.0 * myid + i;
  double* global = nullptr;
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), global), 1);
  delete[] global;
  global = nullptr;

  tools.SetMapRelation(second.nGlobal, second.counts.data(), second.table.data());
  if (nproc == 1) {
    // One rank moves n_G items, more than the row holds: refused instead of read past the row.
    EXPECT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), global), 0);
    EXPECT_EQ(KRZLines(KRZTakeOutput()).front(),
              "L2G relation error: process 0 has local dimension " + std::to_string(first.nGlobal) +
                  " but a one-process run uses the global "
                  "dimension " +
                  std::to_string(second.nGlobal));
    return;
  }
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), global), 1);
  if (myid == 0) {
    for (int p = 0; p < nproc; ++p)
      for (int i = 1; i <= second.counts[static_cast<size_t>(p)]; ++i)
        EXPECT_EQ(global[second.rows[static_cast<size_t>(p)][static_cast<size_t>(i)]],
                  1000.0 * p + i);
  }
  double* back = nullptr;
  ASSERT_EQ(tools.GetLocalArrayFromGlobalArray(global, back), 1);
  for (int i = 1; i <= n; ++i)
    EXPECT_EQ(back[i], local[static_cast<size_t>(i)]);
  delete[] back;
  delete[] global;
}

KRZ_RANKS_TEST(Transfer, CopiesTransferAndReleaseIndependently) {
  CCOM_BroadTools original;
  original.SetInitialize(myid, nproc, &com);
  original.SetMapRelation_DefaultRelation(myid + 1);
  std::vector<int> items(static_cast<size_t>(myid) + 2);
  std::iota(items.begin(), items.end(), 0);
  int* local = items.data();
  int* global = nullptr;
  ASSERT_EQ(original.GetGlobalArrayFromLocalArray(local, global), 1); // distributes
  delete[] global;
  global = nullptr;
  {
    CCOM_BroadTools copy;
    copy = original;
    CCOM_BroadTools constructed(copy);
    ASSERT_EQ(constructed.GetGlobalArrayFromLocalArray(local, global), 1);
  }
  int* back = nullptr;
  ASSERT_EQ(original.GetLocalArrayFromGlobalArray(global, back), 1);
  for (int i = 1; i <= myid + 1; ++i)
    EXPECT_EQ(back[i], i);
  delete[] back;
  delete[] global;
}

KRZ_RANKS_TEST(Transfer, RandomRelationsWithDuplicatesMatchTheLiteralPlacement) {
  // Global numbers drawn at random from 0..n_G: many duplicates, within and across ranks, and
  // items on global element 0. The literal placement: rank by rank, item by item, last wins.
  // (A one-rank run moves n_G items, whatever the count: covered by the one-rank tests.)
  if (nproc == 1)
    return;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    std::mt19937 rng(seed * 7919u + static_cast<unsigned>(nproc));
    const int nGlobal = 5 + static_cast<int>(rng() % 40);
    std::vector<int> counts;
    for (int p = 0; p < nproc; ++p)
      counts.push_back(static_cast<int>(rng() % 60));
    KRZTestRelation rel = RandomNumbers(counts, nGlobal, rng);
    auto value = [](int p, int i) { return 1000.0 * p + i; };
    std::vector<double> reference(static_cast<size_t>(nGlobal) + 1, -1.0);
    LiteralGather(rel, reference.data(), value);

    CCOM_BroadTools tools;
    tools.SetInitialize(myid, nproc, &com);
    tools.SetMapRelation(rel.nGlobal, rel.counts.data(), rel.table.data());
    const int n = rel.counts[static_cast<size_t>(myid)];
    std::vector<double> local(static_cast<size_t>(n) + 1, 0.0);
    for (int i = 1; i <= n; ++i)
      local[static_cast<size_t>(i)] = value(myid, i);
    std::vector<double> global(static_cast<size_t>(nGlobal) + 1, -1.0);
    double* target = global.data();
    if (nproc == 1 && n < nGlobal)
      continue; // one rank moves n_G items: such a relation is refused (tested elsewhere)
    ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), target), 1);
    if (myid == 0) {
      EXPECT_EQ(global, reference) << "seed " << seed;
    }
    double* back = nullptr;
    ASSERT_EQ(tools.GetLocalArrayFromGlobalArray(target, back), 1);
    for (int i = 1; i <= n; ++i)
      EXPECT_EQ(back[i], reference[static_cast<size_t>(
                             rel.rows[static_cast<size_t>(myid)][static_cast<size_t>(i)])])
          << "seed " << seed << ", item " << i;
    delete[] back;
  }
}
