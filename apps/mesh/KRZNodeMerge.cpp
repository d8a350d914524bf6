// Coinciding interface nodes of two independently numbered meshes: a k-d tree (nanoflann) over
// one side's candidate nodes and one radius query per node of the other, n log n in all.
#include <nanoflann.hpp>

#include "KRZCoupleMesh.h"

namespace {
// The candidate nodes of one domain as nanoflann's point cloud.
struct Cloud {
  const KRZCoupleDomain& d;
  const std::vector<int>& nodes;
  size_t kdtree_get_point_count() const { return nodes.size(); }
  double kdtree_get_pt(size_t i, size_t k) const {
    return d.xyz[3 * static_cast<size_t>(nodes[i] - 1) + k];
  }
  template <class Box> bool kdtree_get_bbox(Box&) const { return false; }
};
using Tree =
    nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, Cloud>, Cloud, 3>;
} // namespace

int KRZMergeNodes(KRZCoupleDomain& a, const std::vector<int>& candidatesA, KRZCoupleDomain& b,
                  const std::vector<int>& candidatesB, double radius) {
  if (candidatesA.empty() || candidatesB.empty())
    return 0;
  Cloud cloud{b, candidatesB};
  Tree tree(3, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(16));
  tree.buildIndex();
  const double r2 = radius * radius; // the L2_Simple adaptor measures squared distances
  int merged = 0;
  std::vector<std::pair<uint32_t, double>> found;
  nanoflann::SearchParams params;
  params.sorted = true;
  for (int n : candidatesA) {
    const double* p = a.xyz.data() + 3 * static_cast<size_t>(n - 1);
    found.clear();
    if (tree.radiusSearch(p, r2, found, params) == 0)
      continue;
    const int partner = candidatesB[found.front().first]; // the nearest
    b.common[static_cast<size_t>(partner)] = a.common[static_cast<size_t>(n)];
    ++merged;
  }
  return merged;
}
