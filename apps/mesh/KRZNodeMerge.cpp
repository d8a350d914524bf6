// Coinciding interface nodes of two independently numbered meshes: a k-d tree (nanoflann) over
// one side's candidate nodes and one nearest-neighbour query per node of the other, n log n in all.
// The tree's points are copied, and the queries made, in Morton order, so that points close in
// space are close in memory and in time too, and the search stays in the caches as the interface
// grows.
#include <nanoflann.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>

#include "KRZCoupleMesh.h"

using namespace krz::apps;

namespace {
// Both sides' nodes in Morton order of their place in the common bounding box (10 bits a
// coordinate): nodes close in space come close in the order.
class MortonOrder {
public:
  MortonOrder(const KRZCoupleDomain& a, const std::vector<int>& na, const KRZCoupleDomain& b,
              const std::vector<int>& nb) {
    for (int k = 0; k < 3; ++k) {
      m_Lo[k] = 1e300;
      double hi = -1e300;
      for (auto [d, nodes] : {std::make_pair(&a, &na), std::make_pair(&b, &nb)})
        for (int n : *nodes) {
          const double v = d->xyz[3 * static_cast<size_t>(n - 1) + static_cast<size_t>(k)];
          m_Lo[k] = std::min(m_Lo[k], v);
          hi = std::max(hi, v);
        }
      m_Scale[k] = hi > m_Lo[k] ? 1023.0 / (hi - m_Lo[k]) : 0.0;
    }
  }
  uint32_t Key(const double* p) const {
    uint32_t key = 0;
    for (int k = 0; k < 3; ++k) {
      const uint32_t q = static_cast<uint32_t>((p[k] - m_Lo[k]) * m_Scale[k]);
      for (int bit = 0; bit < 10; ++bit)
        key |= ((q >> bit) & 1u) << (3 * bit + k);
    }
    return key;
  }
  /// `nodes` of `d` sorted by key.
  std::vector<int> Sorted(const KRZCoupleDomain& d, const std::vector<int>& nodes) const {
    std::vector<std::pair<uint32_t, int>> keyed;
    keyed.reserve(nodes.size());
    for (int n : nodes)
      keyed.emplace_back(Key(d.xyz.data() + 3 * static_cast<size_t>(n - 1)), n);
    std::sort(keyed.begin(), keyed.end());
    std::vector<int> out;
    out.reserve(nodes.size());
    for (const auto& k : keyed)
      out.push_back(k.second);
    return out;
  }

private:
  double m_Lo[3];
  double m_Scale[3];
};

// One side's candidate nodes, contiguous, as nanoflann's point cloud.
struct Cloud {
  std::vector<std::array<double, 3>> points;
  size_t kdtree_get_point_count() const { return points.size(); }
  double kdtree_get_pt(size_t i, size_t k) const { return points[i][k]; }
  template <class Box> bool kdtree_get_bbox(Box&) const { return false; }
};
using Tree =
    nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, Cloud>, Cloud, 3>;
} // namespace

int KRZMergeNodes(KRZCoupleDomain& a, const std::vector<int>& candidatesA, KRZCoupleDomain& b,
                  const std::vector<int>& candidatesB, double radius) {
  if (candidatesA.empty() || candidatesB.empty())
    return 0;
  auto at = [](const KRZCoupleDomain& d, int n) {
    const double* p = d.xyz.data() + 3 * static_cast<size_t>(n - 1);
    return std::array<double, 3>{p[0], p[1], p[2]};
  };
  const MortonOrder morton(a, candidatesA, b, candidatesB);
  const std::vector<int> order = morton.Sorted(b, candidatesB);
  Cloud cloud;
  cloud.points.reserve(order.size());
  for (int n : order)
    cloud.points.push_back(at(b, n));
  Tree tree(3, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(16));
  tree.buildIndex();

  const std::vector<int> queries = morton.Sorted(a, candidatesA);
  const double r2 = radius * radius; // the L2_Simple adaptor measures squared distances
  int merged = 0;
  for (int n : queries) {
    const std::array<double, 3> p = at(a, n);
    uint32_t nearest = 0;
    double d2 = 0;
    if (tree.knnSearch(p.data(), 1, &nearest, &d2) == 0 || d2 > r2)
      continue;
    b.common[static_cast<size_t>(order[nearest])] = a.common[static_cast<size_t>(n)];
    ++merged;
  }
  return merged;
}
