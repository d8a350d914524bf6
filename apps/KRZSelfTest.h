// krz3d selftest: the library's built-in self-test on every rank, then one summary line.
#ifndef KRZ_APPS_KRZSELFTEST_H
#define KRZ_APPS_KRZSELFTEST_H

#include <string>

/// What a rank's report holds: case headings and lines that are neither listing, heading nor
/// frame (wrong values, wrong counts, the library's own diagnostics).
struct KRZSelfTestCount {
  int cases = 0;
  int failures = 0;
};

KRZSelfTestCount KRZScanSelfTestReport(const std::string& report);

/// Runs the self-test on the engine, prints every rank's report and the summary line. Returns
/// the exit code: 0 only when the run succeeded and no report holds a failure line.
int KRZRunSelfTest(const std::string& engine, int ranks);

#endif
