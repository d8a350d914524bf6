#include "KRZBenchExchange.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "CCOM_BroadTools.h"
#include "CKRZA2BExchange_BoundaryFace.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"
#include "KRZBenchUtil.h"
#include "KRZTransferKinds.h"

using namespace krzbench;

namespace {

// The interface: an m x m grid of quads with globally numbered nodes. Domain A cuts it into
// rows of ranks, domain B into columns, with its own local order and each face's nodes rotated.
struct Side {
  std::vector<std::array<int, 5>> records; // local faces, entry 0 unused
  std::vector<int> nodes;                  // local node -> global node, entry 0 unused
};

Side BuildSide(int m, int nproc, int p, bool domainB) {
  auto node = [m](int i, int j) { return 1 + i + (m + 1) * j; };
  std::vector<int> local(static_cast<size_t>(m + 1) * (m + 1) + 1, 0);
  Side s;
  s.records.push_back({0, 0, 0, 0, 0});
  s.nodes.push_back(0);
  auto add = [&](int i, int j) {
    std::array<int, 4> quad{node(i, j), node(i + 1, j), node(i + 1, j + 1), node(i, j + 1)};
    std::array<int, 5> r{4, 0, 0, 0, 0};
    for (int k = 0; k < 4; ++k) {
      const int g = quad[static_cast<size_t>(domainB ? (k + 1) % 4 : k)];
      int& l = local[static_cast<size_t>(g)];
      if (l == 0) {
        l = static_cast<int>(s.nodes.size());
        s.nodes.push_back(g);
      }
      r[static_cast<size_t>(k) + 1] = l;
    }
    s.records.push_back(r);
  };
  const int first = static_cast<int>(static_cast<long long>(p) * m / nproc);
  const int last = static_cast<int>(static_cast<long long>(p + 1) * m / nproc);
  for (int a = last - 1; a >= first && domainB; --a) // B: columns, last face first
    for (int j = m - 1; j >= 0; --j)
      add(a, j);
  for (int a = first; a < last && !domainB; ++a) // A: rows in grid order
    for (int i = 0; i < m; ++i)
      add(i, a);
  return s;
}

// One domain's objects on this rank.
struct Domain {
  Side mine;
  std::vector<Side> all; // rank 0: every rank's side, for the node map
  std::vector<int*> table, nodeMap;
  std::vector<int> owner, neighbor;
  CKRZL2GBroadTools_Face face;
  CKRZL2GBroadTools_BoundaryFace boundary;

  Domain(CKRZCom& com, int myid, int nproc, int m, bool domainB) {
    mine = BuildSide(m, nproc, myid, domainB);
    if (myid == 0)
      for (int p = 0; p < nproc; ++p)
        all.push_back(p == 0 ? mine : BuildSide(m, nproc, p, domainB));
    for (Side& s : all)
      nodeMap.push_back(s.nodes.data());
    table.push_back(nullptr);
    for (size_t i = 1; i < mine.records.size(); ++i)
      table.push_back(mine.records[i].data());
    const int n = Count();
    for (int i = 0; i <= n; ++i) {
      owner.push_back(i);
      neighbor.push_back(i == 0 ? 0 : n + i);
    }
    face.SetInitialize(myid, nproc, &com);
    face.SetLocalFace20(n, table.data());
    face.SetL2GMapRelation(myid == 0 ? nodeMap.data() : nullptr, nullptr);
    boundary.SetBoundaryFaceRelation(&face);
    boundary.SetLocalFace_BoundaryCellID(n, owner.data(), neighbor.data());
  }
  int Count() const { return static_cast<int>(mine.records.size()) - 1; }
};

using E = CKRZA2BExchange_BoundaryFace;

} // namespace

bool KRZBenchExchange(CKRZCom& com, int myid, int nproc, long long faces, int reps,
                      const char* engine) {
  const int m = static_cast<int>(std::lround(std::sqrt(static_cast<double>(faces))));
  const int comm = com.m_nCommHandle;
  auto t0 = Clock::now();
  Domain a(com, myid, nproc, m, false);
  Domain b(com, myid, nproc, m, true);
  const double setupMs = Ms(t0, Clock::now());
  E exchange;
  exchange.SetL2G_Face(&a.face, &b.face);
  exchange.SetL2G_BoundaryFace(&a.boundary, &b.boundary);
  com.Barrier(comm);
  t0 = Clock::now();
  exchange.SetA2BRelation(nullptr, nullptr);
  const double relationMs = Ms(t0, Clock::now());

  // Floor: one gather plus one scatter of the same number of doubles through rank 0.
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(a.Count());
  std::vector<double> local(static_cast<size_t>(a.Count()) + 1, 1.0);
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

  const size_t cellsA = 2 * static_cast<size_t>(a.Count()) + 1;
  const size_t cellsB = 2 * static_cast<size_t>(b.Count()) + 1;
  std::vector<double> cellA(cellsA, 1.0), cellB(cellsB, 2.0);
  std::vector<double> faceA(static_cast<size_t>(a.Count()) + 1, 3.0);
  std::vector<double> faceB(static_cast<size_t>(b.Count()) + 1, 4.0);
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
