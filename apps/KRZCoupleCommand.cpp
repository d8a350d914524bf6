#include "KRZCoupleCommand.h"

#include <iostream>
#include <sstream>

#include "KRZEngine.h"

int KRZRunCouple(const std::string& engine, int ranks, const KRZCoupleOptions& options,
                 const std::string& json) {
  std::string error;
  const int rc = KRZRunOnEngine(
      engine, ranks,
      [&](CKRZCom& com, int myid, int nproc) {
        KRZCoupleReport report;
        const bool ok = KRZCoupleRun(com, myid, nproc, options, report);
        if (myid != 0)
          return ok;
        if (!report.error.empty()) {
          error = report.error;
          std::cout << "krz3d couple: " << report.error << std::endl;
          return false;
        }
        std::ostringstream tail;
        tail << "peak memory of rank 0: " << report.peakMiB
             << " MiB\ncouple: " << (ok ? "every check passed" : "CHECKS FAILED");
        std::cout << tail.str() << std::endl;
        return KRZWriteReport(json, KRZCoupleJson(report), "couple") && ok;
      },
      true);
  return rc == 0 ? 0 : 1;
}
