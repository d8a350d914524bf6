#include "KRZDemo.h"

#include <iostream>
#include <sstream>

#include "KRZEngine.h"

int KRZRunDemo(const std::string& engine, int ranks, const KRZDemoOptions& options,
               const std::string& json) {
  return KRZRunOnEngine(engine, ranks, [&](CKRZCom& com, int myid, int nproc) {
    if (myid == 0) {
      std::ostringstream head;
      head << "demo: domains A and B of " << options.cells << "^3 hexahedra each, "
           << options.cells * options.cells << " interface faces per side, " << nproc
           << (nproc == 1 ? " rank" : " ranks") << ", " << options.steps << " coupling steps";
      std::cout << head.str() << std::endl;
    }
    KRZDemoReport report;
    const bool ok = KRZDemoRun(com, myid, nproc, options, report);
    if (myid != 0)
      return ok;
    std::ostringstream tail;
    tail << "faces paired: A " << report.pairedA << " of " << report.interfaceFaces << ", B "
         << report.pairedB << " of " << report.interfaceFaces
         << " (unpaired: " << report.interfaceFaces - report.pairedA << ", "
         << report.interfaceFaces - report.pairedB << "); ranks holding interface faces: A "
         << report.interfaceRanksA << ", B " << report.interfaceRanksB << " of " << nproc
         << "\npeak memory of rank 0: " << report.peakMiB << " MiB"
         << "\ndemo: " << (ok ? "every check passed" : "CHECKS FAILED");
    std::cout << tail.str() << std::endl;
    return KRZWriteReport(json, KRZDemoJson(report), "demo") && ok;
  });
}
