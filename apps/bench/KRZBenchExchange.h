// krz3d bench exchange: two slabs of one cell layer sharing an m x m grid of interface quads
// (about `faces` per domain), cut into ranks differently (A by rows, B by columns, B's faces
// turned the other way round), set up as the demo sets up its domains, the relation found by
// matching; then every transfer kind in double, each after a warm-up, against
// one gather plus one scatter of the same size (the floor for a move through rank 0).
#ifndef KRZ_BENCH_KRZBENCHEXCHANGE_H
#define KRZ_BENCH_KRZBENCHEXCHANGE_H

#include "CKRZCom.h"
#include "KRZCoupledPair.h"

/// One domain of the benchmark's pair on this rank: a slab of one cell layer on the m x m
/// interface, domain A cut into rows of ranks, B into columns (numbering its faces the other way
/// round), numbered locally.
void KRZBenchSlab(krz::coupling::KRZPairSide& side, const krz::coupling::KRZCoupleDomain& mesh,
                  int m, int myid, int nproc, bool isB);

/// One rank of the benchmark; rank 0 prints the table.
bool KRZBenchExchange(CKRZCom& com, int myid, int nproc, long long faces, int reps,
                      const char* engine);

#endif
