#include "KRZCouple.h"

#include <metis.h>

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
#include "KRZInterfaceSetUp.h"
#include "KRZTransferKinds.h"
#include "KRZVtuWriter.h"

namespace {

using E = CKRZA2BExchange_BoundaryFace;

// Rank 0's arrays to every rank (the length first).
template <class T> void Share(CKRZCom& com, std::vector<T>& v) {
  int n = static_cast<int>(v.size());
  com.Broadcast(com.m_nTypeInt, &n, 1, 0, com.m_nCommHandle);
  v.resize(static_cast<size_t>(n));
  if (n > 0)
    com.Broadcast(std::is_same_v<T, double> ? com.m_nTypeDouble : com.m_nTypeInt, v.data(), n, 0,
                  com.m_nCommHandle);
}

void ShareDomain(CKRZCom& com, KRZCoupleDomain& d) {
  Share(com, d.xyz);
  Share(com, d.common);
  Share(com, d.cellStart);
  Share(com, d.cellNodes);
  Share(com, d.cellType);
  Share(com, d.faceStart);
  Share(com, d.faceNodes);
  Share(com, d.faceOwner);
}

// Rank 0: the part (0..nparts-1) of every cell, from METIS on the cells' shared faces.
std::vector<int> Partition(const KRZCoupleDomain& d, int nparts, int seed) {
  std::vector<int> part(static_cast<size_t>(d.Cells()), 0);
  if (nparts < 2)
    return part;
  idx_t ne = d.Cells(), nn = d.Nodes(), ncommon = 3, np = nparts, objval = 0;
  std::vector<idx_t> eptr(d.cellStart.begin(), d.cellStart.end());
  std::vector<idx_t> eind(d.cellNodes.size());
  for (size_t k = 0; k < eind.size(); ++k)
    eind[k] = d.cellNodes[k] - 1;
  std::vector<idx_t> epart(static_cast<size_t>(ne)), npart(static_cast<size_t>(nn));
  idx_t options[METIS_NOPTIONS];
  METIS_SetDefaultOptions(options);
  options[METIS_OPTION_SEED] = seed;
  METIS_PartMeshDual(&ne, &nn, eptr.data(), eind.data(), nullptr, nullptr, &ncommon, &np, nullptr,
                     options, &objval, epart.data(), npart.data());
  std::copy(epart.begin(), epart.end(), part.begin());
  return part;
}

// One domain as this rank holds it. Cells 1..Cells() are its own; cell Cells()+f is the ghost
// (neighbour) cell of local interface face f.
struct Domain {
  const KRZCoupleDomain* mesh = nullptr;
  bool isB = false;
  std::vector<int> part;      // rank of every cell of the mesh (index c-1)
  std::vector<int> cells{0};  // local cell -> mesh cell
  std::vector<int> nodes{0};  // local node -> common node number
  std::vector<int> localNode; // mesh node -> local node (0: not here)
  std::vector<int> faces{0};  // local face -> mesh face
  std::vector<std::array<int, 5>> records{{0, 0, 0, 0, 0}};
  std::vector<int*> table;
  std::vector<int> owner{0}, neighbor{0};
  CKRZL2GBroadTools_Face face;
  CKRZL2GBroadTools_BoundaryFace boundary;

  int Cells() const { return static_cast<int>(cells.size()) - 1; }
  int Faces() const { return static_cast<int>(faces.size()) - 1; }
  int CellArraySize() const { return Cells() + Faces() + 1; }
  int OwnerOf(int meshFace) const { return mesh->faceOwner[static_cast<size_t>(meshFace) - 1]; }
  int RankOf(int meshFace) const { return part[static_cast<size_t>(OwnerOf(meshFace)) - 1]; }

  // The interface faces of rank p in its local order: mesh order for A, backwards for B (so the
  // two domains number their shared faces differently).
  std::vector<int> FacesOf(int p) const {
    std::vector<int> list;
    for (int f = 1; f <= mesh->Faces(); ++f)
      if (RankOf(f) == p)
        list.push_back(f);
    if (isB)
      std::reverse(list.begin(), list.end());
    return list;
  }

  // With one rank, local node numbers are the common ones (a one-rank run has no node table to
  // convert them).
  void Number(int myid, int nproc) {
    std::vector<int> localCell(static_cast<size_t>(mesh->Cells()) + 1, 0);
    localNode.assign(static_cast<size_t>(mesh->Nodes()) + 1, 0);
    auto local = [&](int n) {
      int& l = localNode[static_cast<size_t>(n)];
      if (l == 0) {
        nodes.push_back(mesh->common[static_cast<size_t>(n)]);
        l = nproc == 1 ? mesh->common[static_cast<size_t>(n)] : static_cast<int>(nodes.size()) - 1;
      }
      return l;
    };
    for (int c = 1; c <= mesh->Cells(); ++c) {
      if (part[static_cast<size_t>(c) - 1] != myid)
        continue;
      cells.push_back(c);
      localCell[static_cast<size_t>(c)] = Cells();
      for (int k = mesh->cellStart[static_cast<size_t>(c) - 1];
           k < mesh->cellStart[static_cast<size_t>(c)]; ++k)
        local(mesh->cellNodes[static_cast<size_t>(k)]);
    }
    for (int f : FacesOf(myid)) {
      std::array<int, 5> r{0, 0, 0, 0, 0};
      for (int k = mesh->faceStart[static_cast<size_t>(f) - 1];
           k < mesh->faceStart[static_cast<size_t>(f)]; ++k)
        r[static_cast<size_t>(++r[0])] = local(mesh->faceNodes[static_cast<size_t>(k)]);
      records.push_back(r);
      faces.push_back(f);
      owner.push_back(localCell[static_cast<size_t>(OwnerOf(f))]);
    }
    for (int f = 1; f <= Faces(); ++f)
      neighbor.push_back(Cells() + f);
    table.assign(1, nullptr);
    for (int f = 1; f <= Faces(); ++f)
      table.push_back(records[static_cast<size_t>(f)].data());
  }
};

// Serial pairing: the face of the other domain with the same common node set, 0 for none.
std::vector<int> Partners(const KRZCoupleDomain& from, const KRZCoupleDomain& to) {
  auto key = [](const KRZCoupleDomain& d, int f) {
    std::array<int, 4> k{0, 0, 0, 0};
    const int a = d.faceStart[static_cast<size_t>(f) - 1], b = d.faceStart[static_cast<size_t>(f)];
    for (int i = a; i < b; ++i)
      k[static_cast<size_t>(i - a)] =
          d.common[static_cast<size_t>(d.faceNodes[static_cast<size_t>(i)])];
    std::sort(k.begin(), k.end());
    return k;
  };
  std::map<std::array<int, 4>, int> index;
  for (int g = 1; g <= to.Faces(); ++g)
    index.emplace(key(to, g), g);
  std::vector<int> partner(static_cast<size_t>(from.Faces()) + 1, 0);
  for (int f = 1; f <= from.Faces(); ++f) {
    const auto it = index.find(key(from, f));
    partner[static_cast<size_t>(f)] = it != index.end() ? it->second : 0;
  }
  return partner;
}

// Known values (KRZValueCode): owner cells carry their mesh cell number, ghosts and faces their
// mesh face number. An unpaired target receives 0.
using Kind = KRZValueKind;

template <class T> T SourceValue(const Domain& d, Kind kind, int meshFace) {
  const int v = kind == kOwner ? d.OwnerOf(meshFace) : meshFace;
  return static_cast<T>(KRZValueCode(d.isB, kind, v)) +
         static_cast<T>(std::is_same_v<T, double> ? 0.5 : 0);
}

template <class T> std::vector<T> SourceArray(const Domain& d, Kind kind) {
  if (kind == kFace) {
    std::vector<T> v(static_cast<size_t>(d.Faces()) + 1, T());
    for (int f = 1; f <= d.Faces(); ++f)
      v[static_cast<size_t>(f)] = SourceValue<T>(d, kFace, d.faces[static_cast<size_t>(f)]);
    return v;
  }
  std::vector<T> v(static_cast<size_t>(d.CellArraySize()), T());
  for (int f = 1; f <= d.Faces(); ++f) {
    v[static_cast<size_t>(d.owner[static_cast<size_t>(f)])] =
        SourceValue<T>(d, kOwner, d.faces[static_cast<size_t>(f)]);
    v[static_cast<size_t>(d.neighbor[static_cast<size_t>(f)])] =
        SourceValue<T>(d, kGhost, d.faces[static_cast<size_t>(f)]);
  }
  return v;
}

template <class T>
int CheckTransfer(E& exchange, const KRZTransferKind& t, Domain& a, Domain& b,
                  const std::vector<int>* partner, int myid) {
  Domain& from = t.fromB ? b : a;
  Domain& to = t.fromB ? a : b;
  std::vector<T> in = SourceArray<T>(from, t.source);
  std::vector<T> out(t.toFace ? static_cast<size_t>(to.Faces()) + 1
                              : static_cast<size_t>(to.CellArraySize()),
                     static_cast<T>(-1));
  t.Run(exchange, in.data(), out.data());
  KRZChecker check{myid};
  const std::vector<int>& toPartner = partner[to.isB ? 1 : 0];
  for (int f = 1; f <= to.Faces(); ++f) {
    const int g = toPartner[static_cast<size_t>(to.faces[static_cast<size_t>(f)])];
    const T expected = g != 0 ? SourceValue<T>(from, t.source, g) : T();
    const int at = t.toFace ? f : to.neighbor[static_cast<size_t>(f)];
    check.Expect(out[static_cast<size_t>(at)], expected,
                 std::string(t.name) + " at face " + std::to_string(f));
  }
  return check.wrong;
}

// The toy conjugate problem, serially on the whole meshes: each step every interface face's ghost
// takes the partner's owner-cell value (0 unpaired), then every rank relaxes its interface cells
// face by face in its local order. Returns the cell values of both domains.
std::array<std::vector<double>, 2>
SerialCoupling(const Domain* d[2], const std::vector<int>* partner, int nproc, int steps) {
  std::array<std::vector<double>, 2> t;
  for (int s = 0; s < 2; ++s) {
    t[static_cast<size_t>(s)].assign(static_cast<size_t>(d[s]->mesh->Cells()) + 1, 0.0);
    for (int c = 1; c <= d[s]->mesh->Cells(); ++c)
      t[static_cast<size_t>(s)][static_cast<size_t>(c)] =
          s == 0 ? 1.0 + (c % 97) * 0.01 : (c % 89) * 0.01;
  }
  std::vector<std::vector<int>> faceOrder[2];
  for (int s = 0; s < 2; ++s)
    for (int p = 0; p < nproc; ++p)
      faceOrder[s].push_back(d[s]->FacesOf(p));
  for (int step = 0; step < steps; ++step) {
    std::array<std::vector<double>, 2> ghost;
    for (int s = 0; s < 2; ++s) {
      const int o = 1 - s;
      ghost[static_cast<size_t>(s)].assign(static_cast<size_t>(d[s]->mesh->Faces()) + 1, 0.0);
      for (int f = 1; f <= d[s]->mesh->Faces(); ++f) {
        const int g = partner[s][static_cast<size_t>(f)];
        ghost[static_cast<size_t>(s)][static_cast<size_t>(f)] =
            g != 0 ? t[static_cast<size_t>(o)][static_cast<size_t>(d[o]->OwnerOf(g))] : 0.0;
      }
    }
    for (int s = 0; s < 2; ++s)
      for (const auto& list : faceOrder[s])
        for (int f : list) {
          double& cell = t[static_cast<size_t>(s)][static_cast<size_t>(d[s]->OwnerOf(f))];
          cell += 0.5 * (ghost[static_cast<size_t>(s)][static_cast<size_t>(f)] - cell);
        }
  }
  return t;
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
KRZVtuPiece InterfacePiece(const Domain& d, int myid, const std::vector<int>& globalNumber,
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

KRZVtuPiece CellPiece(const Domain& d, int myid) {
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

  Domain a, b;
  Domain* d[2] = {&a, &b};
  stages.Start();
  for (int s = 0; s < 2; ++s) {
    d[s]->isB = s == 1;
    d[s]->mesh = &mesh[s];
    if (myid == 0) {
      if (mesh[s].Cells() > 1000000)
        std::cout << "partitioning domain " << (s == 0 ? "A" : "B") << " (" << mesh[s].Cells()
                  << " cells) ..." << std::endl;
      d[s]->part = Partition(mesh[s], nproc, s + 1);
    }
  }
  stages.Record("METIS partitions (rank 0)", stages.Stop(), 0, false);

  stages.Start();
  for (int s = 0; s < 2; ++s) {
    ShareDomain(com, mesh[s]);
    Share(com, d[s]->part);
  }
  stages.Record("meshes and partitions to every rank", stages.Stop(), 0, false);

  stages.Start();
  a.Number(myid, nproc);
  b.Number(myid, nproc);
  stages.Record("local numbering of cells, nodes, faces", stages.Stop(), 0, false);

  stages.Start();
  for (Domain* x : d)
    KRZSetUpInterface(com, myid, nproc, x->nodes, x->table, x->owner, x->neighbor, x->face,
                      x->boundary);
  KRZChecker counts{myid};
  counts.Expect(a.face.GetFaceNumber_Global(), mesh[0].Faces(), "interface faces of A");
  counts.Expect(b.face.GetFaceNumber_Global(), mesh[1].Faces(), "interface faces of B");
  stages.Record("node collection, face and boundary-face objects", stages.Stop(), counts.wrong);

  // Pairing: the library's, by node set on rank 0, against the serial one.
  const std::vector<int> partner[2] = {Partners(mesh[0], mesh[1]), Partners(mesh[1], mesh[0])};
  stages.Start();
  E exchange;
  KRZPairDomains(exchange, a.face, b.face, a.boundary, b.boundary);
  const double pairingMs = stages.Stop();
  // Each side's global face numbers cross over: a face learns its partner's number (0: none).
  std::vector<int> globalNumber[2], partnerNumber[2];
  KRZChecker pairing{myid};
  for (int s = 0; s < 2; ++s) {
    int first = 0;
    for (int p = 0; p < myid; ++p)
      first += d[s]->face.GetFaceNumber_Local(p);
    globalNumber[s].assign(static_cast<size_t>(d[s]->Faces()) + 1, 0);
    for (int f = 1; f <= d[s]->Faces(); ++f)
      globalNumber[s][static_cast<size_t>(f)] = first + f; // the default face numbering
  }
  for (int s = 0; s < 2; ++s) {
    const int o = 1 - s;
    partnerNumber[o].assign(static_cast<size_t>(d[o]->Faces()) + 1, 0);
    std::vector<int> mine = globalNumber[s];
    if (s == 0)
      exchange.GetFaceValue_A2B_FromFace2Face(mine.data(), partnerNumber[o].data());
    else
      exchange.GetFaceValue_B2A_FromFace2Face(mine.data(), partnerNumber[o].data());
  }
  // The serial partner's global number, computed from the same local orders.
  std::vector<std::map<int, int>> numberOf(2);
  for (int s = 0; s < 2; ++s) {
    int next = 0;
    for (int p = 0; p < nproc; ++p)
      for (int f : d[s]->FacesOf(p))
        numberOf[static_cast<size_t>(s)][f] = ++next;
  }
  for (int s = 0; s < 2; ++s)
    for (int f = 1; f <= d[s]->Faces(); ++f) {
      const int g = partner[s][static_cast<size_t>(d[s]->faces[static_cast<size_t>(f)])];
      pairing.Expect(partnerNumber[s][static_cast<size_t>(f)],
                     g != 0 ? numberOf[static_cast<size_t>(1 - s)][g] : 0,
                     std::string("partner of a face of ") + (s == 0 ? "A" : "B"));
    }
  stages.Record("A/B relation by face matching", pairingMs, pairing.wrong);

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
  std::vector<double> t[2];
  for (int s = 0; s < 2; ++s) {
    t[s].assign(static_cast<size_t>(d[s]->CellArraySize()), 0.0);
    for (int c = 1; c <= d[s]->Cells(); ++c) {
      const int mc = d[s]->cells[static_cast<size_t>(c)];
      t[s][static_cast<size_t>(c)] = s == 0 ? 1.0 + (mc % 97) * 0.01 : (mc % 89) * 0.01;
    }
  }
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
    const auto t0 = krzbench::Clock::now();
    exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(t[0].data(), t[1].data());
    exchangeMs += krzbench::Ms(t0, krzbench::Clock::now());
    for (int s = 0; s < 2; ++s)
      KRZRelax(d[s]->owner, d[s]->neighbor, t[s]);
    writeStep(step);
  }
  const double stepsMs = stages.Stop();
  const Domain* cd[2] = {&a, &b};
  const auto serial = SerialCoupling(cd, partner, nproc, options.steps);
  KRZChecker coupling{myid};
  for (int s = 0; s < 2; ++s)
    for (int c = 1; c <= d[s]->Cells(); ++c)
      coupling.Expect(
          t[s][static_cast<size_t>(c)],
          serial[static_cast<size_t>(s)][static_cast<size_t>(d[s]->cells[static_cast<size_t>(c)])],
          std::string("coupled cell of ") + (s == 0 ? "A" : "B"));
  stages.Record(std::to_string(options.steps) + " coupling steps (exchange " +
                    std::to_string(static_cast<int>(exchangeMs + 0.5)) + " ms)",
                stepsMs, coupling.wrong);

  for (const KRZTransferKind* k = KRZTransferKindsBegin(); k != KRZTransferKindsEnd(); ++k) {
    stages.Start();
    const int wrong = CheckTransfer<double>(exchange, *k, a, b, partner, myid) +
                      CheckTransfer<int>(exchange, *k, a, b, partner, myid);
    stages.Record(std::string(k->name) + " (double, int)", stages.Stop(), wrong);
  }

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
  KRZRanksWithFaces(com, a.Faces(), b.Faces(), ranks);
  if (myid == 0) {
    report.ranks = nproc;
    for (int s = 0; s < 2; ++s)
      report.side[s].ranksWithFaces = ranks[s];
    std::cout << "ranks holding interface faces: A " << ranks[0] << ", B " << ranks[1] << " of "
              << nproc << std::endl;
    report.peakMiB = krzbench::StatusMiB("VmHWM:");
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
