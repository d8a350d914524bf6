// The A/B exchange's direct route against PETSc's VecScatter on the same composed relation.
#ifndef KRZ_BENCH_KRZBENCHPETSCEXCHANGE_H
#define KRZ_BENCH_KRZBENCHPETSCEXCHANGE_H

#include <mpi.h>

/// Collective over `comm`; rank 0 prints one line. Returns 0 when both left identical arrays.
int KRZBenchPETScExchange(MPI_Comm comm, long long faces, int reps);

#endif
