#include "KRZEngine.h"

#include <atomic>
#include <iostream>
#include <sstream>

#include "KRZRunRanks.h"
#ifdef KRZ3D_HAVE_MPI
#include "CKRZCom_MPI.h"
#endif

bool KRZHaveMPI() {
#ifdef KRZ3D_HAVE_MPI
  return true;
#else
  return false;
#endif
}

namespace {

int RunThreads(int ranks, const KRZAppRankFunction& fn) {
  std::atomic<bool> allOk{true};
  KRZRunOptions options;
  options.captureOutput = true;
  const KRZRunResult result = KRZRunRanks(
      ranks,
      [&](CKRZCom& com, int myid, int nproc) {
        if (!fn(com, myid, nproc))
          allOk = false;
      },
      options);
  for (size_t r = 0; r < result.output.size(); ++r)
    if (!result.output[r].empty())
      std::cout << "--- rank " << r << " ---\n" << result.output[r];
  std::cout.flush();
  if (!result.ok)
    std::cerr << "krz3d: the in-process run failed: " << result.report << std::endl;
  return result.ok && allOk ? 0 : 1;
}

#ifdef KRZ3D_HAVE_MPI
// Each rank's output is captured while it runs, then printed rank by rank.
int RunMPI(const KRZAppRankFunction& fn) {
  int initialized = 0;
  MPI_Initialized(&initialized);
  if (initialized == 0)
    MPI_Init(nullptr, nullptr);
  int ok = 1;
  {
    CKRZCom_MPI com(MPI_COMM_WORLD);
    const int myid = com.Rank(), nproc = com.Size();
    std::stringbuf captured;
    std::streambuf* previous = std::cout.rdbuf(&captured);
    ok = fn(com, myid, nproc) ? 1 : 0;
    std::cout.rdbuf(previous);
    for (int r = 0; r < nproc; ++r) {
      MPI_Barrier(MPI_COMM_WORLD);
      if (r == myid && !captured.str().empty())
        std::cout << "--- rank " << r << " ---\n" << captured.str() << std::flush;
    }
    int all = 0;
    MPI_Allreduce(&ok, &all, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
    ok = all;
  }
  MPI_Finalize();
  return ok != 0 ? 0 : 1;
}
#endif

} // namespace

int KRZRunOnEngine(const std::string& engine, int ranks, const KRZAppRankFunction& fn) {
  if (engine == "threads")
    return RunThreads(ranks, fn);
#ifdef KRZ3D_HAVE_MPI
  if (engine == "mpi")
    return RunMPI(fn);
#endif
  std::cerr << "krz3d: engine '" << engine << "' is not available in this build" << std::endl;
  return 2;
}
