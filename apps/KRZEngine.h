// Runs a rank function of the krz3d command on the chosen engine.
//
// threads: `ranks` in-process ranks; each rank's standard output is captured and printed as
//          one block per rank (ranks that printed nothing are left out), in rank order, so the
//          output is deterministic.
// mpi:     the MPI world of the process (started by mpiexec); `ranks` is ignored. Output is
//          captured the same way and printed rank by rank after the run.
// The function returns true when its rank succeeded; the run succeeds when every rank did and
// the engine reported no failure.
#ifndef KRZ_APPS_KRZENGINE_H
#define KRZ_APPS_KRZENGINE_H

#include <functional>
#include <string>

#include "CKRZCom.h"

using KRZAppRankFunction = std::function<bool(CKRZCom& com, int myid, int nproc)>;

/// Returns the process exit code: 0 on success. With `liveRankZero`, rank 0's output is printed
/// as it is written (progress of long runs); the other ranks' blocks follow after the run.
int KRZRunOnEngine(const std::string& engine, int ranks, const KRZAppRankFunction& fn,
                   bool liveRankZero = false);

/// Writes a command's JSON report to `path` (nothing when it is empty); a file that cannot be
/// written completely is named on standard error ("krz3d <command>: cannot write <path>") and
/// returns false (the command then fails).
bool KRZWriteReport(const std::string& path, const std::string& text, const std::string& command);

/// True when this krz3d was built with the MPI engine.
bool KRZHaveMPI();

#endif
