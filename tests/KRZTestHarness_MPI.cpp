// The MPI side of the harness: the body runs on MPI_COMM_WORLD; the outcome is reduced over all
// ranks so that a failure on any rank fails the test on every rank. With KRZ_TEST_ROUTE=blocking
// the body talks through a forwarding communicator, which has only the six blocking operations.
#include <mpi.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "KRZForwardingCom.h"
#include "KRZRunMPI.h"
#include "KRZTestHarness.h"

void KRZRunTestBody(const KRZTestBody& body, int ranks) {
  int nproc = 1;
  MPI_Comm_size(MPI_COMM_WORLD, &nproc);
  if (ranks > 0 && ranks != nproc)
    GTEST_SKIP() << "needs " << ranks << " ranks";
  KRZRunOptions options;
  options.captureOutput = true;
  const KRZRunResult result = KRZRunOnMPIWorld(
      [&](CKRZCom& com, int myid, int n) {
        const char* route = std::getenv("KRZ_TEST_ROUTE");
        CKRZForwardingCom forwarding(com);
        const bool blocking = route != nullptr && std::strcmp(route, "blocking") == 0;
        body(blocking ? forwarding : com, myid, n);
        if (testing::Test::HasFailure())
          throw std::runtime_error("checks failed on this rank");
      },
      options);
  if (!result.ok && !testing::Test::HasFailure())
    ADD_FAILURE() << result.report;
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
