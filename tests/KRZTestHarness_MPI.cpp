// The MPI side of the harness: the body runs on MPI_COMM_WORLD; the outcome is reduced over all
// ranks so that a failure on any rank fails the test on every rank.
#include <mpi.h>

#include <iostream>
#include <sstream>

#include "CKRZCom_MPI.h"
#include "KRZTestHarness.h"

void KRZRunTestBody(const KRZTestBody& body, int ranks) {
  CKRZCom_MPI com(MPI_COMM_WORLD);
  const int nproc = com.Size();
  if (ranks > 0 && ranks != nproc)
    GTEST_SKIP() << "needs " << ranks << " ranks";
  {
    std::stringbuf captured;
    std::streambuf* previous = std::cout.rdbuf(&captured);
    body(com, com.Rank(), nproc);
    std::cout.rdbuf(previous);
  }
  int ok = testing::Test::HasFailure() ? 0 : 1;
  int all = 0;
  MPI_Allreduce(&ok, &all, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  if (ok != 0 && all == 0)
    ADD_FAILURE() << "another rank failed";
}

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  testing::InitGoogleTest(&argc, argv);
  int rank = 0;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  if (rank != 0)
    GTEST_FLAG_SET(brief, true);
  const int rc = RUN_ALL_TESTS();
  MPI_Finalize();
  return rc;
}
