// Both runners behind one code path, as a program that picks its engine at run time uses them:
// every rank's output reaches rank 0 in rank order, rank 0 may print live, and a rank that
// throws fails the run on every rank with a report naming it. Prints "runner check: ok" on
// rank 0 when every check passed. Usage: krz_runner_check [threads|mpi]
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>

#include "KRZRunRanks.h"
#ifdef KRZ_TEST_HAVE_MPI
#include "KRZRunMPI.h"
#include <mpi.h>
#endif

using Runner = std::function<KRZRunResult(const KRZRankFunction&, const KRZRunOptions&)>;

int main(int argc, char** argv) {
  const std::string engine = argc > 1 ? argv[1] : "threads";
  Runner run = [](const KRZRankFunction& fn, const KRZRunOptions& o) {
    return KRZRunRanks(3, fn, o);
  };
  int myid = 0;
#ifdef KRZ_TEST_HAVE_MPI
  if (engine == "mpi") {
    MPI_Init(&argc, &argv);
    MPI_Comm_rank(MPI_COMM_WORLD, &myid);
    run = [](const KRZRankFunction& fn, const KRZRunOptions& o) { return KRZRunOnMPIWorld(fn, o); };
  }
#endif
  int failures = 0;
  auto expect = [&](bool ok, const std::string& what) {
    if (!ok && ++failures)
      std::cerr << "runner check (" << engine << "): " << what << std::endl;
  };
  auto hello = [](CKRZCom& com, int rank, int nproc) {
    std::cout << "rank " << rank << " of " << nproc << "\n";
    com.Barrier(com.m_nCommHandle);
  };

  KRZRunOptions options;
  options.captureOutput = true;
  KRZRunResult r = run(hello, options);
  expect(r.ok && r.report.empty(), "a clean run is ok: " + r.report);
  if (myid == 0) {
    expect(r.output.size() == 3, "one output per rank on rank 0");
    for (size_t k = 0; k < r.output.size(); ++k)
      expect(r.output[k] == "rank " + std::to_string(k) + " of 3\n",
             "output of rank " + std::to_string(k) + ": " + r.output[k]);
  }

  options.liveRankZero = true;
  r = run(hello, options);
  expect(r.ok, "live rank 0 run is ok");
  if (myid == 0)
    expect(r.output.size() == 3 && r.output[0].empty() && r.output[2] == "rank 2 of 3\n",
           "live rank 0 prints, the others are captured");

  options = KRZRunOptions();
  r = run(
      [](CKRZCom& com, int rank, int) {
        com.Barrier(com.m_nCommHandle);
        if (rank == 1)
          throw std::runtime_error("boom");
      },
      options);
  expect(!r.ok && r.report.find("rank 1") != std::string::npos,
         "a throwing rank fails the run and is named: " + r.report);
  if (myid == 1)
    expect(r.report.find("boom") != std::string::npos, "the thrower's report says why");

#ifdef KRZ_TEST_HAVE_MPI
  if (engine == "mpi") { // the form of 0.1.0 keeps working for its callers
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const KRZMPIRunResult old = KRZRunOnMPIWorld(
        [](CKRZCom&, int rank, int) {
          std::cout << "old " << rank;
          return rank != 1;
        },
        true);
#pragma GCC diagnostic pop
    expect(!old.ok && old.mine == (myid != 1) && old.output == "old " + std::to_string(myid),
           "the 0.1.0 form: a rank returning false fails the run");
  }
#endif

  if (myid == 0 && failures == 0)
    std::cout << "runner check: ok" << std::endl;
#ifdef KRZ_TEST_HAVE_MPI
  if (engine == "mpi")
    MPI_Finalize();
#endif
  return failures == 0 ? 0 : 1;
}
