#include "KRZBenchExchange.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "CCOM_BroadTools.h"
#include "CKRZPostingCom.h"
#include "KRZCountingCom.h"
#include "KRZCoupledPair.h"
#include "KRZMeasure.h"

using namespace krz::measure;

void KRZBenchSlab(krz::coupling::KRZPairSide& side, const krz::coupling::KRZCoupleDomain& mesh,
                  int m, int myid, int nproc, bool isB) {
  side.mesh = &mesh;
  side.isB = isB;
  side.part.resize(static_cast<size_t>(mesh.Cells()));
  for (int c = 0; c < mesh.Cells(); ++c) // cell c+1 lies at (j, k) = (c % m, c / m)
    side.part[static_cast<size_t>(c)] =
        static_cast<int>(static_cast<long long>(isB ? c % m : c / m) * nproc / m);
  side.Number(myid, nproc);
}

namespace {

using namespace krz::coupling;
using E = CKRZA2BExchange_BoundaryFace;

// Both domains of one route: the objects set up through `com`, paired on rank 0.
struct Pair {
  KRZPairSide a, b;
  E exchange;
  double setupMs = 0, relationMs = 0;
  Pair(CKRZCom& com, const KRZCoupleDomain* mesh, int m, int myid, int nproc) {
    KRZBenchSlab(a, mesh[0], m, myid, nproc, false);
    KRZBenchSlab(b, mesh[1], m, myid, nproc, true);
    com.Barrier(com.m_nCommHandle);
    auto t0 = Clock::now();
    a.SetUp(com, myid, nproc);
    b.SetUp(com, myid, nproc);
    setupMs = Ms(t0, Clock::now());
    com.Barrier(com.m_nCommHandle);
    t0 = Clock::now();
    KRZPairDomains(exchange, a, b);
    relationMs = Ms(t0, Clock::now());
  }
};

// The exchange a team would write by hand for the same coupling, from the meshes every rank
// holds: each rank's values packed per destination in the order of the target's local faces,
// posted at once, unpacked by index. Source and target positions are array indices (cells or
// faces), so one object serves every transfer kind.
struct HandWritten {
  std::vector<int> sendPeer, sendFirst{0}, sendIndex, recvPeer, recvFirst{0}, recvIndex;
  std::vector<double> send, recv;

  // from -> to: local face i of `from` (source index source(i)) goes to the rank holding its
  // partner, at target index target(j) of that rank's local face j.
  template <class Source, class Target>
  HandWritten(const KRZPairSide& from, const KRZPairSide& to, int nproc, Source source,
              Target target) {
    const std::vector<int> partner = KRZPartners(*from.mesh, *to.mesh);
    const std::vector<int> back = KRZPartners(*to.mesh, *from.mesh);
    std::vector<int> localOf(static_cast<size_t>(std::max(from.mesh->Faces(), to.mesh->Faces())) +
                             1);
    std::vector<int> toLocal(static_cast<size_t>(to.mesh->Faces()) + 1);
    for (int q = 0; q < nproc; ++q) {
      const std::vector<int> list = to.FacesOf(q);
      for (size_t j = 0; j < list.size(); ++j)
        toLocal[static_cast<size_t>(list[j])] = static_cast<int>(j) + 1;
    }
    // Sends: (rank of the target, its local face, my source index), sorted by the first two.
    std::vector<std::array<int, 3>> out;
    for (int i = 1; i <= from.Faces(); ++i) {
      const int g = partner[static_cast<size_t>(from.faces[static_cast<size_t>(i)])];
      if (g != 0)
        out.push_back({to.RankOf(g), toLocal[static_cast<size_t>(g)], source(i)});
    }
    Group(out, sendPeer, sendFirst, sendIndex);
    // Receives: every local face of `to` whose partner is held somewhere, by source rank.
    std::vector<std::array<int, 3>> in;
    for (int j = 1; j <= to.Faces(); ++j) {
      const int g = back[static_cast<size_t>(to.faces[static_cast<size_t>(j)])];
      if (g != 0)
        in.push_back({from.RankOf(g), j, target(j)});
    }
    Group(in, recvPeer, recvFirst, recvIndex);
    send.resize(sendIndex.size());
    recv.resize(recvIndex.size());
  }

  // (peer, order, index) entries sorted, then grouped by peer: one block of indices per peer.
  static void Group(std::vector<std::array<int, 3>>& entries, std::vector<int>& peer,
                    std::vector<int>& first, std::vector<int>& index) {
    std::sort(entries.begin(), entries.end());
    for (const auto& e : entries) {
      if (peer.empty() || peer.back() != e[0]) {
        peer.push_back(e[0]);
        first.push_back(first.back());
      }
      index.push_back(e[2]);
      ++first.back();
    }
  }

  void Run(CKRZPostingCom& post, CKRZCom& com, int myid, const double* in, double* out) {
    const int type = com.m_nTypeDouble;
    for (size_t k = 0; k < recvPeer.size(); ++k)
      if (recvPeer[k] != myid)
        post.PostRecv(type, recv.data() + recvFirst[k], recvFirst[k + 1] - recvFirst[k],
                      recvPeer[k], 777);
    for (size_t m = 0; m < sendIndex.size(); ++m)
      send[m] = in[sendIndex[m]];
    for (size_t k = 0; k < sendPeer.size(); ++k) {
      if (sendPeer[k] != myid) {
        post.PostSend(type, send.data() + sendFirst[k], sendFirst[k + 1] - sendFirst[k],
                      sendPeer[k], 777);
        continue;
      }
      const size_t r =
          static_cast<size_t>(std::find(recvPeer.begin(), recvPeer.end(), myid) - recvPeer.begin());
      std::copy(send.begin() + sendFirst[k], send.begin() + sendFirst[k + 1],
                recv.begin() + recvFirst[r]);
    }
    post.WaitAll();
    for (size_t m = 0; m < recvIndex.size(); ++m)
      out[recvIndex[m]] = recv[m];
  }
};

struct Arrays {
  std::vector<double> cellA, cellB, faceA, faceB;
  explicit Arrays(const Pair& p)
      : cellA(static_cast<size_t>(p.a.CellArraySize())),
        cellB(static_cast<size_t>(p.b.CellArraySize())),
        faceA(static_cast<size_t>(p.a.Faces()) + 1), faceB(static_cast<size_t>(p.b.Faces()) + 1) {
    Reset();
  }
  void Reset() {
    for (std::vector<double>* v : {&cellA, &cellB, &faceA, &faceB})
      for (size_t i = 0; i < v->size(); ++i)
        (*v)[i] = 0.25 * static_cast<double>(i) + (v == &cellA ? 1 : v == &cellB ? 2 : 3);
  }
  bool operator==(const Arrays& o) const {
    return cellA == o.cellA && cellB == o.cellB && faceA == o.faceA && faceB == o.faceB;
  }
};

// One steady face-to-face transfer A to B on each route: the messages and bytes every rank sent
// and received, counted by its communicator, against what the partition predicts. Through rank 0:
// every other rank sends its source faces' values to rank 0 and receives its target faces' values
// from it (8 bytes each, and the array's element 0 with every message). Direct: each rank sends to
// and receives from the ranks its lists name, 8 bytes per target face held elsewhere, nothing
// through rank 0 (the hand-written exchange's lists, built independently from the meshes). Prints
// rank 0's figures and the largest of the other ranks'; false where a count differs from its
// prediction.
bool Traffic(CKRZCom& com, int myid, int nproc, Pair& direct, Pair* relay, CKRZCountingCom& counted,
             CKRZCountingCom& blocking, const HandWritten& lists, bool posting) {
  std::vector<double> faceA(static_cast<size_t>(direct.a.Faces()) + 1, 1.0);
  std::vector<double> faceB(static_cast<size_t>(direct.b.Faces()) + 1, 0.0);
  struct Route {
    const char* name;
    Pair* pair;
    CKRZCountingCom* com;
    long long predicted[4]; // messages sent, received; bytes sent, received
  };
  long long sendTo = 0, recvFrom = 0, valuesOut = 0, valuesIn = 0;
  for (size_t k = 0; k < lists.sendPeer.size(); ++k)
    if (lists.sendPeer[k] != myid) {
      ++sendTo;
      valuesOut += lists.sendFirst[k + 1] - lists.sendFirst[k];
    }
  for (size_t k = 0; k < lists.recvPeer.size(); ++k)
    if (lists.recvPeer[k] != myid) {
      ++recvFrom;
      valuesIn += lists.recvFirst[k + 1] - lists.recvFirst[k];
    }
  long long othersA = 0, othersB = 0; // the other ranks' local faces (rank 0's view)
  for (int p = 1; p < nproc; ++p) {
    othersA += static_cast<long long>(direct.a.FacesOf(p).size());
    othersB += static_cast<long long>(direct.b.FacesOf(p).size());
  }
  // (A blocking message carries the array's element 0 too: one value more.)
  const long long relayRoot[4] = {nproc - 1, nproc - 1, 8 * (othersB + nproc - 1),
                                  8 * (othersA + nproc - 1)};
  const long long relayOther[4] = {1, 1, 8LL * (direct.a.Faces() + 1),
                                   8LL * (direct.b.Faces() + 1)};
  std::vector<Route> routes;
  if (posting)
    routes.push_back(
        {"direct", &direct, &counted, {sendTo, recvFrom, 8 * valuesOut, 8 * valuesIn}});
  if (relay != nullptr || !posting)
    routes.push_back({"through rank 0",
                      relay != nullptr ? relay : &direct,
                      relay != nullptr ? &blocking : &counted,
                      {0, 0, 0, 0}});
  bool ok = true;
  if (myid == 0)
    std::printf("traffic of one face-to-face transfer A to B, measured (predicted): messages "
                "sent/received, kB sent/received, collective calls\n");
  for (Route& r : routes) {
    if (r.pair != &direct || !posting)
      for (int i = 0; i < 4; ++i)
        r.predicted[i] = nproc == 1 ? 0 : myid == 0 ? relayRoot[i] : relayOther[i];
    r.pair->exchange.GetFaceValue_A2B_FromFace2Face(faceA.data(), faceB.data()); // steady
    com.Barrier(com.m_nCommHandle);
    r.com->Reset();
    r.pair->exchange.GetFaceValue_A2B_FromFace2Face(faceA.data(), faceB.data());
    const KRZTraffic t = r.com->Traffic();
    const long long measured[5] = {t.sent, t.received, t.bytesSent, t.bytesReceived, t.collectives};
    int same = 1;
    for (int i = 0; i < 4; ++i)
      same &= measured[i] == r.predicted[i] ? 1 : 0;
    if (same == 0)
      std::printf("  %s, rank %d: %lld/%lld messages, %lld/%lld bytes; predicted %lld/%lld, "
                  "%lld/%lld\n",
                  r.name, myid, measured[0], measured[1], measured[2], measured[3], r.predicted[0],
                  r.predicted[1], r.predicted[2], r.predicted[3]);
    // The largest of the other ranks' figures, on rank 0 (as doubles: AllMin of the negatives).
    double mine[10], least[10];
    for (int i = 0; i < 5; ++i) {
      mine[i] = myid == 0 ? 0.0 : -static_cast<double>(measured[i]);
      mine[5 + i] = i < 4 && myid != 0 ? -static_cast<double>(r.predicted[i]) : 0.0;
    }
    com.AllMin(com.m_nTypeDouble, mine, least, 10, com.m_nCommHandle);
    int all = 0;
    com.AllMin(com.m_nTypeInt, &same, &all, 1, com.m_nCommHandle);
    ok &= all != 0;
    if (myid != 0)
      continue;
    auto line = [&](const char* who, const double* m, const double* p) {
      std::printf("  %-15s %-12s %4.0f/%-4.0f (%.0f/%.0f)  %10.1f/%-10.1f (%.1f/%.1f)  %3.0f\n",
                  r.name, who, m[0], m[1], p[0], p[1], m[2] / 1e3, m[3] / 1e3, p[2] / 1e3,
                  p[3] / 1e3, m[4]);
    };
    double m0[5], p0[4], mo[5], po[4];
    for (int i = 0; i < 5; ++i)
      m0[i] = static_cast<double>(measured[i]), mo[i] = -least[i];
    for (int i = 0; i < 4; ++i)
      p0[i] = static_cast<double>(r.predicted[i]), po[i] = -least[5 + i];
    line("rank 0", m0, p0);
    if (nproc > 1)
      line("largest other", mo, po);
    if (all == 0)
      std::printf("  %s: a rank's traffic differs from its prediction\n", r.name);
  }
  return ok;
}

// Rank 0's sweep count on every rank (the ranks must sweep alike to be timed together).
void BroadcastSteps(CKRZCom& com, double& steps) {
  com.Broadcast(com.m_nTypeDouble, &steps, 1, 0, com.m_nCommHandle);
}

} // namespace

bool KRZBenchExchange(CKRZCom& com, int myid, int nproc, long long faces, int reps,
                      const char* engine) {
  const int m = static_cast<int>(std::lround(std::sqrt(static_cast<double>(faces))));
  const int comm = com.m_nCommHandle;
  const KRZCoupleDomain mesh[2] = {KRZBoxMesh(1, m, false), KRZBoxMesh(1, m, true)};
  // The direct route where the engine posts; the route through rank 0 through a communicator
  // that offers only the six blocking operations.
  // Both count their traffic (a counter per call, nothing the timings notice).
  CKRZPostingCom* post = dynamic_cast<CKRZPostingCom*>(&com);
  std::unique_ptr<CKRZCountingCom> counted(post != nullptr ? new CKRZCountingPostingCom(com, *post)
                                                           : new CKRZCountingCom(com));
  CKRZCountingCom blocking(com);
  Pair direct(*counted, mesh, m, myid, nproc);
  std::unique_ptr<Pair> relay(post != nullptr ? new Pair(blocking, mesh, m, myid, nproc) : nullptr);

  // Floor: one gather plus one scatter of the same number of doubles through rank 0.
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(direct.a.Faces());
  std::vector<double> local(static_cast<size_t>(direct.a.Faces()) + 1, 1.0);
  double* global = nullptr;
  double* back = local.data();
  tools.GetGlobalArrayFromLocalArray(local.data(), global);
  std::vector<double> floor;
  for (int r = 0; r < reps; ++r) {
    com.Barrier(comm);
    const auto start = Clock::now();
    tools.GetGlobalArrayFromLocalArray(local.data(), global);
    tools.GetLocalArrayFromGlobalArray(global, back);
    floor.push_back(Ms(start, Clock::now()));
  }
  delete[] global;
  const double floorMs = Median(floor);

  // The first transfer of the direct route builds and hands out its plan; the second is steady.
  std::vector<double> probeA(static_cast<size_t>(direct.a.Faces()) + 1, 1.0);
  std::vector<double> probeB(static_cast<size_t>(direct.b.Faces()) + 1, 0.0);
  com.Barrier(comm);
  const auto planStart = Clock::now();
  direct.exchange.GetFaceValue_A2B_FromFace2Face(probeA.data(), probeB.data());
  const double planMs = Ms(planStart, Clock::now());
  if (myid == 0)
    std::printf("%-8s ranks %d, %lld faces per domain: set-up %.1f ms, relation %.1f ms "
                "(through rank 0: %.1f ms), first transfer (plan) %.1f ms, gather+scatter %.2f "
                "ms\n%-50s %9s %9s %9s %8s %8s %8s\n",
                engine, nproc, static_cast<long long>(m) * m, direct.setupMs, direct.relationMs,
                relay ? relay->relationMs : direct.relationMs, planMs, floorMs, "transfer (double)",
                post != nullptr ? "direct" : "relay", "relay", "by hand", "d/hand", "d/relay",
                "d/g+s");
  bool ok = true;
  Arrays values(direct), relayed(direct);
  auto median = [&](const std::function<void()>& run) {
    run(); // warm-up: work arrays and buffers
    std::vector<double> times;
    for (int r = 0; r < reps; ++r) {
      com.Barrier(comm);
      const auto t0 = Clock::now();
      run();
      times.push_back(Ms(t0, Clock::now()));
    }
    return Median(times);
  };
  // One row: the transfer on both routes (checked to leave identical arrays) and by hand.
  auto row = [&](const char* name, const std::function<void(E&, Arrays&)>& run, HandWritten* hand,
                 const std::function<void(HandWritten&, Arrays&)>& byHand, int passes) {
    values.Reset();
    relayed.Reset();
    const double d = median([&] { run(direct.exchange, values); });
    double r = 0, h = 0;
    if (relay) {
      r = median([&] { run(relay->exchange, relayed); });
      values.Reset();
      relayed.Reset();
      run(direct.exchange, values);
      run(relay->exchange, relayed);
      if (!(values == relayed)) {
        ok = false;
        std::printf("rank %d: %s: the two routes left different arrays\n", myid, name);
      }
    }
    if (hand != nullptr && post != nullptr)
      h = median([&] { byHand(*hand, values); });
    if (myid == 0)
      std::printf("%-50s %9.2f %9.2f %9.2f %8.2f %8.2f %8.2f\n", name, d, r, h, h > 0 ? d / h : 0.0,
                  r > 0 ? d / r : 0.0, d / (passes * floorMs));
  };
  using krz::coupling::KRZValueKind;
  const KRZPairSide& a = direct.a;
  const KRZPairSide& b = direct.b;
  const int cellsA = a.Cells(), cellsB = b.Cells();
  HandWritten ownerToGhostAB(
      a, b, nproc, [&](int i) { return a.owner[static_cast<size_t>(i)]; },
      [&](int j) { return cellsB + j; });
  HandWritten ownerToGhostBA(
      b, a, nproc, [&](int i) { return b.owner[static_cast<size_t>(i)]; },
      [&](int j) { return cellsA + j; });
  HandWritten faceToFaceAB(
      a, b, nproc, [](int i) { return i; }, [](int j) { return j; });
  for (const KRZTransferKind* k = KRZTransferKindsBegin(); k != KRZTransferKindsEnd(); ++k) {
    const bool fromA = !k->fromB;
    auto run = [k, fromA](E& e, Arrays& v) {
      double* in = k->source != kFace ? (fromA ? v.cellA.data() : v.cellB.data())
                                      : (fromA ? v.faceA.data() : v.faceB.data());
      double* out = !k->toFace ? (fromA ? v.cellB.data() : v.cellA.data())
                               : (fromA ? v.faceB.data() : v.faceA.data());
      k->Run(e, in, out);
    };
    const bool ownerToGhost = k->source == kOwner && !k->toFace && fromA;
    const bool faceToFace = k->source == kFace && k->toFace && fromA;
    HandWritten* hand = ownerToGhost ? &ownerToGhostAB : faceToFace ? &faceToFaceAB : nullptr;
    row(
        k->name, run, hand,
        [&](HandWritten& h, Arrays& v) {
          h.Run(*post, com, myid, ownerToGhost ? v.cellA.data() : v.faceA.data(),
                ownerToGhost ? v.cellB.data() : v.faceB.data());
        },
        1);
  }
  row(
      "GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor",
      [](E& e, Arrays& v) {
        e.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(v.cellA.data(), v.cellB.data());
      },
      &ownerToGhostAB,
      [&](HandWritten& h, Arrays& v) {
        h.Run(*post, com, myid, v.cellA.data(), v.cellB.data());
        ownerToGhostBA.Run(*post, com, myid, v.cellB.data(), v.cellA.data());
      },
      2);

  ok &= Traffic(com, myid, nproc, direct, relay.get(), *counted, blocking, faceToFaceAB,
                post != nullptr);

  // Overlap: a toy solver step (sweeps of a three-point stencil over this rank's cells, on a
  // field of its own) with the two-way exchange in flight between its _Begin and _End, against
  // the larger of the two alone. The sweeps are as many as take about as long as the exchange.
  std::vector<double> field(static_cast<size_t>(a.Cells()) + 2, 1.0), next(field);
  auto sweep = [&](int sweeps) {
    for (int k = 0; k < sweeps; ++k) {
      for (size_t c = 1; c + 1 < field.size(); ++c)
        next[c] = 0.5 * field[c] + 0.25 * (field[c - 1] + field[c + 1]);
      field.swap(next);
    }
  };
  values.Reset();
  E& e = direct.exchange;
  const double exchangeMs = median([&] {
    e.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(values.cellA.data(), values.cellB.data());
  });
  const double sweepMs = std::max(median([&] { sweep(1); }), 1e-3);
  double steps = std::max(1.0, std::round(exchangeMs / sweepMs));
  BroadcastSteps(com, steps);
  const int sweeps = static_cast<int>(steps);
  const double stencilMs = median([&] { sweep(sweeps); });
  const double overlapMs = median([&] {
    e.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor_Begin(values.cellA.data(),
                                                               values.cellB.data());
    sweep(sweeps);
    e.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor_End(values.cellA.data(),
                                                             values.cellB.data());
  });
  if (myid == 0)
    std::printf("overlap: two-way exchange %.2f ms, stencil step (%d sweeps) %.2f ms, both "
                "overlapped %.2f ms, ratio to the larger %.2f\n",
                exchangeMs, sweeps, stencilMs, overlapMs,
                overlapMs / std::max(exchangeMs, stencilMs));
  std::fflush(stdout);
  return ok;
}
