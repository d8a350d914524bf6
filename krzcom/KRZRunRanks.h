/// \file
/// KRZRunRanks: runs one function on N in-process ranks (threads) and reports the outcome.
///
///   KRZRunResult r = KRZRunRanks(4, [](CKRZCom& com, int myid, int nproc) { ... });
///   if (!r.ok) std::cerr << r.report;
///
/// Each rank gets its own CKRZCom_Threads over one CKRZThreadsWorld. The run fails when a rank
/// throws, when the world detects a mismatch or deadlock, or when a wait passes the deadline;
/// `report` then holds the first failure and what every rank was doing. No case hangs.
#ifndef KRZCOM_KRZRUNRANKS_H
#define KRZCOM_KRZRUNRANKS_H

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "CKRZCom.h"
#include "krzcom_export.h"

/// How KRZRunRanks runs the ranks.
struct KRZRunOptions {
  /// Longest time one blocking call may wait.
  std::chrono::milliseconds deadline = std::chrono::seconds(120);
  /// When true, std::cout of each rank is captured into KRZRunResult::output instead of printed.
  bool captureOutput = false;
};

/// What KRZRunRanks reports.
struct KRZRunResult {
  bool ok = true;                  ///< every rank returned, no mismatch, no deadlock
  std::string report;              ///< empty when ok
  std::vector<std::string> output; ///< per rank, when captureOutput was set
};

/// The function every in-process rank runs, with its communicator, number and the rank count.
using KRZRankFunction = std::function<void(CKRZCom& com, int myid, int nproc)>;

/// Runs `fn` on `nproc` (at least 1) ranks and joins them.
KRZCOM_EXPORT KRZRunResult KRZRunRanks(int nproc, const KRZRankFunction& fn,
                                       const KRZRunOptions& options = KRZRunOptions());

#endif
