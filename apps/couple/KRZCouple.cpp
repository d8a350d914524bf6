#include "KRZCouple.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "CKRZA2BExchange_BoundaryFace.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"
#include "KRZCoupleMesh.h"
#include "KRZCoupledPair.h"
#include "KRZDemoCoupling.h"
#include "KRZPartition.h"
#include "KRZVtuWriter.h"

namespace {

using namespace krz::coupling;
using E = CKRZA2BExchange_BoundaryFace;

void ShareDomain(CKRZCom& com, KRZCoupleDomain& d) {
  for (std::vector<int>* v : {&d.common, &d.cellStart, &d.cellNodes, &d.cellType, &d.faceStart,
                              &d.faceNodes, &d.faceOwner})
    KRZShareFromRoot(com, *v);
  KRZShareFromRoot(com, d.xyz);
}

// The piece's point of mesh node n, added on first use.
int32_t PointOf(KRZVtuPiece& piece, std::map<int, int>& point, const KRZCoupleDomain& mesh, int n) {
  auto it = point.find(n);
  if (it == point.end()) {
    it = point.emplace(n, static_cast<int>(piece.points.size() / 3)).first;
    for (int j = 0; j < 3; ++j)
      piece.points.push_back(mesh.xyz[3 * static_cast<size_t>(n - 1) + static_cast<size_t>(j)]);
  }
  return it->second;
}

// ParaView output of this rank: the interface faces of a domain at one step, and its cells.
KRZVtuPiece InterfacePiece(const KRZPairSide& d, int myid, const std::vector<int>& globalNumber,
                           const std::vector<int>& partnerNumber,
                           const std::vector<double>& value) {
  KRZVtuPiece piece;
  std::map<int, int> point; // mesh node -> piece point
  std::vector<int32_t> global, rank, paired, partner;
  std::vector<double> values;
  for (int f = 1; f <= d.Faces(); ++f) {
    const int mf = d.faces[static_cast<size_t>(f)];
    const int a = d.mesh->faceStart[static_cast<size_t>(mf) - 1],
              b = d.mesh->faceStart[static_cast<size_t>(mf)];
    for (int k = a; k < b; ++k) {
      piece.connectivity.push_back(
          PointOf(piece, point, *d.mesh, d.mesh->faceNodes[static_cast<size_t>(k)]));
    }
    piece.offsets.push_back(static_cast<int32_t>(piece.connectivity.size()));
    piece.types.push_back(b - a == 3 ? 5 : 9); // VTK triangle, quad
    global.push_back(globalNumber[static_cast<size_t>(f)]);
    rank.push_back(myid);
    paired.push_back(partnerNumber[static_cast<size_t>(f)] != 0 ? 1 : 0);
    partner.push_back(partnerNumber[static_cast<size_t>(f)]);
    values.push_back(value[static_cast<size_t>(f)]);
  }
  piece.intFields = {
      {"global_face", global}, {"rank", rank}, {"paired", paired}, {"partner_face", partner}};
  piece.doubleFields = {{"exchanged_value", values}};
  return piece;
}

KRZVtuPiece CellPiece(const KRZPairSide& d, int myid) {
  KRZVtuPiece piece;
  std::map<int, int> point;
  std::vector<int32_t> rank, cell;
  for (int c = 1; c <= d.Cells(); ++c) {
    const int mc = d.cells[static_cast<size_t>(c)];
    for (int k = d.mesh->cellStart[static_cast<size_t>(mc) - 1];
         k < d.mesh->cellStart[static_cast<size_t>(mc)]; ++k) {
      piece.connectivity.push_back(
          PointOf(piece, point, *d.mesh, d.mesh->cellNodes[static_cast<size_t>(k)]));
    }
    piece.offsets.push_back(static_cast<int32_t>(piece.connectivity.size()));
    piece.types.push_back(static_cast<uint8_t>(d.mesh->cellType[static_cast<size_t>(mc) - 1]));
    rank.push_back(myid);
    cell.push_back(mc);
  }
  piece.intFields = {{"rank", rank}, {"cell", cell}};
  return piece;
}

// Writes one piece per rank and, on rank 0, the .pvtu over the ranks. Returns this rank's error.
std::string WritePieces(const std::string& dir, const std::string& base, const KRZVtuPiece& piece,
                        int myid, int nproc) {
  std::string error = KRZWriteVtu(dir + "/" + base + "_p" + std::to_string(myid) + ".vtu", piece);
  if (myid == 0 && error.empty()) {
    std::vector<std::string> pieces;
    for (int p = 0; p < nproc; ++p)
      pieces.push_back(base + "_p" + std::to_string(p) + ".vtu");
    error = KRZWritePvtu(dir + "/" + base + ".pvtu", pieces, piece);
  }
  return error;
}

} // namespace

bool KRZCoupleRun(CKRZCom& com, int myid, int nproc, const KRZCoupleOptions& options,
                  KRZCoupleReport& report) {
  KRZStages stages(com, myid, report.stages);
  KRZCoupleDomain mesh[2];
  // Rank 0 reads; every rank learns whether it could.
  KRZReadFigures read;
  if (myid == 0) {
    std::cout << "reading " << options.meshA
              << (options.meshB.empty() ? "" : " and " + options.meshB) << " ..." << std::endl;
    report.error = KRZReadCoupledMeshes(options.meshA, options.meshB, options.tolerance, mesh[0],
                                        mesh[1], read);
  }
  int failed = report.error.empty() ? 0 : 1;
  com.Broadcast(com.m_nTypeInt, &failed, 1, 0, com.m_nCommHandle);
  if (failed != 0)
    return false;
  stages.Record("read meshes (rank 0, Gmsh)", read.readMs, 0, false);
  if (!options.meshB.empty())
    stages.Record("merge " + std::to_string(read.candidateNodes) + " boundary nodes (" +
                      std::to_string(read.mergedNodes) + " pairs)",
                  read.mergeMs, 0, false);

  KRZPairSide a, b;
  KRZPairSide* d[2] = {&a, &b};
  stages.Start();
  for (int s = 0; s < 2; ++s) {
    d[s]->isB = s == 1;
    d[s]->mesh = &mesh[s];
    if (myid == 0) {
      if (mesh[s].Cells() > 1000000)
        std::cout << "partitioning domain " << (s == 0 ? "A" : "B") << " (" << mesh[s].Cells()
                  << " cells) ..." << std::endl;
      d[s]->part = KRZPartition(mesh[s], nproc, s + 1);
    }
  }
  stages.Record("METIS partitions (rank 0)", stages.Stop(), 0, false);

  stages.Start();
  for (int s = 0; s < 2; ++s) {
    ShareDomain(com, mesh[s]);
    KRZShareFromRoot(com, d[s]->part);
  }
  stages.Record("meshes and partitions to every rank", stages.Stop(), 0, false);

  // Pairing: the library's, by node set on rank 0, against the serial one.
  E exchange;
  std::vector<int> partner[2], globalNumber[2], partnerNumber[2];
  KRZSetUpPair(stages, com, myid, nproc, d, exchange, partner, globalNumber, partnerNumber);

  if (myid == 0) {
    for (int s = 0; s < 2; ++s) {
      KRZCoupleSide& side = report.side[s];
      side.cells = mesh[s].Cells();
      side.faces = mesh[s].Faces();
      for (int f = 1; f <= mesh[s].Faces(); ++f) {
        if (partner[s][static_cast<size_t>(f)] != 0) {
          ++side.paired;
          continue;
        }
        if (side.unpaired.size() >= 5)
          continue;
        const int rank = d[s]->RankOf(f);
        const std::vector<int> order = d[s]->FacesOf(rank);
        const auto c = mesh[s].Centroid(f);
        std::ostringstream line;
        line << "rank " << rank << ", local face "
             << std::find(order.begin(), order.end(), f) - order.begin() + 1 << ", centroid ("
             << c[0] << ", " << c[1] << ", " << c[2] << ")";
        side.unpaired.push_back(line.str());
      }
      std::cout << "domain " << (s == 0 ? "A" : "B") << ": " << side.cells << " cells, "
                << side.faces << " interface faces, " << side.paired << " paired, "
                << side.faces - side.paired << " unpaired" << std::endl;
      for (const std::string& u : side.unpaired)
        std::cout << "  unpaired: " << u << std::endl;
    }
  }

  // The coupling steps, with the interface written after each step.
  std::vector<double> t[2] = {KRZInitialCells(a), KRZInitialCells(b)};
  std::string writeError;
  std::vector<std::pair<double, std::string>> pvd[2];
  auto writeStep = [&](int step) {
    if (options.vtuDirectory.empty())
      return;
    for (int s = 0; s < 2; ++s) {
      std::vector<double> ghost(static_cast<size_t>(d[s]->Faces()) + 1, 0.0);
      for (int f = 1; f <= d[s]->Faces(); ++f)
        ghost[static_cast<size_t>(f)] =
            t[s][static_cast<size_t>(d[s]->neighbor[static_cast<size_t>(f)])];
      const std::string base =
          std::string("interface_") + (s == 0 ? "A" : "B") + "_step" + std::to_string(step);
      const std::string e = WritePieces(
          options.vtuDirectory, base,
          InterfacePiece(*d[s], myid, globalNumber[s], partnerNumber[s], ghost), myid, nproc);
      if (writeError.empty())
        writeError = e;
      pvd[s].emplace_back(step, base + ".pvtu");
    }
  };
  writeStep(0);
  stages.Start();
  double exchangeMs = 0;
  for (int step = 1; step <= options.steps; ++step) {
    const auto t0 = krz::measure::Clock::now();
    exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(t[0].data(), t[1].data());
    exchangeMs += krz::measure::Ms(t0, krz::measure::Clock::now());
    for (int s = 0; s < 2; ++s)
      KRZRelax(*d[s], t[s]);
    writeStep(step);
  }
  const double stepsMs = stages.Stop();
  stages.Record(std::to_string(options.steps) + " coupling steps (exchange " +
                    std::to_string(static_cast<int>(exchangeMs + 0.5)) + " ms)",
                stepsMs, KRZCheckCoupling(d, t, partner, myid, nproc, options.steps));

  for (const KRZTransferKind* k = KRZTransferKindsBegin(); k != KRZTransferKindsEnd(); ++k) {
    stages.Start();
    const int wrong = KRZCheckTransfer<double>(exchange, *k, a, b, partner, myid) +
                      KRZCheckTransfer<int>(exchange, *k, a, b, partner, myid);
    stages.Record(std::string(k->name) + " (double, int)", stages.Stop(), wrong);
  }
  stages.Start();
  const int wrongExchange = KRZCheckExchangeAB<double>(exchange, a, b, partner, myid) +
                            KRZCheckExchangeAB<int>(exchange, a, b, partner, myid);
  stages.Record("ExchangeAB Owner2Neighbor (double, int)", stages.Stop(), wrongExchange);

  // ParaView: the partitions, and the collections over the steps.
  if (!options.vtuDirectory.empty()) {
    stages.Start();
    for (int s = 0; s < 2; ++s) {
      const std::string e =
          WritePieces(options.vtuDirectory, std::string("cells_") + (s == 0 ? "A" : "B"),
                      CellPiece(*d[s], myid), myid, nproc);
      if (writeError.empty())
        writeError = e;
      if (myid == 0 && writeError.empty())
        writeError = KRZWritePvd(
            options.vtuDirectory + "/interface_" + (s == 0 ? "A" : "B") + ".pvd", pvd[s]);
    }
    if (!writeError.empty())
      std::cout << "rank " << myid << ": " << writeError << std::endl;
    stages.Record("ParaView files in " + options.vtuDirectory, stages.Stop(),
                  writeError.empty() ? 0 : 1);
  }

  int ranks[2] = {0, 0};
  KRZRanksWithFaces(com, a, b, ranks);
  if (myid == 0) {
    report.ranks = nproc;
    for (int s = 0; s < 2; ++s)
      report.side[s].ranksWithFaces = ranks[s];
    std::cout << "ranks holding interface faces: A " << ranks[0] << ", B " << ranks[1] << " of "
              << nproc << std::endl;
    report.peakMiB = krz::measure::StatusMiB("VmHWM:");
    report.ok = stages.Ok();
  }
  return stages.Ok();
}

std::string KRZCoupleJson(const KRZCoupleReport& r) {
  nlohmann::json j;
  j["ranks"] = r.ranks;
  j["ok"] = r.ok;
  j["peak_rss_rank0_mib"] = r.peakMiB;
  for (int s = 0; s < 2; ++s) {
    const KRZCoupleSide& side = r.side[s];
    j["domains"][s == 0 ? "A" : "B"] = {{"cells", side.cells},
                                        {"interface_faces", side.faces},
                                        {"paired", side.paired},
                                        {"unpaired", side.faces - side.paired},
                                        {"ranks_with_interface", side.ranksWithFaces},
                                        {"first_unpaired", side.unpaired}};
  }
  for (const KRZStageRow& st : r.stages)
    j["stages"].push_back({{"what", st.what}, {"ms", st.ms}, {"check", st.check}});
  if (!r.error.empty())
    j["error"] = r.error;
  return j.dump(2) + "\n";
}
