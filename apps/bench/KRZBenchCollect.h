// krz3d bench collect: row-table collection of ints on rank 0, the first call (count exchange,
// numbering, relation check and distribution) and a repeated call with unchanged counts,
// against one steady gather of the same size: into a kept global array ("warm") and into a
// global array the gather allocates, as the collection allocates the table it returns.
#ifndef KRZ_BENCH_KRZBENCHCOLLECT_H
#define KRZ_BENCH_KRZBENCHCOLLECT_H

#include "CKRZCom.h"

struct KRZBenchCollectOptions {
  long long items = 8000000;
  int reps = 5;
};

/// One rank of the benchmark; rank 0 prints the header (when asked) and the row.
bool KRZBenchCollect(CKRZCom& com, int myid, int nproc, const KRZBenchCollectOptions& options,
                     const char* engine, bool header);

#endif
