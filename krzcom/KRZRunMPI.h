/// \file
/// KRZRunOnMPIWorld: runs one function on the ranks of MPI_COMM_WORLD, the MPI counterpart of
/// KRZRunRanks, with the same function, options and result (KRZRunRanks.h). Collective over
/// MPI_COMM_WORLD; MPI must be initialized.
///
///   KRZRunResult r = KRZRunOnMPIWorld([](CKRZCom& com, int myid, int nproc) { ... });
///   if (!r.ok) std::cerr << r.report;
///
/// Each process gets a CKRZCom_MPI on its own duplicate of MPI_COMM_WORLD (with the options'
/// deadline, if one is given). A rank whose function throws is caught and counted as failed; the
/// run is ok on every rank only when no rank's function threw, and `report` then names the first
/// rank that failed (and, on that rank, why). A rank that throws while others wait for it in a
/// call leaves them waiting: set a deadline to turn that into a message. With captureOutput, what
/// the function writes to std::cout is captured, and after the run rank 0 holds every rank's
/// text in `output` (the others their own).
#ifndef KRZCOM_KRZRUNMPI_H
#define KRZCOM_KRZRUNMPI_H

#include <functional>
#include <stdexcept>
#include <string>

#include "KRZRunRanks.h"
#include "krzcommpi_export.h"

/// Collective over MPI_COMM_WORLD: runs `fn` on every rank (see above).
KRZCOMMPI_EXPORT KRZRunResult KRZRunOnMPIWorld(const KRZRankFunction& fn,
                                               const KRZRunOptions& options = KRZRunOptions());

/// Deprecated: what the form of version 0.1.0 reports.
struct KRZMPIRunResult {
  bool ok = true;     ///< every rank's function returned true
  bool mine = true;   ///< this rank's function returned true
  std::string output; ///< this rank's captured std::cout, when captured
};
/// Deprecated: the function of the form of version 0.1.0, true when its rank passed.
using KRZMPIRankFunction = std::function<bool(CKRZCom& com, int myid, int nproc)>;
/// Deprecated: the form of version 0.1.0, kept for its callers (collective over MPI_COMM_WORLD;
/// `capture` as KRZRunOptions::captureOutput). Use the form above.
[[deprecated("use KRZRunOnMPIWorld(KRZRankFunction, KRZRunOptions)")]] inline KRZMPIRunResult
KRZRunOnMPIWorld(const KRZMPIRankFunction& fn, bool capture) {
  KRZMPIRunResult result;
  size_t me = 0;
  KRZRunOptions options;
  options.captureOutput = capture;
  const KRZRunResult run = KRZRunOnMPIWorld(
      [&](CKRZCom& com, int myid, int nproc) {
        me = static_cast<size_t>(myid);
        result.mine = fn(com, myid, nproc);
        if (!result.mine)
          throw std::runtime_error("the rank's function returned false");
      },
      options);
  result.ok = run.ok;
  if (me < run.output.size())
    result.output = run.output[me];
  return result;
}

#endif
