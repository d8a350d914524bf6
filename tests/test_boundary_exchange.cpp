// Boundary-face transfers and the A/B exchange, checked against a serial computation on a strip
// of interface faces that domains A and B (the coupled pair) partition differently. Both engines.
#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "CKRZA2BExchange_BoundaryFace.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"
#include "KRZCoupledPair.h"
#include "KRZTestHarness.h"

namespace {

constexpr int kExtraFace = 99; // a face of B that A does not have

std::array<int, 4> MeshNodes(int g) {
  if (g == kExtraFace)
    return {500, 501, 502, 503};
  return {g, g + 1, 100 + g + 1, 100 + g};
}

using krz::coupling::KRZCoupleDomain;
using krz::coupling::KRZPairSide;

// One domain of the coupled pair: a strip of interface faces (mesh ids, in mesh order), one
// hexahedron behind each, the cells placed on ranks by `rankOf`; every rank holds its share in
// local numbering with its face and boundary-face objects set up. B orders its faces backwards.
struct Domain {
  std::vector<int> ids; // mesh face f is face ids[f-1]
  KRZCoupleDomain mesh;
  KRZPairSide side;

  Domain(std::vector<int> meshIds, CKRZCom& com, int myid, int nproc, int (*rankOf)(int, int),
         bool isB)
      : ids(std::move(meshIds)) {
    std::map<int, int> own; // common node number -> the mesh's own
    auto node = [&](int common) {
      const auto [it, added] = own.emplace(common, static_cast<int>(own.size()) + 1);
      if (added) {
        mesh.common.push_back(common);
        mesh.xyz.insert(mesh.xyz.end(), {0.0, 0.0, 0.0});
      }
      return it->second;
    };
    for (size_t f = 0; f < ids.size(); ++f) {
      for (int n : MeshNodes(ids[f])) {
        mesh.faceNodes.push_back(node(n));
        mesh.cellNodes.push_back(node(n));
      }
      for (int n : MeshNodes(ids[f]))
        mesh.cellNodes.push_back(node(1000 + n));
      mesh.faceStart.push_back(static_cast<int>(mesh.faceNodes.size()));
      mesh.cellStart.push_back(static_cast<int>(mesh.cellNodes.size()));
      mesh.cellType.push_back(krz::coupling::kHexahedron);
      mesh.faceOwner.push_back(static_cast<int>(f) + 1);
      side.part.push_back(rankOf(ids[f], nproc));
    }
    side.mesh = &mesh;
    side.isB = isB;
    side.Number(myid, nproc);
    side.SetUp(com, myid, nproc);
  }
  Domain(const Domain&) = delete;
  Domain& operator=(const Domain&) = delete;

  int Local() const { return side.Faces(); }
  int Local(int p) { return side.face.GetFaceNumber_Local(p); }
  int Id(int localFace) const { return ids[static_cast<size_t>(side.faces[localFace]) - 1]; }
  bool Has(int g) const { return std::find(ids.begin(), ids.end(), g) != ids.end(); }
};

int RankA(int g, int nproc) { return g % nproc; }
// B leaves the last rank without faces when there are three or more ranks.
int RankB(int g, int nproc) { return (g * 3 + 1) % (nproc > 2 ? nproc - 1 : nproc); }

enum Kind { Owner = 0, Neighbor = 1, Face = 2 };

int ValueOf(int domain, Kind kind, int g) { return 10000 * domain + 1000 * kind + g; }

// Cell array of a domain on this rank: its cells 1..Cells(), the ghost (neighbour) cell of local
// face f at Cells()+f, one more cell that no face uses; face array 1..Local().
template <class T> std::vector<T> Cells(const Domain& d, int domain, bool source) {
  std::vector<T> cells(static_cast<size_t>(d.side.CellArraySize()) + 1, static_cast<T>(-7));
  for (int f = 1; f <= d.Local() && source; ++f) {
    cells[static_cast<size_t>(d.side.owner[f])] = static_cast<T>(ValueOf(domain, Owner, d.Id(f)));
    cells[static_cast<size_t>(d.side.neighbor[f])] =
        static_cast<T>(ValueOf(domain, Neighbor, d.Id(f)));
  }
  return cells;
}

template <class T> std::vector<T> Faces(const Domain& d, int domain, bool source) {
  std::vector<T> faces(static_cast<size_t>(d.Local()) + 1, static_cast<T>(-7));
  for (int f = 1; f <= d.Local() && source; ++f)
    faces[static_cast<size_t>(f)] = static_cast<T>(ValueOf(domain, Face, d.Id(f)));
  return faces;
}

using E = CKRZA2BExchange_BoundaryFace;

// The exchange of domains a and b, paired by face matching.
void Couple(E& exchange, Domain& a, Domain& b) {
  exchange.SetL2G_Face(&a.side.face, &b.side.face);
  exchange.SetA2BRelation(nullptr, nullptr);
  exchange.SetL2G_BoundaryFace(&a.side.boundary, &b.side.boundary);
}

struct Case {
  const char* name;
  int from; // 0: A, 1: B
  Kind source;
  Kind target; // Neighbor or Face
  void (E::*asDouble)(double*, double*);
  void (E::*asInt)(int*, int*);
  // The split halves (_Begin, _End) of the same transfer, in each type.
  void (E::*beginDouble)(double*, double*);
  void (E::*endDouble)(double*, double*);
  void (E::*beginInt)(int*, int*);
  void (E::*endInt)(int*, int*);
};

#define KRZ_SPLIT(member) &E::member##_Begin, &E::member##_End, &E::member##_Begin, &E::member##_End

const Case kCases[] = {
    {"A2B Owner2Neighbor", 0, Owner, Neighbor, &E::GetBoundaryCellValue_A2B_FromOwner2Neighbor,
     &E::GetBoundaryCellValue_A2B_FromOwner2Neighbor,
     KRZ_SPLIT(GetBoundaryCellValue_A2B_FromOwner2Neighbor)},
    {"B2A Owner2Neighbor", 1, Owner, Neighbor, &E::GetBoundaryCellValue_B2A_FromOwner2Neighbor,
     &E::GetBoundaryCellValue_B2A_FromOwner2Neighbor,
     KRZ_SPLIT(GetBoundaryCellValue_B2A_FromOwner2Neighbor)},
    {"A2B Face2Neighbor", 0, Face, Neighbor, &E::GetBoundaryCellValue_A2B_FromFace2Neighbor,
     &E::GetBoundaryCellValue_A2B_FromFace2Neighbor,
     KRZ_SPLIT(GetBoundaryCellValue_A2B_FromFace2Neighbor)},
    {"B2A Face2Neighbor", 1, Face, Neighbor, &E::GetBoundaryCellValue_B2A_FromFace2Neighbor,
     &E::GetBoundaryCellValue_B2A_FromFace2Neighbor,
     KRZ_SPLIT(GetBoundaryCellValue_B2A_FromFace2Neighbor)},
    {"A2B Owner2Face", 0, Owner, Face, &E::GetFaceValue_A2B_FromOwner2Face,
     &E::GetFaceValue_A2B_FromOwner2Face, KRZ_SPLIT(GetFaceValue_A2B_FromOwner2Face)},
    {"A2B Neighbor2Face", 0, Neighbor, Face, &E::GetFaceValue_A2B_FromNeighbor2Face,
     &E::GetFaceValue_A2B_FromNeighbor2Face, KRZ_SPLIT(GetFaceValue_A2B_FromNeighbor2Face)},
    {"B2A Owner2Face", 1, Owner, Face, &E::GetFaceValue_B2A_FromOwner2Face,
     &E::GetFaceValue_B2A_FromOwner2Face, KRZ_SPLIT(GetFaceValue_B2A_FromOwner2Face)},
    {"B2A Neighbor2Face", 1, Neighbor, Face, &E::GetFaceValue_B2A_FromNeighbor2Face,
     &E::GetFaceValue_B2A_FromNeighbor2Face, KRZ_SPLIT(GetFaceValue_B2A_FromNeighbor2Face)},
    {"A2B Face2Face", 0, Face, Face, &E::GetFaceValue_A2B_FromFace2Face,
     &E::GetFaceValue_A2B_FromFace2Face, KRZ_SPLIT(GetFaceValue_A2B_FromFace2Face)},
    {"B2A Face2Face", 1, Face, Face, &E::GetFaceValue_B2A_FromFace2Face,
     &E::GetFaceValue_B2A_FromFace2Face, KRZ_SPLIT(GetFaceValue_B2A_FromFace2Face)},
};

// The member of a case for T: 0 blocking, 1 _Begin, 2 _End.
template <class T> void (E::*Member(const Case& c, int half = 0))(T*, T*);
template <> void (E::*Member<double>(const Case& c, int half))(double*, double*) {
  return half == 0 ? c.asDouble : half == 1 ? c.beginDouble : c.endDouble;
}
template <> void (E::*Member<int>(const Case& c, int half))(int*, int*) {
  return half == 0 ? c.asInt : half == 1 ? c.beginInt : c.endInt;
}

// One transfer, blocking or split (_Begin, then _End), checked against the serial result.
template <class T>
void CheckCase(E& exchange, const Case& c, const Domain* d[2], bool split = false) {
  const int to = 1 - c.from;
  const Domain& src = *d[c.from];
  const Domain& dst = *d[to];
  std::vector<T> in = c.source == Face ? Faces<T>(src, c.from, true) : Cells<T>(src, c.from, true);
  std::vector<T> out = c.target == Face ? Faces<T>(dst, to, false) : Cells<T>(dst, to, false);
  const std::vector<T> before = in;
  if (split) {
    (exchange.*Member<T>(c, 1))(in.data(), out.data());
    (exchange.*Member<T>(c, 2))(in.data(), out.data());
  } else {
    (exchange.*Member<T>(c))(in.data(), out.data());
  }
  EXPECT_EQ(in, before) << c.name << ": the source must not change";
  for (int f = 1; f <= dst.Local(); ++f) {
    const int g = dst.Id(f);
    const T expected = src.Has(g) ? static_cast<T>(ValueOf(c.from, c.source, g)) : T();
    const int at = c.target == Face ? f : dst.side.neighbor[f];
    EXPECT_EQ(out[static_cast<size_t>(at)], expected)
        << c.name << ", local face " << f << " (mesh face " << g << ")";
  }
  if (c.target == Neighbor) {
    for (int i = 1; i <= dst.side.Cells(); ++i)
      EXPECT_EQ(out[static_cast<size_t>(i)], static_cast<T>(-7))
          << c.name << ": owner cell " << i << " was written";
    EXPECT_EQ(out.back(), static_cast<T>(-7)) << c.name << ": a cell of no face was written";
  }
}

} // namespace

KRZ_RANKS_TEST(Exchange, ElevenTransfersInBothTypesMatchTheSerialResult) {
  Domain a({1, 2, 3, 4, 5, 6, 7}, com, myid, nproc, RankA, false);
  Domain b({1, 2, 4, 5, 6, 7, kExtraFace}, com, myid, nproc, RankB, true);
  E exchange;
  EXPECT_EQ(exchange.GetBoundaryFaceNumber_Global_A(), 0);
  Couple(exchange, a, b);
  EXPECT_EQ(exchange.GetBoundaryFaceNumber_Global_A(), 7);
  EXPECT_EQ(exchange.GetBoundaryFaceNumber_Global_B(), 7);
  EXPECT_EQ(exchange.GetBoundaryFaceNumber_Local_B(), b.Local());

  const Domain* d[2] = {&a, &b};
  for (const bool split : {false, true})
    for (const Case& c : kCases) { // double and int alternate
      CheckCase<double>(exchange, c, d, split);
      CheckCase<int>(exchange, c, d, split);
    }

  // Both ways at once: distinct owner and neighbour cells keep the directions independent.
  std::vector<int> cells[2] = {Cells<int>(a, 0, true), Cells<int>(b, 1, true)};
  exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(cells[0].data(), cells[1].data());
  for (int s = 0; s < 2; ++s)
    for (int f = 1; f <= d[s]->Local(); ++f) {
      const int g = d[s]->Id(f);
      EXPECT_EQ(cells[s][static_cast<size_t>(d[s]->side.neighbor[f])],
                d[1 - s]->Has(g) ? ValueOf(1 - s, Owner, g) : 0);
    }
  EXPECT_EQ(KRZTakeOutput(), "");
}

// Every face paired, so that neighbour cells may be written straight from the messages: cell ids
// edited in place between transfers (owner ids swapped, two faces naming one neighbour cell)
// give what writing in face order gives, the last face winning.
KRZ_RANKS_TEST(Exchange, CellIdsEditedInPlaceKeepTheFaceOrderOfWriting) {
  const std::vector<int> ids = {1, 2, 3, 4, 5, 6, 7};
  Domain a(ids, com, myid, nproc, RankA, false);
  Domain b(ids, com, myid, nproc, RankB, true);
  E exchange;
  Couple(exchange, a, b);
  const Domain* d[2] = {&a, &b};
  for (int round = 0; round < 3; ++round) {
    if (round == 1 && a.Local() >= 2) // A's first two faces read each other's owner cells
      std::swap(a.side.owner[1], a.side.owner[2]);
    if (round == 2 && b.Local() >= 2) // B's last face writes its first face's neighbour cell
      b.side.neighbor[static_cast<size_t>(b.Local())] = b.side.neighbor[1];
    std::vector<double> in = Cells<double>(a, 0, true);
    std::vector<double> out = Cells<double>(b, 1, false);
    exchange.GetBoundaryCellValue_A2B_FromOwner2Neighbor(in.data(), out.data());
    // The source cells follow the edited owner ids, so every face still reads its own owner
    // value; the neighbour cells are written in face order.
    std::vector<double> expected = Cells<double>(b, 1, false);
    for (int f = 1; f <= b.Local(); ++f)
      expected[static_cast<size_t>(b.side.neighbor[static_cast<size_t>(f)])] =
          ValueOf(0, Owner, b.Id(f));
    if (round == 0)
      CheckCase<int>(exchange, kCases[0], d);
    EXPECT_EQ(out, expected) << "round " << round;
  }
  // A negative owner id on rank 0: that face sends 0, with the line the boundary-face steps print.
  {
    std::vector<double> in = Cells<double>(a, 0, true), out = Cells<double>(b, 1, false);
    int negative = 0; // the mesh face whose owner id is negative
    const int kept = a.Local() >= 1 ? a.side.owner[1] : 0;
    if (myid == 0 && a.Local() >= 1) {
      negative = a.Id(1);
      a.side.owner[1] = -1;
    }
    com.Broadcast(com.m_nTypeInt, &negative, 1, 0, com.m_nCommHandle);
    exchange.GetBoundaryCellValue_A2B_FromOwner2Neighbor(in.data(), out.data());
    if (myid == 0 && a.Local() >= 1) {
      EXPECT_NE(KRZTakeOutput().find("boundary face 1 names cell -1; it sends 0"),
                std::string::npos);
      a.side.owner[1] = kept;
    }
    std::vector<double> expected = Cells<double>(b, 1, false);
    for (int f = 1; f <= b.Local(); ++f)
      expected[static_cast<size_t>(b.side.neighbor[static_cast<size_t>(f)])] =
          b.Id(f) == negative ? 0.0 : ValueOf(0, Owner, b.Id(f));
    EXPECT_EQ(out, expected);
  }
  // A new A/B relation rebuilds the plan while the cell ids stay as they are: what the exchange
  // worked out for the old lists goes with them (a fresh exchange gives the same arrays).
  const int nA = exchange.GetBoundaryFaceNumber_Global_A();
  const int nB = exchange.GetBoundaryFaceNumber_Global_B();
  ASSERT_EQ(nA, nB);
  std::vector<int> a2b(static_cast<size_t>(nA) + 1, 0), b2a(static_cast<size_t>(nB) + 1, 0);
  for (int g = 1; g <= nA; ++g) { // a cyclic shift of the global numbers
    a2b[static_cast<size_t>(g)] = g % nB + 1;
    b2a[static_cast<size_t>(g % nB + 1)] = g;
  }
  E fresh;
  fresh.SetL2G_Face(&a.side.face, &b.side.face);
  fresh.SetA2BRelation(a2b.data(), b2a.data());
  fresh.SetL2G_BoundaryFace(&a.side.boundary, &b.side.boundary);
  auto ownersToNeighbours = [&](E& e) { // both directions, into fresh arrays
    std::vector<double> cellA = Cells<double>(a, 0, true), cellB = Cells<double>(b, 1, true);
    std::vector<std::vector<double>> out = {Cells<double>(b, 1, false), Cells<double>(a, 0, false)};
    e.GetBoundaryCellValue_A2B_FromOwner2Neighbor(cellA.data(), out[0].data());
    e.GetBoundaryCellValue_B2A_FromOwner2Neighbor(cellB.data(), out[1].data());
    return out;
  };
  const std::vector<std::vector<double>> before = ownersToNeighbours(exchange);
  exchange.SetA2BRelation(a2b.data(), b2a.data());
  const std::vector<std::vector<double>> after = ownersToNeighbours(exchange);
  EXPECT_EQ(after, ownersToNeighbours(fresh));
  int moved = after != before ? 1 : 0, anywhere = 0; // partners moved, on some rank at least
  com.AllSum(com.m_nTypeInt, &moved, &anywhere, 1, com.m_nCommHandle);
  EXPECT_GT(anywhere, 0);

  // The two-way exchange gives exactly A to B then B to A, blocking and split, also where a
  // rank's B neighbour cell is another face's owner cell (first only rank 0's, then every
  // rank's: the directions then go one after the other there).
  for (int overlap = 0; overlap < 3; ++overlap) {
    if (overlap > 0 && (myid == 0 || overlap == 2) && b.Local() >= 2)
      b.side.neighbor[1] = b.side.owner[2];
    std::vector<double> cellA = Cells<double>(a, 0, true), cellB = Cells<double>(b, 1, true);
    std::vector<double> oneWayA = cellA, oneWayB = cellB, splitA = cellA, splitB = cellB;
    exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(cellA.data(), cellB.data());
    exchange.GetBoundaryCellValue_A2B_FromOwner2Neighbor(oneWayA.data(), oneWayB.data());
    exchange.GetBoundaryCellValue_B2A_FromOwner2Neighbor(oneWayB.data(), oneWayA.data());
    exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor_Begin(splitA.data(), splitB.data());
    exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor_End(splitA.data(), splitB.data());
    EXPECT_EQ(cellA, oneWayA) << "overlap " << overlap;
    EXPECT_EQ(cellB, oneWayB) << "overlap " << overlap;
    EXPECT_EQ(splitA, oneWayA) << "overlap " << overlap;
    EXPECT_EQ(splitB, oneWayB) << "overlap " << overlap;
  }
  EXPECT_EQ(KRZTakeOutput(), "");
}

// Split transfers used carelessly: one line each, nothing written, no rank left waiting; a
// split two-way exchange gives what the blocking one gives.
KRZ_RANKS_TEST(Exchange, SplitTransfersRefuseMisuseAndMatchTheBlockingOnes) {
  Domain a({1, 2, 3, 4, 5, 6, 7}, com, myid, nproc, RankA, false);
  Domain b({1, 2, 4, 5, 6, 7, kExtraFace}, com, myid, nproc, RankB, true);
  E exchange;
  Couple(exchange, a, b);
  std::vector<double> faceA = Faces<double>(a, 0, true), faceB = Faces<double>(b, 1, false);
  const std::vector<double> untouched = faceB;
  auto expectLine = [](const std::string& part) {
    const std::string out = KRZTakeOutput();
    EXPECT_NE(out.find(part), std::string::npos) << out;
  };

  exchange.GetFaceValue_A2B_FromFace2Face_End(faceA.data(), faceB.data());
  expectLine("GetFaceValue_A2B_FromFace2Face_End: no _Begin before it");
  EXPECT_EQ(faceB, untouched);

  exchange.GetFaceValue_A2B_FromFace2Face_Begin(faceA.data(), faceB.data());
  exchange.GetFaceValue_B2A_FromFace2Face_Begin(faceB.data(), faceA.data());
  expectLine("GetFaceValue_B2A_FromFace2Face_Begin: GetFaceValue_A2B_FromFace2Face_Begin has not "
             "ended (_End); this one is ignored");
  std::vector<double> other(faceB.size(), -7);
  exchange.GetFaceValue_A2B_FromFace2Face_End(faceA.data(), other.data());
  expectLine("_End: not the transfer or the arrays of the _Begin before it");
  EXPECT_EQ(other, std::vector<double>(faceB.size(), -7));
  EXPECT_EQ(faceB, untouched);

  // Copied in between: the copy has nothing in flight; the original ends its own.
  exchange.GetFaceValue_A2B_FromFace2Face_Begin(faceA.data(), faceB.data());
  E copy(exchange);
  copy.GetFaceValue_A2B_FromFace2Face_End(faceA.data(), faceB.data());
  expectLine("no _Begin before it (or the object was copied since)");
  exchange.GetFaceValue_A2B_FromFace2Face_End(faceA.data(), faceB.data());
  EXPECT_EQ(KRZTakeOutput(), "");
  for (int f = 1; f <= b.Local(); ++f)
    EXPECT_EQ(faceB[static_cast<size_t>(f)], a.Has(b.Id(f)) ? ValueOf(0, Face, b.Id(f)) : 0.0);

  // A face object set up again in between: completed, nothing written.
  faceB = untouched;
  exchange.GetFaceValue_A2B_FromFace2Face_Begin(faceA.data(), faceB.data());
  b.side.face.SetLocalFace20(b.Local(), b.side.table.data());
  exchange.GetFaceValue_A2B_FromFace2Face_End(faceA.data(), faceB.data());
  expectLine("a face object was set up again since _Begin; nothing written");
  EXPECT_EQ(faceB, untouched);
  KRZTakeOutput();

  // The two-way exchange, split and blocking, on fresh pairs: the same cells.
  Domain a2({1, 2, 3, 4, 5, 6, 7}, com, myid, nproc, RankA, false);
  Domain b2({1, 2, 4, 5, 6, 7, kExtraFace}, com, myid, nproc, RankB, true);
  E both;
  Couple(both, a2, b2);
  std::vector<int> blocking[2] = {Cells<int>(a2, 0, true), Cells<int>(b2, 1, true)};
  std::vector<int> split[2] = {blocking[0], blocking[1]};
  both.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(blocking[0].data(), blocking[1].data());
  both.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor_Begin(split[0].data(), split[1].data());
  both.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor_End(split[0].data(), split[1].data());
  EXPECT_EQ(split[0], blocking[0]);
  EXPECT_EQ(split[1], blocking[1]);
  EXPECT_EQ(KRZTakeOutput(), "");
}

KRZ_RANKS_TEST(Exchange, CallersRelationIsCheckedAndCopied) {
  Domain a({1, 2, 3}, com, myid, nproc, RankA, false);
  Domain b({3, 2, 1}, com, myid, nproc, RankA, false);
  E exchange;
  exchange.SetA2BRelation(nullptr, nullptr);
  EXPECT_EQ(KRZLines(KRZTakeOutput()),
            (std::vector<std::string>{
                "CKRZA2BExchange_BoundaryFace do not use SetL2G_Face() as first step."}));
  exchange.SetL2G_Face(&a.side.face, &b.side.face);
  exchange.SetL2G_BoundaryFace(&a.side.boundary, &b.side.boundary);

  // Pair global face g of A with global face 4-g of B (entry 0 is never copied).
  int a2b[] = {55, 3, 2, 1};
  int b2a[] = {66, 3, 2, 1};
  int bad[] = {0, 3, 2, 4};
  exchange.SetA2BRelation(a2b, bad); // refused: no relation is kept
  if (myid == 0) {
    EXPECT_EQ(KRZLines(KRZTakeOutput()),
              (std::vector<std::string>{"CKRZA2BExchange_BoundaryFace: pB2A[3] = 4 lies outside "
                                        "0 to 3; the relation is refused"}));
  }
  std::vector<int> faceA(static_cast<size_t>(a.Local()) + 1, 0);
  std::vector<int> faceB(static_cast<size_t>(b.Local()) + 1, 9);
  for (size_t i = 1; i < faceA.size(); ++i)
    faceA[i] = 10 * static_cast<int>(i);
  exchange.GetFaceValue_A2B_FromFace2Face(faceA.data(), faceB.data());
  for (size_t i = 1; i < faceB.size(); ++i)
    EXPECT_EQ(faceB[i], 0) << "without a relation every face is unpaired";
  if (myid == 0) {
    EXPECT_EQ(KRZLines(KRZTakeOutput()),
              (std::vector<std::string>{"CKRZA2BExchange_BoundaryFace: no A/B relation "
                                        "(SetA2BRelation); every target face is taken as "
                                        "unpaired"}));
  }

  exchange.SetA2BRelation(a2b, b2a);
  // Global faces of A are 1..3 in rank order; B's local faces carry mesh ids in the same way.
  // Both face objects number by default (rank order): A's value is its own global number, so
  // B's global face g must receive 4 - g.
  std::vector<double> valuesA(faceA.size()), valuesB(faceB.size(), -1.0);
  int beforeA = 0, beforeB = 0;
  for (int p = 0; p < myid; ++p) {
    beforeA += a.Local(p);
    beforeB += b.Local(p);
  }
  for (size_t i = 1; i < valuesA.size(); ++i)
    valuesA[i] = beforeA + static_cast<double>(i);
  exchange.GetFaceValue_A2B_FromFace2Face(valuesA.data(), valuesB.data());
  for (size_t i = 1; i < valuesB.size(); ++i)
    EXPECT_EQ(valuesB[i], 4.0 - (beforeB + static_cast<double>(i)));
}

KRZ_RANKS_TEST_N(BoundaryFace, TwoRankExampleAndCountMismatch, 2) {
  int quads[3][5] = {{0, 0, 0, 0, 0}, {4, 1, 2, 3, 4}, {4, 5, 6, 7, 8}};
  int* table[3] = {nullptr, quads[1], quads[2]};
  int rows[2][9] = {{0, 1, 2, 3, 4, 5, 6, 7, 8}, {0, 9, 10, 11, 12, 13, 14, 15, 16}};
  int* nodeMap[2] = {rows[0], rows[1]};
  CKRZL2GBroadTools_Face face;
  face.SetInitialize(myid, nproc, &com);
  face.SetLocalFace20(2, table);
  face.SetL2GMapRelation(nodeMap, nullptr);
  CKRZL2GBroadTools_BoundaryFace boundary;
  boundary.SetBoundaryFaceRelation(&face);
  EXPECT_EQ(boundary.GetBoundaryFaceNumber_Global(), 4);
  EXPECT_EQ(boundary.GetBoundaryFaceNumber_Local(), 2);
  EXPECT_EQ(boundary.Getmyid(), myid);
  int owner[3] = {0, 1, 2}, neighbor[3] = {0, 3, 4};
  boundary.SetLocalFace_BoundaryCellID(2, owner, neighbor);
  int other[4] = {0, 4, 4, 4};
  boundary.SetLocalFace_BoundaryCellID(3, other, other); // refused: keeps the arrays above
  EXPECT_EQ(KRZLines(KRZTakeOutput()),
            (std::vector<std::string>{" BoundaryFaceRelation Local Face number(2 is not the same "
                                      "with input Local Face number(3)"}));

  int cells[5] = {0, 3, 3, 0, 0};
  int global[5] = {0, 0, 0, 0, 0};
  boundary.GetGlobalFaceValue_FromLocalOwnerCell(cells, global);
  if (myid == 0) {
    EXPECT_EQ(std::vector<int>(global + 1, global + 5), (std::vector<int>{3, 3, 3, 3}));
  }
  double dcells[5] = {0, 0, 0, 2.5, 2.5};
  double dglobal[5] = {0, 0, 0, 0, 0};
  boundary.GetGlobalFaceValue_FromLocalNeighborCell(dcells, dglobal); // its own buffer
  if (myid == 0) {
    EXPECT_EQ(std::vector<double>(dglobal + 1, dglobal + 5),
              (std::vector<double>{2.5, 2.5, 2.5, 2.5}));
  }
  std::fill(global, global + 5, 9);
  int target[5] = {-1, 1, 2, 0, 0};
  boundary.GetLocalNeighborCellValue_FromGlobalFaceValue(global, target);
  EXPECT_EQ(std::vector<int>(target, target + 5), (std::vector<int>{-1, 1, 2, 9, 9}));
}
