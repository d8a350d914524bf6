#include "KRZBenchExchange.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "CCOM_BroadTools.h"
#include "KRZBenchUtil.h"
#include "testing/KRZCoupledPair.h"

using namespace krzbench;

namespace {

using namespace krz::testing;
using E = CKRZA2BExchange_BoundaryFace;

// A slab of one cell layer on the m x m interface: domain A cut into rows of ranks, B into
// columns (and numbering its faces the other way round).
void Cut(KRZPairSide& side, const KRZCoupleDomain& mesh, int m, int myid, int nproc, bool isB) {
  side.mesh = &mesh;
  side.isB = isB;
  side.part.resize(static_cast<size_t>(mesh.Cells()));
  for (int c = 0; c < mesh.Cells(); ++c) // cell c+1 lies at (j, k) = (c % m, c / m)
    side.part[static_cast<size_t>(c)] =
        static_cast<int>(static_cast<long long>(isB ? c % m : c / m) * nproc / m);
  side.Number(myid, nproc);
}

} // namespace

bool KRZBenchExchange(CKRZCom& com, int myid, int nproc, long long faces, int reps,
                      const char* engine) {
  const int m = static_cast<int>(std::lround(std::sqrt(static_cast<double>(faces))));
  const int comm = com.m_nCommHandle;
  const KRZCoupleDomain mesh[2] = {KRZBoxMesh(1, m, false), KRZBoxMesh(1, m, true)};
  KRZPairSide a, b;
  Cut(a, mesh[0], m, myid, nproc, false);
  Cut(b, mesh[1], m, myid, nproc, true);
  com.Barrier(comm);
  auto t0 = Clock::now();
  a.SetUp(com, myid, nproc);
  b.SetUp(com, myid, nproc);
  const double setupMs = Ms(t0, Clock::now());
  E exchange;
  com.Barrier(comm);
  t0 = Clock::now();
  KRZPairDomains(exchange, a, b);
  const double relationMs = Ms(t0, Clock::now());

  // Floor: one gather plus one scatter of the same number of doubles through rank 0.
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(a.Faces());
  std::vector<double> local(static_cast<size_t>(a.Faces()) + 1, 1.0);
  double* global = nullptr;
  double* back = local.data();
  tools.GetGlobalArrayFromLocalArray(local.data(), global);
  std::vector<double> floor;
  for (int r = 0; r < reps; ++r) {
    com.Barrier(comm);
    t0 = Clock::now();
    tools.GetGlobalArrayFromLocalArray(local.data(), global);
    tools.GetLocalArrayFromGlobalArray(global, back);
    floor.push_back(Ms(t0, Clock::now()));
  }
  delete[] global;
  const double floorMs = Median(floor);

  std::vector<double> cellA(static_cast<size_t>(a.CellArraySize()), 1.0);
  std::vector<double> cellB(static_cast<size_t>(b.CellArraySize()), 2.0);
  std::vector<double> faceA(static_cast<size_t>(a.Faces()) + 1, 3.0);
  std::vector<double> faceB(static_cast<size_t>(b.Faces()) + 1, 4.0);
  if (myid == 0)
    std::printf("%-8s ranks %d, %lld faces per domain: set-up %.1f ms, relation %.1f ms, "
                "gather+scatter %.2f ms\n%-50s %10s %7s\n",
                engine, nproc, static_cast<long long>(m) * m, setupMs, relationMs, floorMs,
                "transfer (double)", "median ms", "ratio");
  bool ok = true;
  // One transfer: a warm-up (work arrays and buffers), then the median of `reps`.
  auto timed = [&](const char* name, const auto& run, int passes) {
    run();
    std::vector<double> times;
    for (int r = 0; r < reps; ++r) {
      com.Barrier(comm);
      t0 = Clock::now();
      run();
      times.push_back(Ms(t0, Clock::now()));
    }
    const double t = Median(times), ratio = t / (passes * floorMs);
    ok = ok && ratio > 0;
    if (myid == 0)
      std::printf("%-50s %10.2f %7.2f\n", name, t, ratio);
  };
  for (const KRZTransferKind* k = KRZTransferKindsBegin(); k != KRZTransferKindsEnd(); ++k) {
    const bool fromA = !k->fromB;
    double* in = k->source != kFace ? (fromA ? cellA.data() : cellB.data())
                                    : (fromA ? faceA.data() : faceB.data());
    double* out =
        !k->toFace ? (fromA ? cellB.data() : cellA.data()) : (fromA ? faceB.data() : faceA.data());
    timed(
        k->name, [&] { k->Run(exchange, in, out); }, 1);
  }
  timed(
      "GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor",
      [&] {
        exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(cellA.data(), cellB.data());
      },
      2);
  std::fflush(stdout);
  return ok;
}
