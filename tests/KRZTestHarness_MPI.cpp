// The MPI side of the harness: the body runs on MPI_COMM_WORLD; the outcome is reduced over all
// ranks so that a failure on any rank fails the test on every rank. With KRZ_TEST_ROUTE=blocking
// the body talks through a forwarding communicator, which has only the six blocking operations.
#include <mpi.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>

#include "CKRZCom_MPI.h"
#include "KRZRunMPI.h"
#include "KRZTestHarness.h"
#include "testing/KRZForwardingCom.h"

void KRZRunTestBody(const KRZTestBody& body, int ranks) {
  int nproc = 1;
  MPI_Comm_size(MPI_COMM_WORLD, &nproc);
  if (ranks > 0 && ranks != nproc)
    GTEST_SKIP() << "needs " << ranks << " ranks";
  const KRZMPIRunResult result = KRZRunOnMPIWorld(
      [&](CKRZCom& com, int myid, int n) {
        const char* route = std::getenv("KRZ_TEST_ROUTE");
        CKRZForwardingCom forwarding(com);
        const bool blocking = route != nullptr && std::strcmp(route, "blocking") == 0;
        body(blocking ? forwarding : com, myid, n);
        return !testing::Test::HasFailure();
      },
      true);
  if (result.mine && !result.ok)
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
