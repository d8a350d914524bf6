#include "KRZRunRanks.h"

#include <iostream>
#include <memory>
#include <thread>

#include "CKRZCom_Threads.h"
#include "KRZLineSink.h"
#include "KRZOutputRouter.h"
#include "KRZPerformanceLog.h"

KRZRunResult KRZRunRanks(int nproc, const KRZRankFunction& fn, const KRZRunOptions& options) {
  KRZRunResult result;
  if (nproc < 1) {
    result.ok = false;
    result.report = "KRZRunRanks needs at least one rank";
    return result;
  }
  CKRZThreadsWorld world(nproc);
  world.SetDeadline(options.deadline.count() > 0
                        ? options.deadline
                        : std::chrono::milliseconds(std::chrono::seconds(120)));
  std::unique_ptr<CKRZOutputRouter> router;
  if (options.captureOutput)
    router.reset(new CKRZOutputRouter(std::cout));
  result.output.resize(options.captureOutput ? static_cast<size_t>(nproc) : 0);

  auto body = [&](int rank) {
    KRZSetLineRank(rank); // this thread's lines are the rank's
    const bool captured = router && !(options.liveRankZero && rank == 0);
    if (captured)
      router->Attach();
    CKRZCom_Threads com(world, rank);
    try {
      fn(com, rank, nproc);
      if (KRZPerformanceLogOn()) // the run's table, printed by rank 0
        KRZPerformanceLogReport(com, rank, nproc);
      world.Finish(rank);
    } catch (const KRZWorldAborted&) {
      // The world holds the report already.
    } catch (const std::exception& e) {
      world.Fail(rank, std::string("exception: ") + e.what());
    } catch (...) {
      world.Fail(rank, "unknown exception");
    }
    if (captured)
      result.output[static_cast<size_t>(rank)] = router->Detach();
  };

  std::vector<std::thread> threads;
  threads.reserve(static_cast<size_t>(nproc));
  for (int r = 0; r < nproc; ++r) {
    try {
      threads.emplace_back(body, r);
    } catch (const std::exception& e) {
      // The ranks already started leave their calls once the world is aborted.
      world.Fail(r, std::string("could not start a thread for this rank: ") + e.what());
      break;
    }
  }
  for (std::thread& t : threads)
    t.join();

  if (world.Aborted()) {
    result.ok = false;
    result.report = world.Report();
  }
  return result;
}
