// krz3d bench transfer: gather plus scatter of doubles through CCOM_BroadTools against the
// hand-written alternative, with the default relation and a random permutation relation.
// Reports, per engine and rank count, the first transfer (check and distribution included),
// the median steady gather+scatter, the baseline median, their ratio and rank 0's peak memory.
#ifndef KRZ_BENCH_KRZBENCHTRANSFER_H
#define KRZ_BENCH_KRZBENCHTRANSFER_H

#include <vector>

#include "CKRZCom.h"

struct KRZBenchTransferOptions {
  long long items = 8000000; ///< global items, spread evenly over the ranks
  int reps = 5;              ///< repetitions per median
  std::vector<int> ranks{2, 4};
  bool defaultRelation = true;
  bool random = true;
};

/// In-process ranks, one run per rank count. Returns the exit code.
int KRZBenchTransferThreads(const KRZBenchTransferOptions& options);

#ifdef KRZ3D_HAVE_MPI
/// One rank of an MPI run (the world size is the rank count).
int KRZBenchTransferMPI(CKRZCom& com, int myid, int nproc, const KRZBenchTransferOptions& options);
#endif

#endif
