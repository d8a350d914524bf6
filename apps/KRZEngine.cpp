#include "KRZEngine.h"

#include <atomic>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "KRZOutputRouter.h"
#include "KRZRunRanks.h"
#ifdef KRZ3D_HAVE_MPI
#include "CKRZCom_MPI.h"
#include "KRZRunMPI.h"
#endif

bool KRZHaveMPI() {
#ifdef KRZ3D_HAVE_MPI
  return true;
#else
  return false;
#endif
}

namespace {

int RunThreads(int ranks, const KRZAppRankFunction& fn, bool liveRankZero) {
  std::atomic<bool> allOk{true};
  KRZRunOptions options;
  options.captureOutput = !liveRankZero;
  // Live rank 0: only the other ranks are routed into buffers of their own.
  std::unique_ptr<CKRZOutputRouter> router(liveRankZero ? new CKRZOutputRouter(std::cout)
                                                        : nullptr);
  std::vector<std::string> captured(static_cast<size_t>(ranks));
  const KRZRunResult result = KRZRunRanks(
      ranks,
      [&](CKRZCom& com, int myid, int nproc) {
        if (router && myid != 0)
          router->Attach();
        if (!fn(com, myid, nproc))
          allOk = false;
        if (router && myid != 0)
          captured[static_cast<size_t>(myid)] = router->Detach();
      },
      options);
  router.reset();
  if (liveRankZero)
    for (size_t r = 1; r < captured.size(); ++r)
      if (!captured[r].empty())
        std::cout << "--- rank " << r << " ---\n" << captured[r];
  for (size_t r = 0; r < result.output.size(); ++r)
    if (!result.output[r].empty())
      std::cout << "--- rank " << r << " ---\n" << result.output[r];
  std::cout.flush();
  if (!result.ok)
    std::cerr << "krz3d: the in-process run failed: " << result.report << std::endl;
  return result.ok && allOk ? 0 : 1;
}

#ifdef KRZ3D_HAVE_MPI
// Each rank's output is captured while it runs (but rank 0's with `liveRankZero`), then printed
// rank by rank.
int RunMPI(const KRZAppRankFunction& fn, bool liveRankZero) {
  int initialized = 0;
  MPI_Initialized(&initialized);
  if (initialized == 0)
    MPI_Init(nullptr, nullptr);
  int myid = 0, nproc = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &myid);
  MPI_Comm_size(MPI_COMM_WORLD, &nproc);
  const KRZMPIRunResult result = KRZRunOnMPIWorld(fn, !(liveRankZero && myid == 0));
  for (int r = 0; r < nproc; ++r) {
    MPI_Barrier(MPI_COMM_WORLD);
    if (r == myid && !result.output.empty())
      std::cout << "--- rank " << r << " ---\n" << result.output << std::flush;
  }
  MPI_Finalize();
  return result.ok ? 0 : 1;
}
#endif

} // namespace

int KRZRunOnEngine(const std::string& engine, int ranks, const KRZAppRankFunction& fn,
                   bool liveRankZero) {
  if (engine == "threads")
    return RunThreads(ranks, fn, liveRankZero);
#ifdef KRZ3D_HAVE_MPI
  if (engine == "mpi")
    return RunMPI(fn, liveRankZero);
#endif
  std::cerr << "krz3d: engine '" << engine << "' is not available in this build" << std::endl;
  return 2;
}

bool KRZWriteReport(const std::string& path, const std::string& text, const std::string& command) {
  if (path.empty())
    return true;
  std::ofstream out(path);
  out << text;
  out.close(); // a full disk shows at the flush
  if (out)
    return true;
  std::cerr << "krz3d " << command << ": cannot write " << path << std::endl;
  return false;
}
