#include "KRZDemoCoupling.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "CKRZA2BExchange_BoundaryFace.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"
#include "KRZBenchUtil.h"
#include "KRZDemoMesh.h"
#include "KRZInterfaceSetUp.h"
#include "KRZStages.h"
#include "KRZTransferKinds.h"

namespace {

using krzbench::Clock;
using krzbench::Ms;

// One domain as this rank holds it: its cells, nodes and interface faces in local numbering.
// Cells 1..nCells are its own; cell nCells + f is the ghost (neighbour) cell of interface face f.
struct Domain {
  KRZDemoBox box;
  std::vector<int> part;     // rank of every global cell (same on every rank)
  std::vector<int> cells{0}; // local cell -> global cell
  std::vector<int> nodes{0}; // local node -> global node
  std::vector<std::array<int, 5>> faces{{0, 0, 0, 0, 0}};
  std::vector<std::pair<int, int>> jk{{0, 0}}; // interface position (j, k) of each local face
  std::vector<int> owner{0}, neighbor{0};
  std::vector<int*> table;
  CKRZL2GBroadTools_Face face;
  CKRZL2GBroadTools_BoundaryFace boundary;

  int Cells() const { return static_cast<int>(cells.size()) - 1; }
  int Faces() const { return static_cast<int>(faces.size()) - 1; }
  int CellArraySize() const { return Cells() + Faces() + 1; }

  // Local numbering. With one rank the local node numbers are the global ones: a one-rank run
  // takes local node numbers as global (there is no node table to convert them).
  void Number(int myid, int nproc) {
    const int C = box.C;
    std::vector<int> localCell(static_cast<size_t>(box.Cells()) + 1, 0);
    std::vector<int> localNode(static_cast<size_t>(box.Node(C, C, C)) + 1, 0);
    for (int c = 1; c <= box.Cells(); ++c) {
      if (part[static_cast<size_t>(c)] != myid)
        continue;
      cells.push_back(c);
      localCell[static_cast<size_t>(c)] = Cells();
      for (int g : box.CellNodes(c)) {
        int& l = localNode[static_cast<size_t>(g)];
        if (l == 0) {
          nodes.push_back(g);
          l = nproc == 1 ? g : static_cast<int>(nodes.size()) - 1;
        }
      }
    }
    // Interface faces in an order of the domain's own: A by rows, B backwards.
    std::vector<std::pair<int, int>> mine;
    for (int k = 0; k < C; ++k)
      for (int j = 0; j < C; ++j)
        if (part[static_cast<size_t>(box.InterfaceCell(j, k))] == myid)
          mine.emplace_back(j, k);
    if (box.isB)
      std::reverse(mine.begin(), mine.end());
    for (const auto& [j, k] : mine) {
      const auto n = box.InterfaceNodes(j, k);
      faces.push_back({4, localNode[static_cast<size_t>(n[0])],
                       localNode[static_cast<size_t>(n[1])], localNode[static_cast<size_t>(n[2])],
                       localNode[static_cast<size_t>(n[3])]});
      jk.emplace_back(j, k);
      owner.push_back(localCell[static_cast<size_t>(box.InterfaceCell(j, k))]);
    }
    for (int f = 1; f <= Faces(); ++f)
      neighbor.push_back(Cells() + f);
    table.assign(1, nullptr);
    for (int f = 1; f <= Faces(); ++f)
      table.push_back(faces[static_cast<size_t>(f)].data());
  }
};

// Known values (KRZValueCode): owner cells carry their global cell number, ghost and face values
// their interface position.
using Kind = KRZValueKind;
int Position(const KRZDemoBox& box, int j, int k) { return 1 + j + box.C * k; }

using Stages = KRZStages;
using Checker = KRZChecker;
using E = CKRZA2BExchange_BoundaryFace;
using TransferKind = KRZTransferKind;

// The value a transfer reads at interface position (j, k) of a domain (serial definition).
template <class T> T SourceValue(const KRZDemoBox& box, Kind kind, int j, int k) {
  const int v = kind == kOwner ? box.InterfaceCell(j, k) : Position(box, j, k);
  return static_cast<T>(KRZValueCode(box.isB, kind, v)) +
         static_cast<T>(sizeof(T) == sizeof(double) ? 0.5 : 0);
}

// The source array of a domain for one kind: cell values (owners and ghosts) or face values.
template <class T> std::vector<T> SourceArray(const Domain& d, Kind kind) {
  if (kind == kFace) {
    std::vector<T> v(static_cast<size_t>(d.Faces()) + 1, T());
    for (int f = 1; f <= d.Faces(); ++f)
      v[static_cast<size_t>(f)] = SourceValue<T>(d.box, kFace, d.jk[f].first, d.jk[f].second);
    return v;
  }
  std::vector<T> v(static_cast<size_t>(d.CellArraySize()), T());
  for (int f = 1; f <= d.Faces(); ++f) {
    v[static_cast<size_t>(d.owner[f])] =
        SourceValue<T>(d.box, kOwner, d.jk[f].first, d.jk[f].second);
    v[static_cast<size_t>(d.neighbor[f])] =
        SourceValue<T>(d.box, kGhost, d.jk[f].first, d.jk[f].second);
  }
  return v;
}

// Runs one transfer (timed alone) and counts the wrong values it left on this rank.
template <class T>
int CheckTransfer(E& exchange, const TransferKind& t, Domain& a, Domain& b, int myid,
                  Stages& stages, double& ms) {
  Domain& from = t.fromB ? b : a;
  Domain& to = t.fromB ? a : b;
  std::vector<T> in = SourceArray<T>(from, t.source);
  std::vector<T> out(t.toFace ? static_cast<size_t>(to.Faces()) + 1
                              : static_cast<size_t>(to.CellArraySize()),
                     static_cast<T>(-1));
  stages.Start();
  t.Run(exchange, in.data(), out.data());
  ms = stages.Stop();
  // The faces pair by position (j, k): the target at (j, k) holds the source's value there.
  Checker check{myid};
  for (int f = 1; f <= to.Faces(); ++f) {
    const int at = t.toFace ? f : to.neighbor[f];
    check.Expect(out[static_cast<size_t>(at)],
                 SourceValue<T>(from.box, t.source, to.jk[f].first, to.jk[f].second),
                 std::string(t.name) + " at interface face (" + std::to_string(to.jk[f].first) +
                     ", " + std::to_string(to.jk[f].second) + ")");
  }
  if (!t.toFace)
    for (int c = 1; c <= to.Cells(); ++c)
      check.Expect(out[static_cast<size_t>(c)], static_cast<T>(-1),
                   std::string(t.name) + ": a cell that is no neighbour cell changed");
  return check.wrong;
}

} // namespace

bool KRZDemoRun(CKRZCom& com, int myid, int nproc, const KRZDemoOptions& options,
                KRZDemoReport& report) {
  const int C = options.cells;
  Stages stages(com, myid, report.stages);
  Domain a, b;
  a.box = {C, false};
  b.box = {C, true};

  // Rank 0 partitions both meshes with METIS (A and B with different seeds) and sends the
  // partitions to every rank.
  stages.Start();
  for (Domain* d : {&a, &b}) {
    if (myid == 0)
      d->part = KRZDemoPartition(d->box, nproc, d->box.isB ? 2 : 1);
    else
      d->part.assign(static_cast<size_t>(d->box.Cells()) + 1, 0);
    com.Broadcast(com.m_nTypeInt, d->part.data(), d->box.Cells() + 1, 0, com.m_nCommHandle);
  }
  stages.Record("mesh and METIS partitions (A, B)", stages.Stop(), 0, false);

  stages.Start();
  a.Number(myid, nproc);
  b.Number(myid, nproc);
  stages.Record("local numbering of cells, nodes, faces", stages.Stop(), 0, false);

  // The node numbering goes to rank 0 with the collector; each domain's faces are numbered
  // globally on it.
  stages.Start();
  for (Domain* d : {&a, &b})
    KRZSetUpInterface(com, myid, nproc, d->nodes, d->table, d->owner, d->neighbor, d->face,
                      d->boundary);
  Checker faces{myid};
  faces.Expect(a.face.GetFaceNumber_Global(), C * C, "interface faces of A");
  faces.Expect(b.face.GetFaceNumber_Global(), C * C, "interface faces of B");
  stages.Record("node collection, face and boundary-face objects", stages.Stop(), faces.wrong);

  stages.Start();
  E exchange;
  KRZPairDomains(exchange, a.face, b.face, a.boundary, b.boundary);
  const double relationMs = stages.Stop();
  // Paired faces: a 1 sent from every face of one side arrives at every paired face of the other.
  int paired[2] = {0, 0};
  for (int side = 0; side < 2; ++side) {
    Domain& from = side == 0 ? a : b;
    Domain& to = side == 0 ? b : a;
    std::vector<int> ones(static_cast<size_t>(from.Faces()) + 1, 1), got(to.jk.size(), 0);
    if (side == 0)
      exchange.GetFaceValue_A2B_FromFace2Face(ones.data(), got.data());
    else
      exchange.GetFaceValue_B2A_FromFace2Face(ones.data(), got.data());
    int mine = static_cast<int>(std::count(got.begin() + 1, got.end(), 1));
    com.AllSum(com.m_nTypeInt, &mine, &paired[side], 1, com.m_nCommHandle);
  }
  Checker pairing{myid};
  pairing.Expect(paired[0], C * C, "B faces paired");
  pairing.Expect(paired[1], C * C, "A faces paired");
  stages.Record("A/B relation by face matching", relationMs, pairing.wrong);

  // The toy conjugate problem: each step swaps the interface cells' values across (two-way
  // owner-to-neighbour exchange), then every interface cell relaxes half-way to its ghost.
  std::vector<double> ta(static_cast<size_t>(a.CellArraySize()), 0.0);
  std::vector<double> tb(static_cast<size_t>(b.CellArraySize()), 0.0);
  auto initial = [](bool isB, int cell) {
    return isB ? (cell % 89) * 0.01 : 1.0 + (cell % 97) * 0.01;
  };
  for (int c = 1; c <= a.Cells(); ++c)
    ta[static_cast<size_t>(c)] = initial(false, a.cells[static_cast<size_t>(c)]);
  for (int c = 1; c <= b.Cells(); ++c)
    tb[static_cast<size_t>(c)] = initial(true, b.cells[static_cast<size_t>(c)]);
  stages.Start();
  for (int s = 0; s < options.steps; ++s) {
    exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(ta.data(), tb.data());
    KRZRelax(a.owner, a.neighbor, ta);
    KRZRelax(b.owner, b.neighbor, tb);
  }
  const double stepsMs = stages.Stop();
  // Serially, interface position (j, k) pairs A's owner cell with B's: both relax together.
  Checker coupling{myid};
  auto serial = [&](int j, int k, bool wantB) {
    double x = initial(false, a.box.InterfaceCell(j, k)),
           y = initial(true, b.box.InterfaceCell(j, k));
    for (int s = 0; s < options.steps; ++s) {
      const double nx = x + 0.5 * (y - x), ny = y + 0.5 * (x - y);
      x = nx;
      y = ny;
    }
    return wantB ? y : x;
  };
  for (Domain* d : {&a, &b}) {
    std::vector<double>& t = d->box.isB ? tb : ta;
    for (int f = 1; f <= d->Faces(); ++f)
      coupling.Expect(t[static_cast<size_t>(d->owner[f])],
                      serial(d->jk[f].first, d->jk[f].second, d->box.isB),
                      std::string("coupled interface cell of ") + (d->box.isB ? "B" : "A"));
  }
  stages.Record(std::to_string(options.steps) + " coupling steps (two-way exchange)", stepsMs,
                coupling.wrong);

  // Every transfer kind, in double and in int: median time of the runs, the last one checked.
  auto run = [&](const TransferKind& t, auto zero) {
    using T = decltype(zero);
    std::vector<double> times;
    int wrong = 0;
    for (int r = 0; r < std::max(options.reps, 1); ++r) {
      double ms = 0;
      wrong = CheckTransfer<T>(exchange, t, a, b, myid, stages, ms);
      times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    stages.Record(std::string(t.name) + (sizeof(T) == sizeof(double) ? " (double)" : " (int)"),
                  times[times.size() / 2], wrong);
  };
  for (const TransferKind* t = KRZTransferKindsBegin(); t != KRZTransferKindsEnd(); ++t) {
    run(*t, 0.0);
    run(*t, 0);
  }
  // The eleventh kind, the two-way exchange, in int as well (double ran in the coupling steps).
  {
    std::vector<int> ca = SourceArray<int>(a, kOwner), cb = SourceArray<int>(b, kOwner);
    stages.Start();
    exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(ca.data(), cb.data());
    const double ms = stages.Stop();
    Checker check{myid};
    for (Domain* d : {&a, &b}) {
      const std::vector<int>& c = d->box.isB ? cb : ca;
      const KRZDemoBox& other = d->box.isB ? a.box : b.box;
      for (int f = 1; f <= d->Faces(); ++f)
        check.Expect(c[static_cast<size_t>(d->neighbor[f])],
                     SourceValue<int>(other, kOwner, d->jk[f].first, d->jk[f].second),
                     "ExchangeAB Owner2Neighbor");
    }
    stages.Record("ExchangeAB Owner2Neighbor (int)", ms, check.wrong);
  }

  int ranks[2] = {0, 0};
  KRZRanksWithFaces(com, a.Faces(), b.Faces(), ranks);
  if (myid == 0) {
    report.ranks = nproc;
    report.cellsPerDomain = C * C * C;
    report.interfaceFaces = C * C;
    report.pairedA = paired[1];
    report.pairedB = paired[0];
    report.interfaceRanksA = ranks[0];
    report.interfaceRanksB = ranks[1];
    report.peakMiB = krzbench::StatusMiB("VmHWM:");
    report.ok = stages.Ok();
  }
  return stages.Ok();
}

std::string KRZDemoJson(const KRZDemoReport& r) {
  nlohmann::json j;
  j["ranks"] = r.ranks;
  j["cells_per_domain"] = r.cellsPerDomain;
  j["interface_faces"] = r.interfaceFaces;
  j["paired_A"] = r.pairedA;
  j["unpaired_A"] = r.interfaceFaces - r.pairedA;
  j["paired_B"] = r.pairedB;
  j["unpaired_B"] = r.interfaceFaces - r.pairedB;
  j["ranks_with_interface_A"] = r.interfaceRanksA;
  j["ranks_with_interface_B"] = r.interfaceRanksB;
  j["peak_rss_rank0_mib"] = r.peakMiB;
  j["ok"] = r.ok;
  j["stages"] = nlohmann::json::array();
  for (const KRZStageRow& s : r.stages)
    j["stages"].push_back({{"what", s.what}, {"ms", s.ms}, {"check", s.check}});
  return j.dump(2) + "\n";
}
