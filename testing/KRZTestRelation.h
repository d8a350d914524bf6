// Relations and values for the tests, the fuzzers and the benchmarks: rank 0's table in the shape
// the interface takes it, built alike on every rank from the same arguments, and the literal
// results a transfer must give (rank by rank, item by item, the last writer wins).
#ifndef KRZ3DCOMTOOLS_TESTING_KRZTESTRELATION_H
#define KRZ3DCOMTOOLS_TESTING_KRZTESTRELATION_H

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

namespace krz::testing {

using Rows = std::vector<std::vector<int>>; // row p: entry 0 unused, then global numbers

struct KRZTestRelation {
  int nGlobal = 0;
  std::vector<int> counts;
  Rows rows;
  std::vector<int*> table; // row pointers into `rows` (Finish)

  KRZTestRelation() = default;
  KRZTestRelation(int nG, Rows r) : nGlobal(nG), rows(std::move(r)) { Finish(); }
  KRZTestRelation(const KRZTestRelation& other) { *this = other; }
  KRZTestRelation& operator=(const KRZTestRelation& other) {
    nGlobal = other.nGlobal;
    rows = other.rows;
    Finish();
    return *this;
  }

  /// Counts and row pointers from `rows` (after rows were added or resized).
  void Finish() {
    counts.clear();
    table.clear();
    for (auto& row : rows) {
      counts.push_back(static_cast<int>(row.size()) - 1);
      table.push_back(row.data());
    }
  }
  int Count(int p) const { return counts[static_cast<size_t>(p)]; }
  int At(int p, int i) const { return rows[static_cast<size_t>(p)][static_cast<size_t>(i)]; }
  int* Counts() { return counts.data(); }
  int** Table() { return table.data(); }
};

/// counts[p] items per rank numbered 1..sum, in order or shuffled with `seed`.
inline KRZTestRelation Permutation(const std::vector<int>& counts, bool shuffled, unsigned seed) {
  const int total = std::accumulate(counts.begin(), counts.end(), 0);
  std::vector<int> numbers(static_cast<size_t>(total));
  std::iota(numbers.begin(), numbers.end(), 1);
  if (shuffled)
    std::shuffle(numbers.begin(), numbers.end(), std::mt19937(seed));
  Rows rows;
  auto next = numbers.begin();
  for (int n : counts) {
    rows.emplace_back(1, 0);
    rows.back().insert(rows.back().end(), next, next + n);
    next += n;
  }
  return KRZTestRelation(total, std::move(rows));
}

/// counts[p] items per rank with numbers drawn from 0..nGlobal: duplicates within and across
/// ranks, items on element 0, elements nobody maps to.
inline KRZTestRelation RandomNumbers(const std::vector<int>& counts, int nGlobal,
                                     std::mt19937& rng) {
  Rows rows;
  for (int n : counts) {
    rows.emplace_back(1, 0);
    for (int i = 1; i <= n; ++i)
      rows.back().push_back(static_cast<int>(rng() % static_cast<unsigned>(nGlobal + 1)));
  }
  return KRZTestRelation(nGlobal, std::move(rows));
}

/// A value for item i of rank p in round `round`, distinct enough to tell items apart.
template <class T> T TestValue(int p, int i, int round = 0) {
  return static_cast<T>((p * 131 + i * 7 + round * 29) % 1000);
}
template <> inline bool TestValue<bool>(int p, int i, int round) {
  return (p + i + round) % 3 != 0;
}
template <> inline char TestValue<char>(int p, int i, int round) {
  return static_cast<char>('a' + (p * 5 + i + round) % 26);
}

/// The literal gather onto `global` (an array or a vector of n_G+1 elements): rank by rank, item
/// by item, value(p, i) to element g, numbers outside 0..n_G skipped, the last writer wins.
template <class Global, class Value>
void LiteralGather(const KRZTestRelation& r, Global&& global, Value value) {
  for (size_t p = 0; p < r.rows.size(); ++p)
    for (size_t i = 1; i < r.rows[p].size(); ++i) {
      const int g = r.rows[p][i];
      if (g >= 0 && g <= r.nGlobal)
        global[static_cast<size_t>(g)] = value(static_cast<int>(p), static_cast<int>(i));
    }
}

} // namespace krz::testing

#endif
