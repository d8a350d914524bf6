#include "KRZPartition.h"

#include <metis.h>

std::vector<int> KRZPartition(const krz::coupling::KRZCoupleDomain& d, int nparts, int seed) {
  std::vector<int> part(static_cast<size_t>(d.Cells()), 0);
  if (nparts < 2 || d.Cells() == 0)
    return part;
  idx_t ne = d.Cells(), nn = d.Nodes(), ncommon = 3, np = nparts, objval = 0;
  std::vector<idx_t> eptr(d.cellStart.begin(), d.cellStart.end());
  std::vector<idx_t> eind(d.cellNodes.size());
  for (size_t k = 0; k < eind.size(); ++k)
    eind[k] = d.cellNodes[k] - 1;
  std::vector<idx_t> epart(static_cast<size_t>(ne)), npart(static_cast<size_t>(nn));
  idx_t options[METIS_NOPTIONS];
  METIS_SetDefaultOptions(options);
  options[METIS_OPTION_SEED] = seed;
  const int rc = METIS_PartMeshDual(&ne, &nn, eptr.data(), eind.data(), nullptr, nullptr, &ncommon,
                                    &np, nullptr, options, &objval, epart.data(), npart.data());
  for (size_t c = 0; c < part.size(); ++c)
    part[c] = rc == METIS_OK ? static_cast<int>(epart[c])
                             : static_cast<int>(static_cast<long long>(c) * nparts / ne);
  return part;
}
