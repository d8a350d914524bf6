// The threads engine side of the harness: 1 to KRZ_TEST_THREAD_RANKS in-process ranks (set by
// CMake), output captured per rank, on both routes: the engine's posting interface, then the six
// blocking operations a caller's own communicator offers.
#include <chrono>

#include "KRZForwardingCom.h"
#include "KRZRunRanks.h"
#include "KRZTestHarness.h"

void KRZRunTestBody(const KRZTestBody& body, int ranks) {
  const int first = ranks > 0 ? ranks : 1;
  const int last = ranks > 0 ? ranks : KRZ_TEST_THREAD_RANKS;
  for (const bool blocking : {false, true})
    for (int n = first; n <= last; ++n) {
      SCOPED_TRACE(testing::Message() << "threads engine, " << n << " ranks, "
                                      << (blocking ? "blocking route" : "posting route"));
      KRZRunOptions options;
      options.deadline = std::chrono::seconds(30);
      options.captureOutput = true;
      const KRZRunResult result = KRZRunRanks(
          n,
          [&](CKRZCom& com, int myid, int nproc) {
            CKRZForwardingCom forwarding(com);
            body(blocking ? forwarding : com, myid, nproc);
          },
          options);
      EXPECT_TRUE(result.ok) << result.report;
    }
}
