#include "KRZDemoMesh.h"

#include <metis.h>

#include <cstddef>

int KRZDemoBox::Node(int i, int j, int k) const {
  const int m = C + 1;
  if (!isB)
    return 1 + i + m * (j + m * k);
  if (i == 0)
    return 1 + C + m * (j + m * k); // the shared plane, numbered as A numbers it
  return m * m * m + i + C * (j + m * k);
}

std::array<int, 8> KRZDemoBox::CellNodes(int cell) const {
  const int c = cell - 1;
  const int i = c % C, j = (c / C) % C, k = c / (C * C);
  return {
      Node(i, j, k),     Node(i + 1, j, k),     Node(i + 1, j + 1, k),     Node(i, j + 1, k),
      Node(i, j, k + 1), Node(i + 1, j, k + 1), Node(i + 1, j + 1, k + 1), Node(i, j + 1, k + 1)};
}

std::array<int, 4> KRZDemoBox::InterfaceNodes(int j, int k) const {
  const int i = isB ? 0 : C;
  if (isB)
    return {Node(i, j, k), Node(i, j, k + 1), Node(i, j + 1, k + 1), Node(i, j + 1, k)};
  return {Node(i, j, k), Node(i, j + 1, k), Node(i, j + 1, k + 1), Node(i, j, k + 1)};
}

std::vector<int> KRZDemoPartition(const KRZDemoBox& box, int nparts, int seed) {
  const int C = box.C, n = box.Cells();
  std::vector<int> part(static_cast<size_t>(n) + 1, 0);
  if (nparts <= 1 || n == 0)
    return part;
  // Face adjacency of the cells, 0-based, in METIS's compressed rows.
  std::vector<idx_t> xadj(1, 0), adjncy;
  adjncy.reserve(static_cast<size_t>(n) * 6);
  for (int k = 0; k < C; ++k)
    for (int j = 0; j < C; ++j)
      for (int i = 0; i < C; ++i) {
        const int di[] = {-1, 1, 0, 0, 0, 0}, dj[] = {0, 0, -1, 1, 0, 0},
                  dk[] = {0, 0, 0, 0, -1, 1};
        for (int d = 0; d < 6; ++d) {
          const int a = i + di[d], b = j + dj[d], c = k + dk[d];
          if (a >= 0 && a < C && b >= 0 && b < C && c >= 0 && c < C)
            adjncy.push_back(box.Cell(a, b, c) - 1);
        }
        xadj.push_back(static_cast<idx_t>(adjncy.size()));
      }
  idx_t nvtxs = n, ncon = 1, np = nparts, objval = 0;
  idx_t options[METIS_NOPTIONS];
  METIS_SetDefaultOptions(options);
  options[METIS_OPTION_SEED] = seed;
  std::vector<idx_t> result(static_cast<size_t>(n), 0);
  const int rc =
      METIS_PartGraphKway(&nvtxs, &ncon, xadj.data(), adjncy.data(), nullptr, nullptr, nullptr, &np,
                          nullptr, nullptr, options, &objval, result.data());
  for (int c = 0; c < n; ++c) // METIS refuses odd requests (more parts than cells): slabs then
    part[static_cast<size_t>(c) + 1] =
        rc == METIS_OK ? static_cast<int>(result[static_cast<size_t>(c)])
                       : static_cast<int>(static_cast<long long>(c) * nparts / n);
  return part;
}
