/// \file
/// KRZRunRanks: runs one function on N in-process ranks (threads) and reports the outcome.
///
///   KRZRunResult r = KRZRunRanks(4, [](CKRZCom& com, int myid, int nproc) { ... });
///   if (!r.ok) std::cerr << r.report;
///
/// Each rank gets its own CKRZCom_Threads over one CKRZThreadsWorld. The run fails when a rank
/// throws, when the world detects a mismatch or deadlock, or when a wait passes the deadline;
/// `report` then holds the first failure and what every rank was doing. No case hangs.
///
/// The MPI engine's runner, KRZRunOnMPIWorld (KRZRunMPI.h), takes the same function and options
/// and returns the same result, so a program picks its engine at run time with one code path.
#ifndef KRZCOM_KRZRUNRANKS_H
#define KRZCOM_KRZRUNRANKS_H

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "CKRZCom.h"
#include "krzcom_export.h"

/// How a runner (KRZRunRanks, KRZRunOnMPIWorld) runs the ranks.
struct KRZRunOptions {
  /// Longest time one blocking call may wait; zero or less: the engine's default (in-process
  /// ranks 120 s; MPI: KRZ3DCOMTOOLS_MPI_DEADLINE when set, else none).
  std::chrono::milliseconds deadline{0};
  /// When true, std::cout of each rank is captured into KRZRunResult::output instead of printed.
  bool captureOutput = false;
  /// With captureOutput: rank 0 still prints as it writes (the progress of a long run) and its
  /// entry of `output` stays empty.
  bool liveRankZero = false;
};

/// What a runner reports.
struct KRZRunResult {
  bool ok = true;     ///< every rank returned, no mismatch, no deadlock
  std::string report; ///< empty when ok
  /// Per rank (index = rank), when captureOutput was set. In-process ranks: every rank's. MPI:
  /// rank 0 holds every rank's (gathered after the run), the other ranks only their own.
  std::vector<std::string> output;
};

/// The function every in-process rank runs, with its communicator, number and the rank count.
using KRZRankFunction = std::function<void(CKRZCom& com, int myid, int nproc)>;

/// Runs `fn` on `nproc` (at least 1) ranks and joins them.
KRZCOM_EXPORT KRZRunResult KRZRunRanks(int nproc, const KRZRankFunction& fn,
                                       const KRZRunOptions& options = KRZRunOptions());

#endif
