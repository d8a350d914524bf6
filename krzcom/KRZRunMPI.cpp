#include "KRZRunMPI.h"

#include <iostream>
#include <memory>

#include "CKRZCom_MPI.h"
#include "KRZOutputRouter.h"
#include "KRZPerformanceLog.h"

namespace {

// Rank 0 receives every rank's text at its index; the others keep their own.
void GatherOutput(std::vector<std::string>& output, int myid, int nproc) {
  const std::string mine = output[static_cast<size_t>(myid)];
  int length = static_cast<int>(mine.size());
  std::vector<int> lengths(static_cast<size_t>(nproc)), starts(static_cast<size_t>(nproc));
  MPI_Gather(&length, 1, MPI_INT, lengths.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
  std::string all;
  if (myid == 0) {
    for (int r = 0, at = 0; r < nproc; at += lengths[static_cast<size_t>(r)], ++r)
      starts[static_cast<size_t>(r)] = at;
    all.resize(static_cast<size_t>(starts.back() + lengths.back()));
  }
  MPI_Gatherv(mine.data(), length, MPI_CHAR, &all[0], lengths.data(), starts.data(), MPI_CHAR, 0,
              MPI_COMM_WORLD);
  if (myid == 0)
    for (int r = 0; r < nproc; ++r)
      output[static_cast<size_t>(r)] =
          all.substr(static_cast<size_t>(starts[static_cast<size_t>(r)]),
                     static_cast<size_t>(lengths[static_cast<size_t>(r)]));
}

} // namespace

KRZRunResult KRZRunOnMPIWorld(const KRZRankFunction& fn, const KRZRunOptions& options) {
  int myid = 0, nproc = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &myid);
  MPI_Comm_size(MPI_COMM_WORLD, &nproc);
  KRZRunResult result;
  std::string failure;
  {
    const double deadline =
        options.deadline.count() > 0 ? std::chrono::duration<double>(options.deadline).count() : 0;
    CKRZCom_MPI com(MPI_COMM_WORLD, KRZComContext::Duplicate, deadline);
    const bool captured = options.captureOutput && !(options.liveRankZero && myid == 0);
    std::unique_ptr<CKRZOutputRouter> router(captured ? new CKRZOutputRouter(std::cout) : nullptr);
    if (router)
      router->Attach();
    try {
      fn(com, myid, nproc);
      if (KRZPerformanceLogOn()) // the run's table, printed by rank 0
        KRZPerformanceLogReport(com, myid, nproc);
    } catch (const std::exception& e) {
      failure = std::string("exception: ") + e.what();
    } catch (...) {
      failure = "unknown exception";
    }
    if (options.captureOutput) {
      result.output.resize(static_cast<size_t>(nproc));
      if (router)
        result.output[static_cast<size_t>(myid)] = router->Detach();
    }
  }
  // The first rank that failed, and on that rank why.
  int mine = failure.empty() ? nproc : myid, first = nproc;
  MPI_Allreduce(&mine, &first, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  if (first < nproc) {
    result.ok = false;
    result.report = "rank " + std::to_string(first) + " failed" +
                    (first == myid ? ": " + failure : std::string());
  }
  if (options.captureOutput)
    GatherOutput(result.output, myid, nproc);
  return result;
}
