// The demo's core at small sizes on every rank count and both engines: every check passes, and
// METIS leaves some rank without interface faces when there are five.
#include "KRZDemoCoupling.h"
#include "KRZTestHarness.h"

KRZ_RANKS_TEST(Demo, CoupledDomainsPassEveryCheck) {
  KRZDemoOptions options;
  options.cells = 8;
  options.steps = 4;
  options.reps = 1;
  KRZDemoReport report;
  EXPECT_TRUE(KRZDemoRun(com, myid, nproc, options, report));
  if (myid != 0)
    return;
  EXPECT_TRUE(report.ok);
  EXPECT_EQ(report.pairedA, 64);
  EXPECT_EQ(report.pairedB, 64);
  EXPECT_EQ(report.stages.size(), 26u); // set-up, coupling, 20 transfers, the int exchange
  for (const auto& stage : report.stages)
    EXPECT_NE(stage.check.find_first_of("-o"), std::string::npos)
        << stage.what << ": " << stage.check;
  if (nproc == 5) {
    EXPECT_LT(report.interfaceRanksA, nproc); // a rank without interface faces takes part
  }
}
