#include "KRZBenchCollect.h"

#include <cstdio>
#include <vector>

#include "CCOM_BroadTools.h"
#include "CCOM_BroadTools_CollectLocalArrayToMyid0.h"
#include "KRZMeasure.h"

using namespace krz::measure;

namespace {

void FreeRows(int** rows, int nproc) {
  if (rows == nullptr)
    return;
  for (int p = 0; p < nproc; ++p)
    delete[] rows[p];
  delete[] rows;
}

} // namespace

bool KRZBenchCollect(CKRZCom& com, int myid, int nproc, const KRZBenchCollectOptions& options,
                     const char* engine, bool header) {
  const int n = Count(options.items, nproc, myid);
  std::vector<int> local(static_cast<size_t>(n) + 1, 0);
  for (int i = 1; i <= n; ++i)
    local[static_cast<size_t>(i)] = myid * 10000000 + i;
  const int comm = com.m_nCommHandle;

  CCOM_BroadTools_CollectLocalArrayToMyid0 collector;
  collector.SetInitialize(myid, nproc, &com);
  com.Barrier(comm);
  auto t0 = Clock::now();
  FreeRows(collector.CreateMyid0ArrayFromLocalArray(n, local.data()), nproc);
  const double first = Ms(t0, Clock::now());

  std::vector<double> repeated, gather, allocating;
  for (int r = 0; r < options.reps; ++r) {
    com.Barrier(comm);
    t0 = Clock::now();
    FreeRows(collector.CreateMyid0ArrayFromLocalArray(n, local.data()), nproc);
    repeated.push_back(Ms(t0, Clock::now()));
  }

  CCOM_BroadTools tools; // the same numbering, gathered into a kept global array
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(n);
  int* global = nullptr;
  tools.GetGlobalArrayFromLocalArray(local.data(), global);
  for (int r = 0; r < options.reps; ++r) {
    com.Barrier(comm);
    t0 = Clock::now();
    tools.GetGlobalArrayFromLocalArray(local.data(), global);
    gather.push_back(Ms(t0, Clock::now()));
  }
  delete[] global;
  for (int r = 0; r < options.reps; ++r) { // a gather that allocates its global array
    int* fresh = nullptr;
    com.Barrier(comm);
    t0 = Clock::now();
    tools.GetGlobalArrayFromLocalArray(local.data(), fresh);
    allocating.push_back(Ms(t0, Clock::now()));
    delete[] fresh;
  }

  if (myid == 0) {
    if (header)
      std::printf("%-8s %5s %9s %9s %12s %10s %16s %6s %11s\n", "engine", "ranks", "items",
                  "first ms", "repeated ms", "gather ms", "alloc+gather ms", "ratio", "ratio warm");
    const double rep = Median(repeated), one = Median(gather), fresh = Median(allocating);
    std::printf("%-8s %5d %9lld %9.2f %12.2f %10.2f %16.2f %6.2f %11.2f\n", engine, nproc,
                options.items, first, rep, one, fresh, rep / fresh, rep / one);
    std::fflush(stdout);
  }
  return true;
}
