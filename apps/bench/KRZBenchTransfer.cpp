#include "KRZBenchTransfer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "CCOM_BroadTools.h"
#include "KRZMeasure.h"
#include "KRZRunRanks.h"
#ifdef KRZ3D_HAVE_MPI
#include <mpi.h>
#endif

namespace {

using namespace krz::measure;

// The relation rank 0 holds: consecutive (default) or a random permutation. The global numbers
// sit in one flat array (no temporary copy), row p starting right after row p-1.
struct Relation {
  std::vector<int> counts;
  std::vector<int> numbers;
  std::vector<int*> table;

  Relation(long long items, int nproc, bool random) : numbers(static_cast<size_t>(items) + 1, 0) {
    std::iota(numbers.begin() + 1, numbers.end(), 1);
    if (random)
      std::shuffle(numbers.begin() + 1, numbers.end(), std::mt19937_64(12345));
    size_t offset = 0;
    for (int p = 0; p < nproc; ++p) {
      counts.push_back(Count(items, nproc, p));
      table.push_back(numbers.data() + offset);
      offset += static_cast<size_t>(counts.back());
    }
  }
};

// Hand-written alternative the library is compared with: on MPI, MPI_Gatherv/MPI_Scatterv of the
// same payload plus the placement loop; on threads, one plain copy per rank plus the same loop.
class Baseline {
public:
  virtual ~Baseline() = default;
  void SetRelation(const Relation* relation) { m_Relation = relation; }
  virtual void Gather(CKRZCom& com, int myid, double* local, double* global) = 0;
  virtual void Scatter(CKRZCom& com, int myid, double* local, double* global) = 0;

protected:
  const Relation* m_Relation = nullptr;
};

class ThreadsBaseline : public Baseline {
public:
  ThreadsBaseline(int nproc, long long items)
      : m_Locals(static_cast<size_t>(nproc), nullptr), m_nItems(items) {}

  void Publish(int myid, double* local) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Locals[static_cast<size_t>(myid)] = local;
  }

  void Gather(CKRZCom& com, int myid, double*, double* global) override {
    Move(com, myid, global, true);
  }
  void Scatter(CKRZCom& com, int myid, double*, double* global) override {
    Move(com, myid, global, false);
  }

private:
  // Rank 0 alone moves every rank's array through the scratch array (one memcpy each) and places
  // or picks its items one by one.
  void Move(CKRZCom& com, int myid, double* global, bool gather) {
    com.Barrier(com.m_nCommHandle);
    if (myid == 0) {
      std::lock_guard<std::mutex> lock(m_Mutex);
      double* scratch = Scratch();
      for (size_t p = 0; p < m_Locals.size(); ++p) {
        const int n = m_Relation->counts[p];
        const int* row = m_Relation->table[p];
        if (gather) {
          std::memcpy(scratch, m_Locals[p], (static_cast<size_t>(n) + 1) * sizeof(double));
          for (int i = 1; i <= n; ++i)
            global[row[i]] = scratch[i];
        } else {
          for (int i = 1; i <= n; ++i)
            scratch[i] = global[row[i]];
          std::memcpy(m_Locals[p] + 1, scratch + 1, static_cast<size_t>(n) * sizeof(double));
        }
      }
    }
    com.Barrier(com.m_nCommHandle);
  }

  double* Scratch() {
    if (!m_Scratch)
      m_Scratch.reset(new double[static_cast<size_t>(m_nItems) + 1]());
    return m_Scratch.get();
  }

  std::mutex m_Mutex;
  std::vector<double*> m_Locals;
  long long m_nItems;
  std::unique_ptr<double[]> m_Scratch;
};

#ifdef KRZ3D_HAVE_MPI
class MPIBaseline : public Baseline {
public:
  MPIBaseline(int nproc, long long items)
      : m_nItems(items), m_Counts(static_cast<size_t>(nproc)),
        m_Offsets(static_cast<size_t>(nproc)) {
    int offset = 0;
    for (int p = 0; p < nproc; ++p) {
      m_Counts[static_cast<size_t>(p)] = Count(items, nproc, p) + 1;
      m_Offsets[static_cast<size_t>(p)] = offset;
      offset += m_Counts[static_cast<size_t>(p)];
    }
  }

  void Gather(CKRZCom& com, int myid, double* local, double* global) override {
    const int mine = m_Counts[static_cast<size_t>(myid)];
    double* scratch = Scratch();
    MPI_Gatherv(local, mine, MPI_DOUBLE, scratch, m_Counts.data(), m_Offsets.data(), MPI_DOUBLE, 0,
                Comm(com));
    if (myid == 0)
      for (size_t p = 0; p < m_Counts.size(); ++p) {
        const int* row = m_Relation->table[p];
        const double* src = scratch + m_Offsets[p];
        for (int i = 1; i < m_Counts[p]; ++i)
          global[row[i]] = src[i];
      }
    MPI_Barrier(Comm(com));
  }

  void Scatter(CKRZCom& com, int myid, double* local, double* global) override {
    const int mine = m_Counts[static_cast<size_t>(myid)];
    double* scratch = Scratch();
    if (myid == 0)
      for (size_t p = 0; p < m_Counts.size(); ++p) {
        const int* row = m_Relation->table[p];
        double* dst = scratch + m_Offsets[p];
        for (int i = 1; i < m_Counts[p]; ++i)
          dst[i] = global[row[i]];
      }
    MPI_Scatterv(scratch, m_Counts.data(), m_Offsets.data(), MPI_DOUBLE, local, mine, MPI_DOUBLE, 0,
                 Comm(com));
    MPI_Barrier(Comm(com));
  }

private:
  static MPI_Comm Comm(CKRZCom& com) { return MPI_Comm_f2c(com.m_nCommHandle); }
  double* Scratch() {
    if (m_Scratch.empty())
      m_Scratch.resize(static_cast<size_t>(m_nItems) + m_Counts.size());
    return m_Scratch.data();
  }

  long long m_nItems;
  std::vector<double> m_Scratch;
  std::vector<int> m_Counts;
  std::vector<int> m_Offsets;
};
#endif

struct Row {
  double firstMs = 0;
  double secondMs = 0;                // rank 0 builds its placement order for a relation used again
  double gatherMs = 0, scatterMs = 0; // steady medians
  double baseGatherMs = 0, baseScatterMs = 0;
  double baseMiB = 0; // resident memory before the case
  double peakMiB = 0; // high-water mark while the library worked
};

// One configuration on one rank; rank 0's figures are kept in `row`. With the random relation,
// `relation` is rank 0's relation (the library borrows it); with the default one the library
// builds its own and the baseline's copy is made only after the memory was read.
void RunCase(CKRZCom& com, int myid, int nproc, const KRZBenchTransferOptions& options, bool random,
             Relation* relation, Baseline& baseline, Row& row) {
  const int n = Count(options.items, nproc, myid);
  std::vector<double> local(static_cast<size_t>(n) + 1, 0.0);
  for (int i = 1; i <= n; ++i)
    local[static_cast<size_t>(i)] = myid * 1e7 + i;
  if (auto* threads = dynamic_cast<ThreadsBaseline*>(&baseline))
    threads->Publish(myid, local.data());

  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  if (random) {
    if (myid == 0)
      tools.SetMapRelation(static_cast<int>(options.items), relation->counts.data(),
                           relation->table.data());
  } else {
    tools.SetMapRelation_DefaultRelation(n);
  }
  const int comm = com.m_nCommHandle;
  double* global = nullptr;
  double* back = local.data();

  com.Barrier(comm);
  auto t0 = Clock::now();
  tools.GetGlobalArrayFromLocalArray(local.data(), global);
  auto t1 = Clock::now();
  row.firstMs = Ms(t0, t1);
  com.Barrier(comm);
  t0 = Clock::now();
  tools.GetGlobalArrayFromLocalArray(local.data(), global);
  row.secondMs = Ms(t0, Clock::now());

  // Steady medians: gathers, then scatters, then the baseline's of each.
  auto median = [&](const std::function<void()>& step) {
    std::vector<double> times;
    for (int r = 0; r < options.reps; ++r) {
      com.Barrier(comm);
      const auto start = Clock::now();
      step();
      times.push_back(Ms(start, Clock::now()));
    }
    return Median(times);
  };
  const double gather = median([&] { tools.GetGlobalArrayFromLocalArray(local.data(), global); });
  const double scatter = median([&] { tools.GetLocalArrayFromGlobalArray(global, back); });
  std::unique_ptr<Relation> late;
  if (myid == 0) {
    row.peakMiB = StatusMiB("VmHWM:"); // before the baseline allocates anything
    if (!random) {
      late.reset(new Relation(options.items, nproc, false));
      relation = late.get();
    }
    baseline.SetRelation(relation);
  }
  std::unique_ptr<double[]> baseGlobal(myid == 0 ? new double[options.items + 1]() : nullptr);
  const double baseGather =
      median([&] { baseline.Gather(com, myid, local.data(), baseGlobal.get()); });
  const double baseScatter =
      median([&] { baseline.Scatter(com, myid, local.data(), baseGlobal.get()); });
  if (myid == 0) {
    row.gatherMs = gather;
    row.scatterMs = scatter;
    row.baseGatherMs = baseGather;
    row.baseScatterMs = baseScatter;
  }
  delete[] global;
}

void PrintHeader() {
  std::printf("%-8s %5s %-8s %9s %8s %9s %9s %7s %6s %10s %7s %6s %6s %8s %8s %9s\n", "engine",
              "ranks", "relation", "items", "first_ms", "second_ms", "gather_ms", "base_ms",
              "ratio", "scatter_ms", "base_ms", "ratio", "g+s", "first/g", "peak_MiB",
              "budget_MiB");
}

// second: the second gather, which builds rank 0's placement order for a scattered relation.
// ratio: library / baseline; g+s: gather plus scatter against the baseline's; first/g: the first
// gather in steady gathers. peak: growth of rank 0's resident memory during the case (on
// threads: of the whole process, every rank included). budget: global array + relation + rank
// 0's local array + a scratch array for one other rank, all on rank 0; for a scattered relation
// also the sorted order (8 bytes per item of all ranks, 8 per own item) and rank 0's staged values
// (one element per own item).
void PrintRow(const char* engine, int nproc, bool random, long long items, const Row& r) {
  const double mib = 1024.0 * 1024.0;
  const double perRank = static_cast<double>(items / nproc + 1) * sizeof(double);
  const double plan =
      random ? static_cast<double>(items) * 2 * sizeof(int) +
                   static_cast<double>(items / nproc) * (2 * sizeof(int) + sizeof(double))
             : 0;
  const double budget = (static_cast<double>(items + 1) * sizeof(double) +
                         static_cast<double>(items + nproc) * sizeof(int) + 2 * perRank + plan) /
                        mib;
  std::printf("%-8s %5d %-8s %9lld %8.2f %9.2f %9.2f %7.2f %6.2f %10.2f %7.2f %6.2f %6.2f %8.2f "
              "%8.1f %9.1f\n",
              engine, nproc, random ? "random" : "default", items, r.firstMs, r.secondMs,
              r.gatherMs, r.baseGatherMs, r.gatherMs / r.baseGatherMs, r.scatterMs, r.baseScatterMs,
              r.scatterMs / r.baseScatterMs,
              (r.gatherMs + r.scatterMs) / (r.baseGatherMs + r.baseScatterMs),
              r.firstMs / r.gatherMs, r.peakMiB - r.baseMiB, budget);
  std::fflush(stdout);
}

} // namespace

int KRZBenchTransferThreads(const KRZBenchTransferOptions& options) {
  PrintHeader();
  for (int nproc : options.ranks)
    for (bool random : {false, true}) {
      if ((random && !options.random) || (!random && !options.defaultRelation))
        continue;
      Row row;
      ResetPeak();
      row.baseMiB = StatusMiB("VmRSS:");
      std::unique_ptr<Relation> relation(random ? new Relation(options.items, nproc, true)
                                                : nullptr);
      ThreadsBaseline baseline(nproc, options.items);
      const KRZRunResult result = KRZRunRanks(nproc, [&](CKRZCom& com, int myid, int np) {
        Row mine;
        RunCase(com, myid, np, options, random, relation.get(), baseline, mine);
        if (myid == 0) {
          mine.baseMiB = row.baseMiB;
          row = mine;
        }
      });
      if (!result.ok) {
        std::cerr << result.report << std::endl;
        return 1;
      }
      PrintRow("threads", nproc, random, options.items, row);
    }
  return 0;
}

#ifdef KRZ3D_HAVE_MPI
int KRZBenchTransferMPI(CKRZCom& com, int myid, int nproc, const KRZBenchTransferOptions& options) {
  if (myid == 0)
    PrintHeader();
  for (bool random : {false, true}) {
    if ((random && !options.random) || (!random && !options.defaultRelation))
      continue;
    Row row;
    if (myid == 0) {
      ResetPeak();
      row.baseMiB = StatusMiB("VmRSS:");
    }
    std::unique_ptr<Relation> relation(
        myid == 0 && random ? new Relation(options.items, nproc, true) : nullptr);
    MPIBaseline baseline(nproc, options.items);
    RunCase(com, myid, nproc, options, random, relation.get(), baseline, row);
    com.Barrier(com.m_nCommHandle);
    if (myid == 0)
      PrintRow("mpi", nproc, random, options.items, row);
  }
  return 0;
}
#endif
