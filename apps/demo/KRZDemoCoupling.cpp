#include "KRZDemoCoupling.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "KRZCoupledPair.h"
#include "KRZMeasure.h"
#include "KRZPartition.h"
#include "KRZPerformanceLog.h"
#include "KRZStages.h"

using namespace krz::coupling;

bool KRZDemoRun(CKRZCom& com, int myid, int nproc, const KRZDemoOptions& options,
                KRZDemoReport& report) {
  const int C = options.cells;
  KRZStages stages(com, myid, report.stages);
  const KRZCoupleDomain mesh[2] = {KRZBoxMesh(C, C, false), KRZBoxMesh(C, C, true)};
  KRZPairSide a, b;
  KRZPairSide* d[2] = {&a, &b};

  // Every rank makes both boxes; rank 0 partitions them with METIS (A and B with different
  // seeds) and sends the partitions to every rank.
  stages.Start();
  for (int s = 0; s < 2; ++s) {
    d[s]->mesh = &mesh[s];
    d[s]->isB = s == 1;
    if (myid == 0)
      d[s]->part = KRZPartition(mesh[s], nproc, s + 1);
    KRZShareFromRoot(com, d[s]->part);
  }
  stages.Record("mesh and METIS partitions (A, B)", stages.Stop(), 0, false);

  CKRZA2BExchange_BoundaryFace exchange;
  std::vector<int> partner[2], globalNumber[2], partnerNumber[2];
  KRZSetUpPair(stages, com, myid, nproc, d, exchange, partner, globalNumber, partnerNumber);
  int paired[2] = {0, 0}, mine[2];
  for (int s = 0; s < 2; ++s)
    mine[s] = static_cast<int>(partnerNumber[s].size()) - 1 -
              static_cast<int>(std::count(partnerNumber[s].begin() + 1, partnerNumber[s].end(), 0));
  com.AllSum(com.m_nTypeInt, mine, paired, 2, com.m_nCommHandle);

  // The toy conjugate problem: each step swaps the interface cells' values across (two-way
  // owner-to-ghost exchange), then every interface cell relaxes half-way to its ghost.
  std::vector<double> t[2] = {KRZInitialCells(a), KRZInitialCells(b)};
  stages.Start();
  for (int step = 0; step < options.steps; ++step) {
    exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(t[0].data(), t[1].data());
    KRZRelax(a, t[0]);
    KRZRelax(b, t[1]);
  }
  const double stepsMs = stages.Stop();
  stages.Record(std::to_string(options.steps) + " coupling steps (two-way exchange)", stepsMs,
                KRZCheckCoupling(d, t, partner, myid, nproc, options.steps));

  // Every transfer kind, in double and in int: median time of the runs, the last one checked.
  auto run = [&](const std::string& name, auto zero, const auto& check) {
    using T = decltype(zero);
    std::vector<double> times;
    int wrong = 0;
    for (int r = 0; r < std::max(options.reps, 1); ++r) {
      wrong = check(T(), [&](const std::function<void()>& transfer) {
        stages.Start();
        transfer();
        times.push_back(stages.Stop());
      });
    }
    std::sort(times.begin(), times.end());
    stages.Record(name + (sizeof(T) == sizeof(double) ? " (double)" : " (int)"),
                  times[times.size() / 2], wrong);
  };
  for (const KRZTransferKind* k = KRZTransferKindsBegin(); k != KRZTransferKindsEnd(); ++k) {
    const auto check = [&](auto zero, const KRZTimed& timed) {
      return KRZCheckTransfer<decltype(zero)>(exchange, *k, a, b, partner, myid, timed);
    };
    run(k->name, 0.0, check);
    run(k->name, 0, check);
  }
  // The two-way exchange in int as well (double ran in the coupling steps).
  run("ExchangeAB Owner2Neighbor", 0, [&](auto zero, const KRZTimed& timed) {
    return KRZCheckExchangeAB<decltype(zero)>(exchange, a, b, partner, myid, timed);
  });

  int ranks[2] = {0, 0};
  KRZRanksWithFaces(com, a, b, ranks);
  if (myid == 0) {
    report.ranks = nproc;
    report.cellsPerDomain = C * C * C;
    report.interfaceFaces = C * C;
    report.pairedA = paired[0];
    report.pairedB = paired[1];
    report.interfaceRanksA = ranks[0];
    report.interfaceRanksB = ranks[1];
    report.peakMiB = krz::measure::StatusMiB("VmHWM:");
    report.ok = stages.Ok();
  }
  return stages.Ok();
}

void KRZSetUpPair(KRZStages& stages, CKRZCom& com, int myid, int nproc, KRZPairSide* d[2],
                  CKRZA2BExchange_BoundaryFace& exchange, std::vector<int> partner[2],
                  std::vector<int> globalNumber[2], std::vector<int> partnerNumber[2]) {
  for (int s = 0; s < 2; ++s)
    partner[s] = KRZPartners(*d[s]->mesh, *d[1 - s]->mesh);
  stages.Start();
  for (KRZPairSide* x : {d[0], d[1]})
    x->Number(myid, nproc);
  stages.Record("local numbering of cells, nodes, faces", stages.Stop(), 0, false);

  // The node numbering goes to rank 0 with the collector; each domain's faces are numbered
  // globally on it.
  stages.Start();
  KRZChecker counts{myid};
  for (KRZPairSide* x : {d[0], d[1]}) {
    x->SetUp(com, myid, nproc);
    counts.Expect(x->face.GetFaceNumber_Global(), x->mesh->Faces(),
                  "interface faces of " + x->mesh->name);
  }
  stages.Record("node collection, face and boundary-face objects", stages.Stop(), counts.wrong);

  // Every face learns its partner's global number, checked against the serial pairing.
  stages.Start();
  KRZPairDomains(exchange, *d[0], *d[1]);
  const double pairingMs = stages.Stop();
  stages.Record("A/B relation by face matching", pairingMs,
                KRZCheckPairing(exchange, d, partner, myid, nproc, globalNumber, partnerNumber));
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
  if (KRZPerformanceLogOn()) { // rank 0's own counts (the table on standard output has them all)
    j["performance_log_rank0"] = nlohmann::json::array();
    for (const KRZLogEntry& e : KRZPerformanceLogOfThisRank())
      if (e.calls > 0)
        j["performance_log_rank0"].push_back({{"operation", e.operation},
                                              {"calls", e.calls},
                                              {"seconds", e.seconds},
                                              {"wait_seconds", e.waitSeconds},
                                              {"messages_sent", e.messagesSent},
                                              {"messages_received", e.messagesReceived},
                                              {"bytes_sent", e.bytesSent},
                                              {"bytes_received", e.bytesReceived}});
  }
  return j.dump(2) + "\n";
}
