// Repeated transfers through relations that scatter items over a large global array: from the
// second transfer on, rank 0 places them in its own order. Every result must still be exactly the
// literal one (rank by rank, item by item, last writer wins), also after the caller edited its
// relation in place between transfers.
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "CCOM_BroadTools.h"
#include "KRZTestHarness.h"

namespace {

// Large enough for rank 0 to plan its placement (small global arrays are placed directly).
constexpr int kGlobal = 90000;

// Random numbers in 0..kGlobal: duplicates within and across ranks, items on element 0, global
// elements nobody maps to. Every rank builds the same relation; only rank 0 hands it in.
struct Scattered {
  std::vector<int> counts;
  std::vector<std::vector<int>> rows;
  std::vector<int*> table;

  Scattered(int nproc, unsigned seed) {
    std::mt19937 rng(seed);
    for (int p = 0; p < nproc; ++p) {
      // A one-rank run moves n_G items, so its row must hold that many.
      counts.push_back(nproc == 1 ? kGlobal : 20000 + static_cast<int>(rng() % 20000));
      rows.emplace_back(1, 0);
      for (int i = 1; i <= counts.back(); ++i)
        rows.back().push_back(static_cast<int>(rng() % (kGlobal + 1)));
      table.push_back(rows.back().data());
    }
  }
};

template <class T> T ValueOf(int p, int i, int round) {
  return static_cast<T>((p * 131 + i * 7 + round * 29) % 1000);
}
template <> bool ValueOf<bool>(int p, int i, int round) { return (p + i + round) % 3 != 0; }
template <> char ValueOf<char>(int p, int i, int round) {
  return static_cast<char>('a' + (p * 5 + i + round) % 26);
}

template <class T> using Array = std::unique_ptr<T[]>; // not vector<bool>

// The literal gather of every rank's values for `round` into `global`, which keeps what no item
// writes; numbers outside 0..kGlobal are skipped, as the library does.
template <class T> void LiteralGather(const Scattered& rel, int round, T* global) {
  for (size_t p = 0; p < rel.rows.size(); ++p)
    for (int i = 1; i <= rel.counts[p]; ++i) {
      const int g = rel.rows[p][static_cast<size_t>(i)];
      if (g >= 0 && g <= kGlobal)
        global[g] = ValueOf<T>(static_cast<int>(p), i, round);
    }
}

// Rounds of gather then scatter on one object; between `editAfter` and the next round rank 0
// edits its relation in place (every rank mirrors the edit in its reference).
template <class T>
void Rounds(CKRZCom& com, int myid, int nproc, unsigned seed, int rounds, int editAfter) {
  Scattered rel(nproc, seed);
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(kGlobal, rel.counts.data(), rel.table.data());
  const int n = rel.counts[static_cast<size_t>(myid)];

  Array<T> global(new T[kGlobal + 1]);
  Array<T> reference(new T[kGlobal + 1]);
  for (int g = 0; g <= kGlobal; ++g)
    global[g] = reference[g] = ValueOf<T>(9, g, 0); // what unmapped elements must keep
  T* target = global.get();
  Array<T> local(new T[static_cast<size_t>(n) + 1]());
  T* back = nullptr;

  for (int round = 0; round < rounds; ++round) {
    for (int i = 1; i <= n; ++i)
      local[i] = ValueOf<T>(myid, i, round);
    ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.get(), target), 1);
    LiteralGather(rel, round, reference.get());
    if (myid == 0) {
      int wrong = 0;
      for (int g = 0; g <= kGlobal; ++g)
        wrong += global[g] != reference[g];
      EXPECT_EQ(wrong, 0) << "round " << round << ": global elements differing";
    }
    ASSERT_EQ(tools.GetLocalArrayFromGlobalArray(target, back), 1);
    int wrong = 0;
    const std::vector<int>& row = rel.rows[static_cast<size_t>(myid)];
    for (int i = 1; i <= n; ++i)
      wrong += back[i] != reference[row[static_cast<size_t>(i)]];
    EXPECT_EQ(wrong, 0) << "round " << round << ": local items differing";

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
  delete[] back;
}

} // namespace

KRZ_RANKS_TEST(Placement, RepeatedTransfersMatchTheLiteralOnesForEveryType) {
  Rounds<double>(com, myid, nproc, 11, 3, -1);
  Rounds<float>(com, myid, nproc, 12, 3, -1);
  Rounds<int>(com, myid, nproc, 13, 3, -1);
  Rounds<bool>(com, myid, nproc, 14, 3, -1);
  Rounds<char>(com, myid, nproc, 15, 3, -1);
  EXPECT_EQ(KRZTakeOutput(), "");
}

KRZ_RANKS_TEST(Placement, RelationEditedInPlaceIsUsedAsItIsAtEachCall) {
  // Edited after the third transfer (the plan is in use by then), and the round after the edit
  // is followed by more, so the order is rebuilt and used again.
  Rounds<double>(com, myid, nproc, 21, 6, 2);
  Rounds<int>(com, myid, nproc, 22, 4, 0);
  EXPECT_EQ(KRZTakeOutput(), "");
}

KRZ_RANKS_TEST(Placement, EntryEditedOutOfRangeIsReportedAndSkipped) {
  if (nproc == 1)
    return; // one rank checks its relation at every call and refuses it whole (tested elsewhere)
  Scattered rel(nproc, 31);
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(kGlobal, rel.counts.data(), rel.table.data());
  const int n = rel.counts[static_cast<size_t>(myid)];
  std::vector<double> local(static_cast<size_t>(n) + 1);
  std::vector<double> global(kGlobal + 1, -1.0), reference(kGlobal + 1, -1.0);
  double* target = global.data();
  for (int round = 0; round < 4; ++round) {
    if (round == 3) {
      rel.rows.back()[5] = kGlobal + 7; // after the order is in use
      KRZTakeOutput();
    }
    for (int i = 1; i <= n; ++i)
      local[static_cast<size_t>(i)] = ValueOf<double>(myid, i, round);
    ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), target), 1);
    LiteralGather(rel, round, reference.data());
  }
  if (myid == 0) {
    EXPECT_EQ(global, reference);
    EXPECT_EQ(KRZTakeOutput(), "L2G relation error: process " + std::to_string(nproc - 1) +
                                   ", local item 5, global number " + std::to_string(kGlobal + 7) +
                                   " outside 0 to " + std::to_string(kGlobal) + "\n");
  }
}
