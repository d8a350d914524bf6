// Rank 0's partition of a domain's cells for the demo and `krz3d couple`.
#ifndef KRZ_APPS_DEMO_KRZPARTITION_H
#define KRZ_APPS_DEMO_KRZPARTITION_H

#include <vector>

#include "KRZCoupledPair.h"

/// The part (0..nparts-1) of every cell c at c-1, from METIS on the cells' shared faces (seeded,
/// so two domains differ). Where METIS refuses (more parts than cells), slabs of cells.
std::vector<int> KRZPartition(const krz::coupling::KRZCoupleDomain& mesh, int nparts, int seed);

#endif
