// krz3d-bench-petsc: the library's gather and scatter against PETSc's VecScatter on the same
// payload, the same relation and the same ranks, in one run under mpiexec.
//
//   mpiexec -n 4 build/release/bench/petsc/krz3d-bench-petsc [--items 8000000] [--reps 7]
//   mpiexec -n 4 build/release/bench/petsc/krz3d-bench-petsc --exchange [--faces 1000000]
//
// For the default relation (rank 0's items first, consecutive) and a random permutation, it times
// the library (CCOM_BroadTools), VecScatter built from general index sets that encode the same
// relation (SCATTER_FORWARD gathers, SCATTER_REVERSE scatters), VecScatterCreateToZero (default
// relation only) and the hand-written MPI_Gatherv/MPI_Scatterv plus placement loop: steady gather
// and scatter (medians), set-up (the library's first gather against VecScatterCreate plus the
// first transfer) and the growth of rank 0's resident memory while each one works. Every method's
// global and local arrays are compared with the library's; a difference fails the run.
#include <malloc.h>
#include <petscvec.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "CCOM_BroadTools.h"
#include "CKRZCom_MPI.h"
#include "KRZBenchPETScExchange.h"
#include "KRZMeasure.h"

namespace {

using namespace krz::measure;

struct Figures {
  const char* method = "";
  double setupMs = 0, gatherMs = 0, scatterMs = 0, peakMiB = 0;
  double othersMiB = 0; ///< the largest growth of any other rank's resident memory
  bool measured = false;
};

struct Context {
  MPI_Comm comm;
  int myid = 0, nproc = 1, reps = 7;
  long long items = 0;
  std::vector<int> counts;  // every rank's count
  std::vector<int> offsets; // where rank p's items start in the flat order
  std::vector<int> mine;    // this rank's global numbers (1-based), entry 0 unused
  std::vector<int> all;     // rank 0: every rank's global numbers, laid end to end with entry 0s
  std::vector<double> local;
  std::vector<double> libraryGlobal; // rank 0: the library's result, to compare with
  double secondMs[2] = {0, 0};       // the library's second gather, per relation (default, random)
};

double Steady(Context& c, const std::function<void()>& step) {
  std::vector<double> times;
  for (int r = 0; r < c.reps; ++r) {
    MPI_Barrier(c.comm);
    const auto t0 = Clock::now();
    step();
    times.push_back(Ms(t0, Clock::now()));
  }
  return Median(times);
}

void StartPhase(Context& c, double& base) {
  MPI_Barrier(c.comm);
  malloc_trim(0); // what the last phase freed goes back to the system, so growth shows again
  ResetPeak();
  base = StatusMiB("VmRSS:");
}

// Collective: rank 0's growth of resident memory since StartPhase, and the largest of the others'.
void EndPhase(Context& c, double base, Figures& f) {
  const double mine = StatusMiB("VmHWM:") - base;
  const double other = c.myid == 0 ? 0.0 : mine;
  MPI_Reduce(&other, &f.othersMiB, 1, MPI_DOUBLE, MPI_MAX, 0, c.comm);
  if (c.myid == 0)
    f.peakMiB = mine;
}

bool SameGlobal(const Context& c, const double* values, bool withElementZero) {
  if (c.myid != 0)
    return true;
  const double* from = withElementZero ? values + 1 : values;
  return std::equal(from, from + c.items, c.libraryGlobal.begin() + 1);
}

int Fail(const char* what) {
  std::fprintf(stderr, "krz3d-bench-petsc: %s differs from the library's result\n", what);
  MPI_Abort(MPI_COMM_WORLD, 1);
  return 1;
}

Figures Library(Context& c, bool random) {
  Figures f{"library"};
  double base = 0;
  StartPhase(c, base);
  CKRZCom_MPI com(c.comm);
  CCOM_BroadTools tools;
  tools.SetInitialize(c.myid, c.nproc, &com);
  std::vector<int*> table;
  if (random && c.myid == 0) {
    size_t at = 0;
    for (int p = 0; p < c.nproc; ++p) {
      table.push_back(c.all.data() + at);
      at += static_cast<size_t>(c.counts[static_cast<size_t>(p)]) + 1;
    }
    tools.SetMapRelation(static_cast<int>(c.items), c.counts.data(), table.data());
  } else if (!random) {
    tools.SetMapRelation_DefaultRelation(c.counts[static_cast<size_t>(c.myid)]);
  }
  double* global = nullptr;
  double* local = c.local.data();
  MPI_Barrier(c.comm);
  auto t0 = Clock::now();
  tools.GetGlobalArrayFromLocalArray(local, global);
  f.setupMs = Ms(t0, Clock::now());
  // The second transfer builds the placement order of a scattered relation.
  MPI_Barrier(c.comm);
  t0 = Clock::now();
  tools.GetGlobalArrayFromLocalArray(local, global);
  c.secondMs[random ? 1 : 0] = Ms(t0, Clock::now());
  f.gatherMs = Steady(c, [&] { tools.GetGlobalArrayFromLocalArray(local, global); });
  f.scatterMs = Steady(c, [&] { tools.GetLocalArrayFromGlobalArray(global, local); });
  EndPhase(c, base, f);
  if (c.myid == 0)
    c.libraryGlobal.assign(global, global + c.items + 1);
  delete[] global;
  f.measured = true;
  return f;
}

// x: every rank's local values (no copy), y: the global array, all on rank 0.
Figures PETScScatter(Context& c, bool toZero) {
  Figures f{toZero ? "VecScatterCreateToZero" : "PETSc VecScatter"};
  double base = 0;
  StartPhase(c, base);
  const PetscInt n = c.counts[static_cast<size_t>(c.myid)];
  Vec x, y;
  VecCreateMPIWithArray(c.comm, 1, n, PETSC_DECIDE, c.local.data() + 1, &x);
  VecScatter scatter;
  auto t0 = Clock::now();
  if (toZero) {
    VecScatterCreateToZero(x, &scatter, &y);
  } else {
    VecCreateMPI(c.comm, c.myid == 0 ? static_cast<PetscInt>(c.items) : 0, PETSC_DECIDE, &y);
    std::vector<PetscInt> from(static_cast<size_t>(n)), to(static_cast<size_t>(n));
    for (PetscInt i = 0; i < n; ++i) {
      from[static_cast<size_t>(i)] = c.offsets[static_cast<size_t>(c.myid)] + i;
      to[static_cast<size_t>(i)] = c.mine[static_cast<size_t>(i) + 1] - 1;
    }
    IS isFrom, isTo;
    ISCreateGeneral(c.comm, n, from.data(), PETSC_COPY_VALUES, &isFrom);
    ISCreateGeneral(c.comm, n, to.data(), PETSC_COPY_VALUES, &isTo);
    VecScatterCreate(x, isFrom, y, isTo, &scatter);
    ISDestroy(&isFrom);
    ISDestroy(&isTo);
  }
  VecScatterBegin(scatter, x, y, INSERT_VALUES, SCATTER_FORWARD);
  VecScatterEnd(scatter, x, y, INSERT_VALUES, SCATTER_FORWARD);
  MPI_Barrier(c.comm);
  f.setupMs = Ms(t0, Clock::now());
  f.gatherMs = Steady(c, [&] {
    VecScatterBegin(scatter, x, y, INSERT_VALUES, SCATTER_FORWARD);
    VecScatterEnd(scatter, x, y, INSERT_VALUES, SCATTER_FORWARD);
  });
  const double* yv = nullptr;
  VecGetArrayRead(y, &yv);
  if (!SameGlobal(c, yv, false))
    Fail(f.method);
  VecRestoreArrayRead(y, &yv);
  std::vector<double> kept(c.local);
  std::fill(c.local.begin() + 1, c.local.end(), 0.0);
  f.scatterMs = Steady(c, [&] {
    VecScatterBegin(scatter, y, x, INSERT_VALUES, SCATTER_REVERSE);
    VecScatterEnd(scatter, y, x, INSERT_VALUES, SCATTER_REVERSE);
  });
  if (!std::equal(kept.begin() + 1, kept.end(), c.local.begin() + 1))
    Fail(f.method);
  EndPhase(c, base, f);
  VecScatterDestroy(&scatter);
  VecDestroy(&y);
  VecDestroy(&x);
  f.measured = true;
  return f;
}

// The physical limit of the default relation: one MPI_Gatherv (MPI_Scatterv) of every rank's
// items straight into (out of) the global array, no element 0 and no loop.
Figures Bare(Context& c) {
  Figures f{"bare MPI_Gatherv/Scatterv"};
  double base = 0;
  StartPhase(c, base);
  std::vector<int> counts(c.counts), offsets(c.offsets);
  for (int p = 0; p < c.nproc; ++p)
    offsets[static_cast<size_t>(p)] += 1;
  const int mine = counts[static_cast<size_t>(c.myid)];
  std::vector<double> global(c.myid == 0 ? static_cast<size_t>(c.items) + 1 : 0);
  auto gather = [&] {
    MPI_Gatherv(c.local.data() + 1, mine, MPI_DOUBLE, global.data(), counts.data(), offsets.data(),
                MPI_DOUBLE, 0, c.comm);
  };
  MPI_Barrier(c.comm);
  auto t0 = Clock::now();
  gather();
  f.setupMs = Ms(t0, Clock::now());
  f.gatherMs = Steady(c, gather);
  if (!SameGlobal(c, global.data(), true))
    Fail(f.method);
  f.scatterMs = Steady(c, [&] {
    MPI_Scatterv(global.data(), counts.data(), offsets.data(), MPI_DOUBLE, c.local.data() + 1, mine,
                 MPI_DOUBLE, 0, c.comm);
  });
  EndPhase(c, base, f);
  f.measured = true;
  return f;
}

Figures HandWritten(Context& c) {
  Figures f{"MPI_Gatherv + loop"};
  double base = 0;
  StartPhase(c, base);
  std::vector<int> counts(c.counts), offsets(c.offsets);
  for (int p = 0; p < c.nproc; ++p) {
    counts[static_cast<size_t>(p)] += 1;
    offsets[static_cast<size_t>(p)] += p;
  }
  const int mine = counts[static_cast<size_t>(c.myid)];
  std::vector<double> scratch(c.myid == 0 ? static_cast<size_t>(c.items + c.nproc) : 0);
  std::vector<double> global(c.myid == 0 ? static_cast<size_t>(c.items) + 1 : 0);
  auto place = [&] {
    size_t at = 0;
    for (int p = 0; p < c.nproc; ++p) {
      const int* row = c.all.data() + at;
      const double* src = scratch.data() + offsets[static_cast<size_t>(p)];
      for (int i = 1; i < counts[static_cast<size_t>(p)]; ++i)
        global[static_cast<size_t>(row[i])] = src[i];
      at += static_cast<size_t>(counts[static_cast<size_t>(p)]);
    }
  };
  auto pick = [&] {
    size_t at = 0;
    for (int p = 0; p < c.nproc; ++p) {
      const int* row = c.all.data() + at;
      double* dst = scratch.data() + offsets[static_cast<size_t>(p)];
      for (int i = 1; i < counts[static_cast<size_t>(p)]; ++i)
        dst[i] = global[static_cast<size_t>(row[i])];
      at += static_cast<size_t>(counts[static_cast<size_t>(p)]);
    }
  };
  auto gather = [&] {
    MPI_Gatherv(c.local.data(), mine, MPI_DOUBLE, scratch.data(), counts.data(), offsets.data(),
                MPI_DOUBLE, 0, c.comm);
    if (c.myid == 0)
      place();
  };
  MPI_Barrier(c.comm);
  auto t0 = Clock::now();
  gather();
  f.setupMs = Ms(t0, Clock::now());
  f.gatherMs = Steady(c, gather);
  if (!SameGlobal(c, global.data(), true))
    Fail(f.method);
  f.scatterMs = Steady(c, [&] {
    if (c.myid == 0)
      pick();
    MPI_Scatterv(scratch.data(), counts.data(), offsets.data(), MPI_DOUBLE, c.local.data(), mine,
                 MPI_DOUBLE, 0, c.comm);
  });
  EndPhase(c, base, f);
  f.measured = true;
  return f;
}

void Relation(Context& c, bool random) {
  c.counts.clear();
  c.offsets.clear();
  int offset = 0;
  for (int p = 0; p < c.nproc; ++p) {
    c.counts.push_back(Count(c.items, c.nproc, p));
    c.offsets.push_back(offset);
    offset += c.counts.back();
  }
  // Rank 0 makes the numbering and sends every rank its row (entry 0 included).
  std::vector<int> sendCounts, displs;
  if (c.myid == 0) {
    std::vector<int> numbers(static_cast<size_t>(c.items));
    std::iota(numbers.begin(), numbers.end(), 1);
    if (random)
      std::shuffle(numbers.begin(), numbers.end(), std::mt19937_64(12345));
    c.all.assign(static_cast<size_t>(c.items + c.nproc), 0);
    size_t at = 0, from = 0;
    for (int p = 0; p < c.nproc; ++p) {
      sendCounts.push_back(c.counts[static_cast<size_t>(p)] + 1);
      displs.push_back(static_cast<int>(at));
      std::copy(numbers.begin() + static_cast<long>(from),
                numbers.begin() + static_cast<long>(from) + c.counts[static_cast<size_t>(p)],
                c.all.begin() + static_cast<long>(at) + 1);
      from += static_cast<size_t>(c.counts[static_cast<size_t>(p)]);
      at += static_cast<size_t>(c.counts[static_cast<size_t>(p)]) + 1;
    }
  }
  c.mine.assign(static_cast<size_t>(c.counts[static_cast<size_t>(c.myid)]) + 1, 0);
  MPI_Scatterv(c.all.data(), sendCounts.data(), displs.data(), MPI_INT, c.mine.data(),
               static_cast<int>(c.mine.size()), MPI_INT, 0, c.comm);
  c.local.assign(c.mine.size(), 0.0);
  for (size_t i = 1; i < c.local.size(); ++i)
    c.local[i] = c.myid * 1e7 + static_cast<double>(i);
}

void Print(const Context& c, bool random, const std::vector<Figures>& rows) {
  if (c.myid != 0)
    return;
  const Figures& lib = rows[0];
  for (const Figures& f : rows) {
    if (!f.measured)
      continue;
    std::printf("| %s | %d | %s | %.2f | %.2f | %.2f | %.2f | %.1f | %.1f | %.2f | %.2f |\n",
                random ? "random" : "default", c.nproc, f.method, f.setupMs, f.gatherMs,
                f.scatterMs, f.gatherMs + f.scatterMs, f.peakMiB, f.othersMiB,
                (lib.gatherMs + lib.scatterMs) / (f.gatherMs + f.scatterMs),
                lib.setupMs / f.setupMs);
  }
  std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
  PetscInitialize(&argc, &argv, nullptr, nullptr);
  Context c;
  c.comm = PETSC_COMM_WORLD;
  c.items = 8000000;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--items") == 0)
      c.items = std::atoll(argv[i + 1]);
    if (std::strcmp(argv[i], "--reps") == 0)
      c.reps = std::atoi(argv[i + 1]);
  }
  MPI_Comm_rank(c.comm, &c.myid);
  MPI_Comm_size(c.comm, &c.nproc);
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--exchange") == 0) {
      long long faces = 1000000;
      for (int k = 1; k + 1 < argc; ++k)
        if (std::strcmp(argv[k], "--faces") == 0)
          faces = std::atoll(argv[k + 1]);
      const int rc = KRZBenchPETScExchange(c.comm, faces, c.reps);
      PetscFinalize();
      return rc;
    }
  if (c.myid == 0) {
    std::printf("%lld doubles, %d ranks, medians of %d; ratio: library (gather + scatter) / this "
                "method's; setup ratio: library's first gather / this method's set-up and first "
                "transfer\n\n",
                c.items, c.nproc, c.reps);
    std::printf("| relation | ranks | method | setup_ms | gather_ms | scatter_ms | g+s_ms | "
                "rank0_peak_MiB | others_peak_MiB | library/this | setup library/this |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
  }
  for (bool random : {false, true}) {
    Relation(c, random);
    std::vector<Figures> rows;
    rows.push_back(Library(c, random));
    rows.push_back(PETScScatter(c, false));
    if (!random)
      rows.push_back(PETScScatter(c, true));
    rows.push_back(HandWritten(c));
    if (!random)
      rows.push_back(Bare(c));
    Print(c, random, rows);
  }
  if (c.myid == 0)
    std::printf("\nlibrary, second gather (builds the placement order of a scattered relation): "
                "default %.2f ms, random %.2f ms\n",
                c.secondMs[0], c.secondMs[1]);
  PetscFinalize();
  return 0;
}
