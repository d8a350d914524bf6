// krz3d: the command of KRZ3DCOMTools: self-test, demo, couple and benchmarks.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "KRZCoupleCommand.h"
#include "krz3dcomtools_version.h"

#include "KRZBenchCollect.h"
#include "KRZBenchExchange.h"
#include "KRZBenchMatch.h"
#include "KRZBenchMerge.h"
#include "KRZBenchTransfer.h"
#include "KRZDemo.h"
#include "KRZEngine.h"
#include "KRZRunRanks.h"
#include "KRZSelfTest.h"

namespace {

// Usage errors end with exit code 2 and one line on standard error.
int Usage(const std::string& message) {
  std::cerr << "krz3d: " << message << std::endl;
  return 2;
}

// The process count mpiexec started, or 0 outside mpiexec (Open MPI, MPICH/PMI).
int LaunchedProcesses() {
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMI_SIZE", "MPI_LOCALNRANKS"})
    if (const char* v = std::getenv(name))
      return std::atoi(v);
  return 0;
}

// Checks that `file` can be written, before any work starts.
std::string Writable(const std::string& file) {
  if (file.empty())
    return "";
  const bool existed = std::filesystem::exists(file);
  std::ofstream probe(file, std::ios::app);
  if (!probe)
    return "cannot write " + file;
  probe.close();
  if (!existed)
    std::filesystem::remove(file);
  return "";
}

std::string WritableDirectory(const std::string& dir) {
  if (dir.empty())
    return "";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec || !std::filesystem::is_directory(dir))
    return "cannot create the directory " + dir;
  return Writable(dir + "/.krz3d-probe");
}

// A benchmark on the MPI world, or once per rank count on in-process ranks; `first` tells the
// first run (which prints the table's header).
using BenchFunction = std::function<bool(CKRZCom& com, int myid, int nproc, bool first)>;
int RunBenchmark(const std::string& engine, const std::vector<int>& rankCounts,
                 const BenchFunction& fn) {
  if (engine == "mpi")
    return KRZRunOnEngine(
        "mpi", 0, [&](CKRZCom& com, int myid, int nproc) { return fn(com, myid, nproc, true); });
  bool first = true;
  for (int n : rankCounts) {
    const KRZRunResult r =
        KRZRunRanks(n, [&](CKRZCom& com, int myid, int nproc) { fn(com, myid, nproc, first); });
    if (!r.ok) {
      std::cerr << r.report << std::endl;
      return 1;
    }
    first = false;
  }
  return 0;
}

// The engine options of every subcommand that runs ranks, written once: --ranks (one count or a
// list, for the threads engine) and --engine; `engines` keeps each choice for the checks after
// parsing.
struct EngineChoice {
  CLI::App* command;
  const std::string* engine;
};
template <class Ranks>
void AddEngineOptions(CLI::App* command, std::string& engine, Ranks& ranks, const char* ranksHelp,
                      int fewestRanks, std::vector<EngineChoice>& engines) {
  command->add_option("--ranks", ranks, ranksHelp)->check(CLI::Range(fewestRanks, 64));
  command->add_option("--engine", engine, "threads or mpi (start with mpiexec)")
      ->check(CLI::IsMember({"threads", "mpi"}));
  engines.push_back(EngineChoice{command, &engine});
}

} // namespace

int main(int argc, char** argv) {
  CLI::App app{"krz3d: self-test, demonstration, coupling of your meshes and benchmarks of "
               "KRZ3DCOMTools"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("krz3d ") + KRZ3DCOMTOOLS_VERSION_STRING);

  std::vector<EngineChoice> engines;
  std::string engine = "threads";
  int ranks = 4;
  KRZDemoOptions demoOptions;
  std::string demoJson;
  CLI::App* demo = app.add_subcommand(
      "demo", "two coupled domains on METIS partitions, end to end, checked against serial");
  demo->add_option("--cells", demoOptions.cells, "cells along each edge of each box")
      ->check(CLI::Range(1, 400));
  demo->add_option("--steps", demoOptions.steps, "coupling steps")->check(CLI::Range(0, 100000));
  demo->add_option("--json", demoJson, "write the figures to this file as JSON");
  AddEngineOptions(demo, engine, ranks, "in-process ranks (threads engine)", 1, engines);

  int selftestRanks = 2;
  std::string selftestEngine = "threads";
  CLI::App* selftest = app.add_subcommand("selftest", "the library's built-in self-test");
  AddEngineOptions(selftest, selftestEngine, selftestRanks, "in-process ranks (threads engine)", 1,
                   engines);

  CLI::App* bench = app.add_subcommand("bench", "benchmarks");
  bench->require_subcommand(1);
  KRZBenchTransferOptions options;
  std::string benchEngine = "threads";
  std::string relation = "both";
  CLI::App* transfer =
      bench->add_subcommand("transfer", "gather+scatter of doubles against the baseline");
  transfer->add_option("--items", options.items, "global items")->check(CLI::Range(1LL, 1LL << 30));
  transfer->add_option("--reps", options.reps, "repetitions per median")
      ->check(CLI::Range(1, 1000));
  AddEngineOptions(transfer, benchEngine, options.ranks, "rank counts (threads engine)", 1,
                   engines);
  transfer->add_option("--relation", relation, "default, random or both")
      ->check(CLI::IsMember({"default", "random", "both"}));

  KRZBenchCollectOptions collectOptions;
  std::vector<int> collectRanks{2, 4};
  std::string collectEngine = "threads";
  CLI::App* collect =
      bench->add_subcommand("collect", "row-table collection: first and repeated call");
  collect->add_option("--items", collectOptions.items, "global items")
      ->check(CLI::Range(1LL, 1LL << 30));
  collect->add_option("--reps", collectOptions.reps, "repetitions per median")
      ->check(CLI::Range(1, 1000));
  AddEngineOptions(collect, collectEngine, collectRanks, "rank counts (threads engine)", 2,
                   engines);

  int grid = 100, matchReps = 3;
  long long quads = 1000000;
  std::vector<int> setupRanks{4};
  std::string matchEngine = "threads";
  CLI::App* match = bench->add_subcommand(
      "match", "face matching on an n^3 hexahedral grid, and the face object's set-up");
  match->add_option("--grid", grid, "cells along each edge")->check(CLI::Range(1, 400));
  match->add_option("--reps", matchReps, "repetitions per median")->check(CLI::Range(1, 100));
  match->add_option("--quads", quads, "local quads in total for the set-up")
      ->check(CLI::Range(1LL, 1LL << 28));
  AddEngineOptions(match, matchEngine, setupRanks, "rank counts of the set-up (threads engine)", 1,
                   engines);

  long long exchangeFaces = 1000000;
  int exchangeReps = 5;
  std::vector<int> exchangeRanks{4};
  std::string exchangeEngine = "threads";
  CLI::App* exchange = bench->add_subcommand(
      "exchange", "every A/B transfer on both routes, by hand, and overlapped with a solver step");
  exchange->alias("overlap");
  exchange->add_option("--faces", exchangeFaces, "interface faces per domain")
      ->check(CLI::Range(1LL, 1LL << 26));
  exchange->add_option("--reps", exchangeReps, "repetitions per median")->check(CLI::Range(1, 100));
  AddEngineOptions(exchange, exchangeEngine, exchangeRanks, "rank counts (threads engine)", 1,
                   engines);

  int mergeStart = 200, mergeReps = 5;
  CLI::App* merge = bench->add_subcommand(
      "merge", "couple's node merge (k-d tree) on k^2, 4k^2 and 16k^2 interface nodes");
  merge->add_option("--k", mergeStart, "nodes along each side of the smallest interface")
      ->check(CLI::Range(2, 4000));
  merge->add_option("--reps", mergeReps, "repetitions per median")->check(CLI::Range(1, 100));

  KRZCoupleOptions coupleOptions;
  std::string coupleEngine = "threads", coupleJson;
  int coupleRanks = 4;
  CLI::App* couple = app.add_subcommand(
      "couple", "your Gmsh meshes through the library: pairing report, checks, ParaView files");
  couple
      ->add_option("MESH", coupleOptions.meshA,
                   "a mesh with two physical volumes, or domain A's mesh")
      ->required();
  couple->add_option("MESH_B", coupleOptions.meshB, "domain B's mesh (meshed independently)");
  AddEngineOptions(couple, coupleEngine, coupleRanks, "in-process ranks (threads engine)", 1,
                   engines);
  couple->add_option("--vtu", coupleOptions.vtuDirectory,
                     "write the interface and the partitions for ParaView into this directory");
  couple->add_option("--json", coupleJson, "write the figures to this file as JSON");
  couple
      ->add_option("--tolerance", coupleOptions.tolerance,
                   "nodes of two meshes coincide within this fraction of the interface's "
                   "bounding-box diagonal (default 1e-6)")
      ->check(CLI::Validator(
          [](std::string& text) {
            double value = 0.0;
            return CLI::detail::lexical_cast(text, value) && std::isfinite(value) && value > 0.0
                       ? std::string()
                       : "--tolerance must be a positive finite number, not " + text;
          },
          "POSITIVE FINITE"));
  couple->add_option("--steps", coupleOptions.steps, "coupling steps")
      ->check(CLI::Range(0, 100000));

  // A first argument that is no option must name a subcommand.
  if (argc > 1 && argv[1][0] != '-') {
    const std::string first = argv[1];
    if (first != "demo" && first != "selftest" && first != "bench" && first != "couple")
      return Usage("unknown subcommand " + first + " (demo, selftest, couple, bench; --help)");
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e); // --help, --version
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }

  // Engines: under mpiexec the MPI engine is meant; --ranks belongs to the threads engine.
  for (const EngineChoice& c : engines) {
    if (!*c.command)
      continue;
    const int launched = LaunchedProcesses();
    if (launched > 1 && *c.engine != "mpi")
      return Usage("started by mpiexec as " + std::to_string(launched) +
                   " processes, but the engine is " + *c.engine +
                   ": add --engine mpi (each process would otherwise run alone)");
    if (*c.engine == "mpi" && c.command->count("--ranks") > 0)
      return Usage("--ranks is for the threads engine; under MPI the rank count is mpiexec's -n");
  }
  for (const std::string& check :
       {Writable(*demo ? demoJson : ""), Writable(*couple ? coupleJson : ""),
        WritableDirectory(*couple ? coupleOptions.vtuDirectory : "")})
    if (!check.empty())
      return Usage(check);

  if (*merge)
    return KRZBenchMerge(mergeStart, mergeReps);

  if (*couple) {
    for (const std::string& file : {coupleOptions.meshA, coupleOptions.meshB})
      if (!file.empty() && !std::filesystem::is_regular_file(file)) {
        std::cerr << "krz3d couple: no such file: " << file << std::endl;
        return 1;
      }
    return KRZRunCouple(coupleEngine, coupleRanks, coupleOptions, coupleJson);
  }

  if (*exchange)
    return RunBenchmark(exchangeEngine, exchangeRanks,
                        [&](CKRZCom& com, int myid, int nproc, bool) {
                          return KRZBenchExchange(com, myid, nproc, exchangeFaces, exchangeReps,
                                                  exchangeEngine.c_str());
                        });
  if (*match) {
    const int rc = matchEngine == "mpi" ? 0 : KRZBenchMatchGrid(grid, matchReps);
    const int setup =
        RunBenchmark(matchEngine, setupRanks, [&](CKRZCom& com, int myid, int nproc, bool first) {
          return KRZBenchFaceSetup(com, myid, nproc, quads, matchReps, matchEngine.c_str(), first);
        });
    return rc != 0 ? rc : setup;
  }
  if (*collect)
    return RunBenchmark(
        collectEngine, collectRanks, [&](CKRZCom& com, int myid, int nproc, bool first) {
          return KRZBenchCollect(com, myid, nproc, collectOptions, collectEngine.c_str(), first);
        });

  if (*selftest)
    return KRZRunSelfTest(selftestEngine, selftestRanks);
  if (*demo)
    return KRZRunDemo(engine, ranks, demoOptions, demoJson);

  if (*transfer) {
    options.defaultRelation = relation != "random";
    options.random = relation != "default";
    if (benchEngine == "threads")
      return KRZBenchTransferThreads(options);
#ifdef KRZ3D_HAVE_MPI
    return KRZRunOnEngine("mpi", 0, [&](CKRZCom& com, int myid, int nproc) {
      return KRZBenchTransferMPI(com, myid, nproc, options) == 0;
    });
#else
    std::cerr << "krz3d: this build has no MPI engine" << std::endl;
    return 2;
#endif
  }
  return 0;
}
