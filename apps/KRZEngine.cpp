#include "KRZEngine.h"

#include <atomic>
#include <fstream>
#include <iostream>

#include "KRZRunRanks.h"
#ifdef KRZ3D_HAVE_MPI
#include "KRZRunMPI.h"
#include <mpi.h>
#endif

bool KRZHaveMPI() {
#ifdef KRZ3D_HAVE_MPI
  return true;
#else
  return false;
#endif
}

int KRZRunOnEngine(const std::string& engine, int ranks, const KRZAppRankFunction& fn,
                   bool liveRankZero) {
  KRZRunOptions options;
  options.captureOutput = true;
  options.liveRankZero = liveRankZero;
  std::atomic<bool> allOk{true};
  const KRZRankFunction body = [&](CKRZCom& com, int myid, int nproc) {
    if (!fn(com, myid, nproc))
      allOk = false;
  };
  KRZRunResult result;
  int myid = 0;
  if (engine == "threads") {
    result = KRZRunRanks(ranks, body, options);
#ifdef KRZ3D_HAVE_MPI
  } else if (engine == "mpi") {
    int initialized = 0;
    MPI_Initialized(&initialized);
    if (initialized == 0)
      MPI_Init(nullptr, nullptr);
    MPI_Comm_rank(MPI_COMM_WORLD, &myid);
    result = KRZRunOnMPIWorld(body, options);
    int mine = allOk ? 1 : 0, all = 0;
    MPI_Allreduce(&mine, &all, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
    allOk = all != 0;
    MPI_Finalize();
#endif
  } else {
    std::cerr << "krz3d: engine '" << engine << "' is not available in this build" << std::endl;
    return 2;
  }
  // Rank 0 prints every other rank's block after the run, in rank order.
  for (size_t r = 0; myid == 0 && r < result.output.size(); ++r)
    if (!result.output[r].empty())
      std::cout << "--- rank " << r << " ---\n" << result.output[r];
  std::cout.flush();
  if (!result.ok)
    std::cerr << "krz3d: the run failed: " << result.report << std::endl;
  return result.ok && allOk ? 0 : 1;
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
