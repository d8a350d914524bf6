// krz3d: the command of KRZ3DCOMTools: demo and benchmarks.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "KRZBenchTransfer.h"
#include "KRZDemo.h"
#include "KRZEngine.h"

int main(int argc, char **argv) {
  CLI::App app{"krz3d: demonstration and benchmarks of KRZ3DCOMTools"};
  app.require_subcommand(1);

  std::string engine = "threads";
  int ranks = 4;
  CLI::App *demo = app.add_subcommand("demo", "gather and scatter on N ranks, checked");
  demo->add_option("--ranks", ranks, "in-process ranks (threads engine)")->check(CLI::Range(1, 64));
  demo->add_option("--engine", engine, "threads or mpi (start with mpiexec)")
      ->check(CLI::IsMember({"threads", "mpi"}));

  CLI::App *bench = app.add_subcommand("bench", "benchmarks");
  bench->require_subcommand(1);
  KRZBenchTransferOptions options;
  std::string benchEngine = "threads";
  std::string relation = "both";
  CLI::App *transfer =
      bench->add_subcommand("transfer", "gather+scatter of doubles against the baseline");
  transfer->add_option("--items", options.items, "global items")->check(CLI::Range(1LL, 1LL << 30));
  transfer->add_option("--reps", options.reps, "repetitions per median")
      ->check(CLI::Range(1, 1000));
  transfer->add_option("--ranks", options.ranks, "rank counts (threads engine)")
      ->check(CLI::Range(1, 64));
  transfer->add_option("--engine", benchEngine, "threads or mpi (start with mpiexec)")
      ->check(CLI::IsMember({"threads", "mpi"}));
  transfer->add_option("--relation", relation, "default, random or both")
      ->check(CLI::IsMember({"default", "random", "both"}));

  CLI11_PARSE(app, argc, argv);

  if (*demo)
    return KRZRunOnEngine(engine, ranks, KRZDemoTransfer);

  if (*transfer) {
    options.defaultRelation = relation != "random";
    options.random = relation != "default";
    if (benchEngine == "threads")
      return KRZBenchTransferThreads(options);
#ifdef KRZ3D_HAVE_MPI
    return KRZRunOnEngine("mpi", 0, [&](CKRZCom &com, int myid, int nproc) {
      return KRZBenchTransferMPI(com, myid, nproc, options) == 0;
    });
#else
    std::cerr << "krz3d: this build has no MPI engine" << std::endl;
    return 2;
#endif
  }
  return 0;
}
