// One rank's sorted order: its values travel in order of their global numbers (stable), and back.
#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "communication/KRZSortedOrder.h"

using krz::detail::CKRZSortedOrder;

namespace {

// Row 1..n of numbers in 0..nG: random, with runs of equal numbers and the block edges.
std::vector<int> Row(int n, int nG, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<int> row{0};
  for (int i = 1; i <= n; ++i) {
    const unsigned pick = rng() % 8;
    row.push_back(pick == 0   ? 0
                  : pick == 1 ? nG
                  : pick == 2 ? std::min(nG, (1 << 15) * static_cast<int>(rng() % 4))
                              : static_cast<int>(rng() % static_cast<unsigned>(nG + 1)));
  }
  return row;
}

// The literal order: local indices sorted by global number, equal numbers in local order.
std::vector<int> StableOrder(const std::vector<int>& row) {
  std::vector<int> index(row.size() - 1);
  std::iota(index.begin(), index.end(), 1);
  std::stable_sort(index.begin(), index.end(), [&](int a, int b) { return row[a] < row[b]; });
  return index;
}

} // namespace

TEST(SortedOrder, SortsStablyAndUnsortsBackForGlobalArraysOfEverySize) {
  for (int nG : {1, 5, 1 << 15, (1 << 20) + 7, 3000000}) {
    for (int n : {0, 1, 2, 1000, 40000}) {
      SCOPED_TRACE("n_G " + std::to_string(nG) + ", n " + std::to_string(n));
      const std::vector<int> row = Row(n, nG, static_cast<unsigned>(nG + n));
      CKRZSortedOrder order;
      order.Build(row.data(), n, nG);
      std::vector<int> sorted(static_cast<size_t>(n));
      CKRZSortedOrder::SortNumbers(row.data(), n, nG, sorted.data());
      ASSERT_EQ(order.Count(), n);
      const std::vector<int> literal = StableOrder(row);
      std::vector<double> local(static_cast<size_t>(n) + 1);
      std::vector<double> block(static_cast<size_t>(order.LargestBlock()));
      EXPECT_LE(order.LargestBlock(), n);
      for (int i = 0; i <= n; ++i)
        local[static_cast<size_t>(i)] = 10.0 * i + 0.5;
      std::vector<double> out(static_cast<size_t>(n));
      order.Sort(local.data(), out.data(), block.data());
      int wrong = 0;
      for (int k = 0; k < n; ++k) {
        wrong += out[static_cast<size_t>(k)] != local[static_cast<size_t>(literal[k])];
        wrong += sorted[static_cast<size_t>(k)] != row[static_cast<size_t>(literal[k])];
      }
      EXPECT_EQ(wrong, 0);
      std::vector<double> back(static_cast<size_t>(n) + 1, -1.0);
      order.Unsort(out.data(), block.data(), back.data());
      EXPECT_EQ(back[0], -1.0); // element 0 belongs to no item
      EXPECT_TRUE(std::equal(back.begin() + 1, back.end(), local.begin() + 1));
    }
  }
}

TEST(SortedOrder, PlacesIntoAndPicksFromTheGlobalArrayLikeTheItemLoops) {
  const int nG = (1 << 20) + 3, n = 50000;
  const std::vector<int> row = Row(n, nG, 7);
  CKRZSortedOrder order;
  order.Build(row.data(), n, nG);
  std::vector<int> sorted(static_cast<size_t>(n));
  CKRZSortedOrder::SortNumbers(row.data(), n, nG, sorted.data());
  std::vector<int> local(static_cast<size_t>(n) + 1), staged(static_cast<size_t>(n));
  std::iota(local.begin(), local.end(), 100);
  std::vector<int> global(static_cast<size_t>(nG) + 1, -1), literal(global);
  order.SortInto(local.data(), staged.data(), sorted.data(), global.data());
  for (int i = 1; i <= n; ++i) // item by item: the last writer wins
    literal[static_cast<size_t>(row[static_cast<size_t>(i)])] = local[static_cast<size_t>(i)];
  EXPECT_EQ(global, literal);
  std::vector<int> picked(static_cast<size_t>(n) + 1, -7);
  order.PickFrom(global.data(), sorted.data(), staged.data(), picked.data());
  EXPECT_EQ(picked[0], -7);
  int wrong = 0;
  for (int i = 1; i <= n; ++i)
    wrong +=
        picked[static_cast<size_t>(i)] != global[static_cast<size_t>(row[static_cast<size_t>(i)])];
  EXPECT_EQ(wrong, 0);
}
