// krz3d bench match: face matching on the faces of an n x n x n hexahedral grid against the same
// faces shuffled with their nodes rotated or reversed, timed next to a sort-by-node-key matcher;
// and the set-up of the face object (SetLocalFace20 + SetL2GMapRelation) next to one int gather
// of the same size.
#ifndef KRZ_BENCH_KRZBENCHMATCH_H
#define KRZ_BENCH_KRZBENCHMATCH_H

#include "CKRZCom.h"

/// Serial. Prints one row; returns 0 when every face was paired.
int KRZBenchMatchGrid(int n, int reps);

/// One rank of the face set-up benchmark over `quads` local quads in total.
bool KRZBenchFaceSetup(CKRZCom& com, int myid, int nproc, long long quads, int reps,
                       const char* engine, bool header);

#endif
