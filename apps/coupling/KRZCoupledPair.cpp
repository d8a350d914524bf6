#include "KRZCoupledPair.h"

#include <algorithm>
#include <map>

#include "CCOM_BroadTools_CollectLocalArrayToMyid0.h"
#include "exchange/KRZA2BTransferList.h"

namespace krz::coupling {

namespace {

using E = CKRZA2BExchange_BoundaryFace;

size_t At(int i) { return static_cast<size_t>(i); }

// The known value of an item: a domain and kind offset plus the item's number.
template <class T> T SourceValue(const KRZPairSide& d, KRZValueKind kind, int meshFace) {
  const int v = kind == kOwner ? d.OwnerOf(meshFace) : meshFace;
  return static_cast<T>((d.isB ? 5000000 : 1000000) + kind * 1000000 + v) +
         static_cast<T>(std::is_same_v<T, double> ? 0.5 : 0);
}

// The value a target face of `to` should receive from `from` (0 when it has no partner).
template <class T>
T Expected(const KRZPairSide& from, const KRZPairSide& to, KRZValueKind kind,
           const std::vector<int> partner[2], int f) {
  const int g = partner[to.isB ? 1 : 0][At(to.faces[At(f)])];
  return g != 0 ? SourceValue<T>(from, kind, g) : T();
}

// A side's source array for one kind: cell values (owners and ghosts) or face values.
template <class T> std::vector<T> SourceArray(const KRZPairSide& d, KRZValueKind kind) {
  std::vector<T> v(At(kind == kFace ? d.Faces() + 1 : d.CellArraySize()), T());
  for (int f = 1; f <= d.Faces(); ++f) {
    const int mf = d.faces[At(f)];
    if (kind == kFace) {
      v[At(f)] = SourceValue<T>(d, kFace, mf);
      continue;
    }
    v[At(d.owner[At(f)])] = SourceValue<T>(d, kOwner, mf);
    v[At(d.neighbor[At(f)])] = SourceValue<T>(d, kGhost, mf);
  }
  return v;
}

void Run(const KRZTimed& timed, const std::function<void()>& transfer) {
  if (timed)
    timed(transfer);
  else
    transfer();
}

// Where a transfer comes from and what it reads and writes, by the exchange's list.
constexpr bool A = false, B = true;
constexpr KRZValueKind OwnerCell = kOwner, NeighborCell = kGhost, Face = kFace;
#define KRZ_KIND(name, from, source, target)                                                       \
  {#name, from, source, target == kFace, &E::name, &E::name},
const KRZTransferKind kKinds[] = {KRZ_A2B_ONE_WAY_TRANSFERS(KRZ_KIND)};
#undef KRZ_KIND

} // namespace

std::array<double, 3> KRZCoupleDomain::Centroid(int face) const {
  std::array<double, 3> c{0, 0, 0};
  const int from = faceStart[At(face) - 1], to = faceStart[At(face)];
  for (int k = from; k < to; ++k)
    for (size_t j = 0; j < 3; ++j)
      c[j] += xyz[3 * At(faceNodes[At(k)] - 1) + j];
  for (double& v : c)
    v /= std::max(to - from, 1);
  return c;
}

KRZCoupleDomain KRZBoxMesh(int nx, int n, bool isB) {
  KRZCoupleDomain d;
  d.name = isB ? "B" : "A";
  auto node = [nx, n](int i, int j, int k) { return 1 + i + (nx + 1) * (j + (n + 1) * k); };
  const int nodesA = node(nx, n, n);
  for (int k = 0; k <= n; ++k)
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i <= nx; ++i) {
        d.xyz.insert(d.xyz.end(), {static_cast<double>(isB ? nx + i : i), 1.0 * j, 1.0 * k});
        d.common.push_back(!isB ? node(i, j, k) : i == 0 ? node(nx, j, k) : nodesA + node(i, j, k));
      }
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < nx; ++i) {
        d.cellNodes.insert(d.cellNodes.end(),
                           {node(i, j, k), node(i + 1, j, k), node(i + 1, j + 1, k),
                            node(i, j + 1, k), node(i, j, k + 1), node(i + 1, j, k + 1),
                            node(i + 1, j + 1, k + 1), node(i, j + 1, k + 1)});
        d.cellStart.push_back(static_cast<int>(d.cellNodes.size()));
        d.cellType.push_back(kHexahedron);
      }
  const int i = isB ? 0 : nx;
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j) {
      if (isB)
        d.faceNodes.insert(d.faceNodes.end(), {node(i, j, k), node(i, j, k + 1),
                                               node(i, j + 1, k + 1), node(i, j + 1, k)});
      else
        d.faceNodes.insert(d.faceNodes.end(), {node(i, j, k), node(i, j + 1, k),
                                               node(i, j + 1, k + 1), node(i, j, k + 1)});
      d.faceStart.push_back(static_cast<int>(d.faceNodes.size()));
      d.faceOwner.push_back(1 + (isB ? 0 : nx - 1) + nx * (j + n * k));
    }
  return d;
}

template <class T> void KRZShareFromRoot(CKRZCom& com, std::vector<T>& v) {
  int n = static_cast<int>(v.size());
  com.Broadcast(com.m_nTypeInt, &n, 1, 0, com.m_nCommHandle);
  v.resize(At(n));
  if (n > 0)
    com.Broadcast(std::is_same_v<T, double> ? com.m_nTypeDouble : com.m_nTypeInt, v.data(), n, 0,
                  com.m_nCommHandle);
}
template void KRZShareFromRoot(CKRZCom&, std::vector<int>&);
template void KRZShareFromRoot(CKRZCom&, std::vector<double>&);

std::vector<int> KRZPairSide::FacesOf(int p) const {
  std::vector<int> list;
  for (int f = 1; f <= mesh->Faces(); ++f)
    if (RankOf(f) == p)
      list.push_back(f);
  if (isB)
    std::reverse(list.begin(), list.end());
  return list;
}

void KRZPairSide::Number(int myid, int nproc) {
  std::vector<int> localCell(At(mesh->Cells()) + 1, 0);
  localNode.assign(At(mesh->Nodes()) + 1, 0);
  auto local = [&](int n) {
    int& l = localNode[At(n)];
    if (l == 0) {
      nodes.push_back(mesh->common[At(n)]);
      l = nproc == 1 ? mesh->common[At(n)] : static_cast<int>(nodes.size()) - 1;
    }
    return l;
  };
  for (int c = 1; c <= mesh->Cells(); ++c) {
    if (part[At(c) - 1] != myid)
      continue;
    cells.push_back(c);
    localCell[At(c)] = Cells();
    for (int k = mesh->cellStart[At(c) - 1]; k < mesh->cellStart[At(c)]; ++k)
      local(mesh->cellNodes[At(k)]);
  }
  for (int f : FacesOf(myid)) {
    std::array<int, 5> r{0, 0, 0, 0, 0};
    for (int k = mesh->faceStart[At(f) - 1]; k < mesh->faceStart[At(f)]; ++k)
      r[At(++r[0])] = local(mesh->faceNodes[At(k)]);
    records.push_back(r);
    faces.push_back(f);
    owner.push_back(localCell[At(OwnerOf(f))]);
  }
  for (int f = 1; f <= Faces(); ++f)
    neighbor.push_back(Cells() + f);
  table.assign(1, nullptr);
  for (int f = 1; f <= Faces(); ++f)
    table.push_back(records[At(f)].data());
}

void KRZPairSide::SetUp(CKRZCom& com, int myid, int nproc) {
  CCOM_BroadTools_CollectLocalArrayToMyid0 collector;
  collector.SetInitialize(myid, nproc, &com);
  int** nodeMap =
      collector.CreateMyid0ArrayFromLocalArray(static_cast<int>(nodes.size()) - 1, nodes.data());
  face.SetInitialize(myid, nproc, &com);
  face.SetLocalFace20(Faces(), table.data());
  face.SetL2GMapRelation(nodeMap, nullptr); // rank 0's node table: ours, released below
  if (nodeMap != nullptr) {
    for (int p = 0; p < nproc; ++p)
      delete[] nodeMap[p];
    delete[] nodeMap;
  }
  boundary.SetBoundaryFaceRelation(&face);
  boundary.SetLocalFace_BoundaryCellID(Faces(), owner.data(), neighbor.data());
}

void KRZPairDomains(E& exchange, KRZPairSide& a, KRZPairSide& b) {
  exchange.SetL2G_Face(&a.face, &b.face);
  exchange.SetL2G_BoundaryFace(&a.boundary, &b.boundary);
  exchange.SetA2BRelation(nullptr, nullptr);
}

std::vector<int> KRZPartners(const KRZCoupleDomain& from, const KRZCoupleDomain& to) {
  auto key = [](const KRZCoupleDomain& d, int f) {
    std::array<int, 4> k{0, 0, 0, 0};
    const int a = d.faceStart[At(f) - 1], b = d.faceStart[At(f)];
    for (int i = a; i < b; ++i)
      k[At(i - a)] = d.common[At(d.faceNodes[At(i)])];
    std::sort(k.begin(), k.end());
    return k;
  };
  std::map<std::array<int, 4>, int> index;
  for (int g = 1; g <= to.Faces(); ++g)
    index.emplace(key(to, g), g);
  std::vector<int> partner(At(from.Faces()) + 1, 0);
  for (int f = 1; f <= from.Faces(); ++f) {
    const auto it = index.find(key(from, f));
    partner[At(f)] = it != index.end() ? it->second : 0;
  }
  return partner;
}

int KRZCheckPairing(E& exchange, KRZPairSide* d[2], const std::vector<int> partner[2], int myid,
                    int nproc, std::vector<int> globalNumber[2],
                    std::vector<int> partnerNumber[2]) {
  for (int s = 0; s < 2; ++s) {
    int first = 0; // the default face numbering: rank by rank in local order
    for (int p = 0; p < myid; ++p)
      first += d[s]->face.GetFaceNumber_Local(p);
    globalNumber[s].assign(At(d[s]->Faces()) + 1, 0);
    for (int f = 1; f <= d[s]->Faces(); ++f)
      globalNumber[s][At(f)] = first + f;
  }
  for (int s = 0; s < 2; ++s) {
    const int o = 1 - s;
    partnerNumber[o].assign(At(d[o]->Faces()) + 1, 0);
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
        numberOf[At(s)][f] = ++next;
  }
  KRZChecker check{myid};
  for (int s = 0; s < 2; ++s)
    for (int f = 1; f <= d[s]->Faces(); ++f) {
      const int g = partner[s][At(d[s]->faces[At(f)])];
      check.Expect(partnerNumber[s][At(f)], g != 0 ? numberOf[At(1 - s)][g] : 0,
                   std::string("partner of a face of ") + d[s]->mesh->name);
    }
  return check.wrong;
}

const KRZTransferKind* KRZTransferKindsBegin() { return kKinds; }
const KRZTransferKind* KRZTransferKindsEnd() { return kKinds + sizeof kKinds / sizeof kKinds[0]; }

template <class T>
int KRZCheckTransfer(E& exchange, const KRZTransferKind& kind, KRZPairSide& a, KRZPairSide& b,
                     const std::vector<int> partner[2], int myid, const KRZTimed& timed) {
  const KRZPairSide& from = kind.fromB ? b : a;
  const KRZPairSide& to = kind.fromB ? a : b;
  std::vector<T> in = SourceArray<T>(from, kind.source);
  std::vector<T> out(At(kind.toFace ? to.Faces() + 1 : to.CellArraySize()), static_cast<T>(-1));
  Run(timed, [&] { kind.Run(exchange, in.data(), out.data()); });
  KRZChecker check{myid};
  for (int f = 1; f <= to.Faces(); ++f)
    check.Expect(out[At(kind.toFace ? f : to.neighbor[At(f)])],
                 Expected<T>(from, to, kind.source, partner, f),
                 std::string(kind.name) + " at local face " + std::to_string(f));
  for (int c = 1; c <= to.Cells() && !kind.toFace; ++c)
    check.Expect(out[At(c)], static_cast<T>(-1),
                 std::string(kind.name) + ": a cell that is no ghost changed");
  return check.wrong;
}
template int KRZCheckTransfer<double>(E&, const KRZTransferKind&, KRZPairSide&, KRZPairSide&,
                                      const std::vector<int>[2], int, const KRZTimed&);
template int KRZCheckTransfer<int>(E&, const KRZTransferKind&, KRZPairSide&, KRZPairSide&,
                                   const std::vector<int>[2], int, const KRZTimed&);

template <class T>
int KRZCheckExchangeAB(E& exchange, KRZPairSide& a, KRZPairSide& b,
                       const std::vector<int> partner[2], int myid, const KRZTimed& timed) {
  std::vector<T> ca = SourceArray<T>(a, kOwner), cb = SourceArray<T>(b, kOwner);
  Run(timed,
      [&] { exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(ca.data(), cb.data()); });
  KRZChecker check{myid};
  for (const KRZPairSide* d : {&a, &b}) {
    const std::vector<T>& c = d->isB ? cb : ca;
    for (int f = 1; f <= d->Faces(); ++f)
      check.Expect(c[At(d->neighbor[At(f)])], Expected<T>(d->isB ? a : b, *d, kOwner, partner, f),
                   "ExchangeAB Owner2Neighbor at local face " + std::to_string(f));
  }
  return check.wrong;
}
template int KRZCheckExchangeAB<double>(E&, KRZPairSide&, KRZPairSide&, const std::vector<int>[2],
                                        int, const KRZTimed&);
template int KRZCheckExchangeAB<int>(E&, KRZPairSide&, KRZPairSide&, const std::vector<int>[2], int,
                                     const KRZTimed&);

namespace {
double InitialValue(bool isB, int meshCell) {
  return isB ? (meshCell % 89) * 0.01 : 1.0 + (meshCell % 97) * 0.01;
}
} // namespace

std::vector<double> KRZInitialCells(const KRZPairSide& side) {
  std::vector<double> t(At(side.CellArraySize()), 0.0);
  for (int c = 1; c <= side.Cells(); ++c)
    t[At(c)] = InitialValue(side.isB, side.cells[At(c)]);
  return t;
}

void KRZRelax(const KRZPairSide& side, std::vector<double>& cells) {
  for (int f = 1; f <= side.Faces(); ++f) {
    double& cell = cells[At(side.owner[At(f)])];
    cell += 0.5 * (cells[At(side.neighbor[At(f)])] - cell);
  }
}

int KRZCheckCoupling(KRZPairSide* const d[2], const std::vector<double> cells[2],
                     const std::vector<int> partner[2], int myid, int nproc, int steps) {
  std::array<std::vector<double>, 2> t;
  std::vector<std::vector<int>> faceOrder[2];
  for (int s = 0; s < 2; ++s) {
    t[At(s)].assign(At(d[s]->mesh->Cells()) + 1, 0.0);
    for (int c = 1; c <= d[s]->mesh->Cells(); ++c)
      t[At(s)][At(c)] = InitialValue(s == 1, c);
    for (int p = 0; p < nproc; ++p)
      faceOrder[s].push_back(d[s]->FacesOf(p));
  }
  for (int step = 0; step < steps; ++step) {
    std::array<std::vector<double>, 2> ghost;
    for (int s = 0; s < 2; ++s) {
      const int o = 1 - s;
      ghost[At(s)].assign(At(d[s]->mesh->Faces()) + 1, 0.0);
      for (int f = 1; f <= d[s]->mesh->Faces(); ++f) {
        const int g = partner[s][At(f)];
        ghost[At(s)][At(f)] = g != 0 ? t[At(o)][At(d[o]->OwnerOf(g))] : 0.0;
      }
    }
    for (int s = 0; s < 2; ++s)
      for (const auto& list : faceOrder[s])
        for (int f : list) {
          double& cell = t[At(s)][At(d[s]->OwnerOf(f))];
          cell += 0.5 * (ghost[At(s)][At(f)] - cell);
        }
  }
  KRZChecker check{myid};
  for (int s = 0; s < 2; ++s)
    for (int c = 1; c <= d[s]->Cells(); ++c)
      check.Expect(cells[s][At(c)], t[At(s)][At(d[s]->cells[At(c)])],
                   "coupled cell of " + d[s]->mesh->name);
  return check.wrong;
}

void KRZRanksWithFaces(CKRZCom& com, const KRZPairSide& a, const KRZPairSide& b, int ranks[2]) {
  int holds[2] = {a.Faces() > 0 ? 1 : 0, b.Faces() > 0 ? 1 : 0};
  com.AllSum(com.m_nTypeInt, holds, ranks, 2, com.m_nCommHandle);
}

} // namespace krz::coupling
