#include "KRZBenchMerge.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <vector>

#include "KRZCoupleMesh.h"
#include "KRZMeasure.h"

using namespace krz::apps;

namespace {

// A k x k grid of nodes on the plane x = 1, in a shuffled order for side B, each coordinate moved
// by at most a millionth of the spacing.
KRZCoupleDomain Grid(int k, bool shuffled, std::vector<int>& candidates) {
  KRZCoupleDomain d;
  std::vector<int> order(static_cast<size_t>(k) * static_cast<size_t>(k));
  std::iota(order.begin(), order.end(), 0);
  std::mt19937 random(shuffled ? 7 : 3);
  if (shuffled)
    std::shuffle(order.begin(), order.end(), random);
  std::uniform_real_distribution<double> jitter(-1e-6, 1e-6);
  const double h = 1.0 / k;
  for (int n : order) {
    d.xyz.push_back(1.0 + jitter(random) * h);
    d.xyz.push_back((n % k) * h + jitter(random) * h);
    d.xyz.push_back((n / k) * h + jitter(random) * h);
  }
  d.common.resize(order.size() + 1);
  std::iota(d.common.begin(), d.common.end(), shuffled ? static_cast<int>(order.size()) : 0);
  candidates.resize(order.size());
  std::iota(candidates.begin(), candidates.end(), 1);
  return d;
}

} // namespace

int KRZBenchMerge(int start, int reps) {
  std::printf("%10s %12s %10s %12s\n", "nodes", "merged", "median_ms", "ratio_prev");
  double previous = 0;
  for (int k = start; k <= 4 * start; k *= 2) {
    std::vector<double> times;
    int merged = 0;
    for (int r = 0; r < reps; ++r) {
      std::vector<int> ca, cb;
      KRZCoupleDomain a = Grid(k, false, ca), b = Grid(k, true, cb);
      const auto t0 = krz::measure::Clock::now();
      merged = KRZMergeNodes(a, ca, b, cb, 0.01 / k); // a hundredth of the spacing
      times.push_back(krz::measure::Ms(t0, krz::measure::Clock::now()));
    }
    const double median = krz::measure::Median(times);
    std::printf("%10d %12d %10.2f %12.2f\n", k * k, merged, median,
                previous > 0 ? median / previous : 0.0);
    previous = median;
  }
  return 0;
}
