// Boundary-face transfers and the A/B exchange, checked against a serial computation on a strip
// of interface faces that domains A and B partition differently. Both engines.
#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "CKRZA2BExchange_BoundaryFace.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"
#include "KRZTestHarness.h"

namespace {

constexpr int kExtraFace = 99; // a face of B that A does not have

std::array<int, 4> MeshNodes(int g) {
  if (g == kExtraFace)
    return {500, 501, 502, 503};
  return {g, g + 1, 100 + g + 1, 100 + g};
}

// One domain as every rank sees it: which interface faces (mesh ids) each rank holds, in its own
// local order, with local node numbers and rank 0's node map.
struct Domain {
  std::vector<std::vector<int>> ids;
  std::vector<std::vector<std::array<int, 5>>> records;
  std::vector<std::vector<int>> nodeRows;
  std::vector<int*> nodeMap;
  std::vector<int*> table; // this rank's face table
  std::vector<int> owner, neighbor;

  Domain(const std::vector<int>& meshIds, int nproc, int myid, int (*rankOf)(int, int),
         bool descending) {
    ids.resize(static_cast<size_t>(nproc));
    for (int g : meshIds)
      ids[static_cast<size_t>(rankOf(g, nproc))].push_back(g);
    for (auto& list : ids)
      if (descending)
        std::reverse(list.begin(), list.end());
    for (int p = 0; p < nproc; ++p) {
      // One rank keeps global node numbers (its local numbers are taken as global).
      std::map<int, int> local;
      std::vector<int> row{0};
      std::vector<std::array<int, 5>> recs{{0, 0, 0, 0, 0}};
      for (int g : ids[static_cast<size_t>(p)]) {
        std::array<int, 5> r{4, 0, 0, 0, 0};
        const auto nodes = MeshNodes(g);
        for (int j = 0; j < 4; ++j) {
          const int node = nodes[static_cast<size_t>(j)];
          if (nproc > 1 && local.count(node) == 0) {
            local[node] = static_cast<int>(row.size());
            row.push_back(node);
          }
          r[static_cast<size_t>(j) + 1] = nproc > 1 ? local[node] : node;
        }
        recs.push_back(r);
      }
      nodeRows.push_back(row);
      records.push_back(recs);
    }
    for (auto& row : nodeRows)
      nodeMap.push_back(row.data());
    table.push_back(nullptr);
    for (size_t i = 1; i < records[static_cast<size_t>(myid)].size(); ++i)
      table.push_back(records[static_cast<size_t>(myid)][i].data());
    const int n = Local(myid);
    for (int i = 0; i <= n; ++i) {
      owner.push_back(i);
      neighbor.push_back(i == 0 ? 0 : n + i);
    }
  }
  int Local(int p) const { return static_cast<int>(ids[static_cast<size_t>(p)].size()); }
  const std::vector<int>& Mine(int myid) const { return ids[static_cast<size_t>(myid)]; }
  bool Has(int g) const {
    for (const auto& list : ids)
      if (std::find(list.begin(), list.end(), g) != list.end())
        return true;
    return false;
  }
};

int RankA(int g, int nproc) { return g % nproc; }
// B leaves the last rank without faces when there are three or more ranks.
int RankB(int g, int nproc) { return (g * 3 + 1) % (nproc > 2 ? nproc - 1 : nproc); }

// A face object and a boundary-face object of one domain, set up on this rank.
struct Objects {
  CKRZL2GBroadTools_Face face;
  CKRZL2GBroadTools_BoundaryFace boundary;
  Objects(Domain& d, CKRZCom& com, int myid, int nproc) {
    face.SetInitialize(myid, nproc, &com);
    face.SetLocalFace20(d.Local(myid), d.table.data());
    face.SetL2GMapRelation(myid == 0 ? d.nodeMap.data() : nullptr, nullptr);
    boundary.SetBoundaryFaceRelation(&face);
    boundary.SetLocalFace_BoundaryCellID(d.Local(myid), d.owner.data(), d.neighbor.data());
  }
};

enum Kind { Owner = 0, Neighbor = 1, Face = 2 };

int ValueOf(int domain, Kind kind, int g) { return 10000 * domain + 1000 * kind + g; }

// Cell array of a domain on this rank: owner cells 1..n, neighbour cells n+1..2n, one more cell
// that no face uses; face array 1..n.
template <class T> std::vector<T> Cells(const Domain& d, int domain, int myid, bool source) {
  const auto& mine = d.Mine(myid);
  const int n = static_cast<int>(mine.size());
  std::vector<T> cells(static_cast<size_t>(2 * n) + 2, static_cast<T>(-7));
  if (source)
    for (int i = 1; i <= n; ++i) {
      cells[static_cast<size_t>(i)] = static_cast<T>(ValueOf(domain, Owner, mine[i - 1]));
      cells[static_cast<size_t>(n + i)] = static_cast<T>(ValueOf(domain, Neighbor, mine[i - 1]));
    }
  return cells;
}

template <class T> std::vector<T> Faces(const Domain& d, int domain, int myid, bool source) {
  const auto& mine = d.Mine(myid);
  std::vector<T> faces(mine.size() + 1, static_cast<T>(-7));
  if (source)
    for (size_t i = 1; i <= mine.size(); ++i)
      faces[i] = static_cast<T>(ValueOf(domain, Face, mine[i - 1]));
  return faces;
}

using E = CKRZA2BExchange_BoundaryFace;

struct Case {
  const char* name;
  int from; // 0: A, 1: B
  Kind source;
  Kind target; // Neighbor or Face
  void (E::*asDouble)(double*, double*);
  void (E::*asInt)(int*, int*);
};

const Case kCases[] = {
    {"A2B Owner2Neighbor", 0, Owner, Neighbor, &E::GetBoundaryCellValue_A2B_FromOwner2Neighbor,
     &E::GetBoundaryCellValue_A2B_FromOwner2Neighbor},
    {"B2A Owner2Neighbor", 1, Owner, Neighbor, &E::GetBoundaryCellValue_B2A_FromOwner2Neighbor,
     &E::GetBoundaryCellValue_B2A_FromOwner2Neighbor},
    {"A2B Face2Neighbor", 0, Face, Neighbor, &E::GetBoundaryCellValue_A2B_FromFace2Neighbor,
     &E::GetBoundaryCellValue_A2B_FromFace2Neighbor},
    {"B2A Face2Neighbor", 1, Face, Neighbor, &E::GetBoundaryCellValue_B2A_FromFace2Neighbor,
     &E::GetBoundaryCellValue_B2A_FromFace2Neighbor},
    {"A2B Owner2Face", 0, Owner, Face, &E::GetFaceValue_A2B_FromOwner2Face,
     &E::GetFaceValue_A2B_FromOwner2Face},
    {"A2B Neighbor2Face", 0, Neighbor, Face, &E::GetFaceValue_A2B_FromNeighbor2Face,
     &E::GetFaceValue_A2B_FromNeighbor2Face},
    {"B2A Owner2Face", 1, Owner, Face, &E::GetFaceValue_B2A_FromOwner2Face,
     &E::GetFaceValue_B2A_FromOwner2Face},
    {"B2A Neighbor2Face", 1, Neighbor, Face, &E::GetFaceValue_B2A_FromNeighbor2Face,
     &E::GetFaceValue_B2A_FromNeighbor2Face},
    {"A2B Face2Face", 0, Face, Face, &E::GetFaceValue_A2B_FromFace2Face,
     &E::GetFaceValue_A2B_FromFace2Face},
    {"B2A Face2Face", 1, Face, Face, &E::GetFaceValue_B2A_FromFace2Face,
     &E::GetFaceValue_B2A_FromFace2Face},
};

template <class T> void (E::*Member(const Case& c))(T*, T*);
template <> void (E::*Member<double>(const Case& c))(double*, double*) { return c.asDouble; }
template <> void (E::*Member<int>(const Case& c))(int*, int*) { return c.asInt; }

template <class T> void CheckCase(E& exchange, const Case& c, const Domain* d[2], int myid) {
  const int to = 1 - c.from;
  const Domain& src = *d[c.from];
  const Domain& dst = *d[to];
  std::vector<T> in =
      c.source == Face ? Faces<T>(src, c.from, myid, true) : Cells<T>(src, c.from, myid, true);
  std::vector<T> out =
      c.target == Face ? Faces<T>(dst, to, myid, false) : Cells<T>(dst, to, myid, false);
  const std::vector<T> before = in;
  (exchange.*Member<T>(c))(in.data(), out.data());
  EXPECT_EQ(in, before) << c.name << ": the source must not change";
  const auto& mine = dst.Mine(myid);
  const size_t n = mine.size();
  for (size_t i = 1; i <= n; ++i) {
    const int g = mine[i - 1];
    const T expected = src.Has(g) ? static_cast<T>(ValueOf(c.from, c.source, g)) : T();
    const size_t at = c.target == Face ? i : n + i;
    EXPECT_EQ(out[at], expected) << c.name << ", local face " << i << " (mesh face " << g << ")";
  }
  if (c.target == Neighbor) {
    for (size_t i = 1; i <= n; ++i)
      EXPECT_EQ(out[i], static_cast<T>(-7)) << c.name << ": owner cell " << i << " was written";
    EXPECT_EQ(out[2 * n + 1], static_cast<T>(-7)) << c.name << ": a cell of no face was written";
  }
}

} // namespace

KRZ_RANKS_TEST(Exchange, ElevenTransfersInBothTypesMatchTheSerialResult) {
  Domain a({1, 2, 3, 4, 5, 6, 7}, nproc, myid, RankA, false);
  Domain b({1, 2, 4, 5, 6, 7, kExtraFace}, nproc, myid, RankB, true);
  Objects oa(a, com, myid, nproc);
  Objects ob(b, com, myid, nproc);
  E exchange;
  EXPECT_EQ(exchange.GetBoundaryFaceNumber_Global_A(), 0);
  exchange.SetL2G_Face(&oa.face, &ob.face);
  exchange.SetA2BRelation(nullptr, nullptr);
  exchange.SetL2G_BoundaryFace(&oa.boundary, &ob.boundary);
  EXPECT_EQ(exchange.GetBoundaryFaceNumber_Global_A(), 7);
  EXPECT_EQ(exchange.GetBoundaryFaceNumber_Global_B(), 7);
  EXPECT_EQ(exchange.GetBoundaryFaceNumber_Local_B(), b.Local(myid));

  const Domain* d[2] = {&a, &b};
  for (const Case& c : kCases) { // double and int alternate
    CheckCase<double>(exchange, c, d, myid);
    CheckCase<int>(exchange, c, d, myid);
  }

  // Both ways at once: distinct owner and neighbour cells keep the directions independent.
  std::vector<int> cellsA = Cells<int>(a, 0, myid, true);
  std::vector<int> cellsB = Cells<int>(b, 1, myid, true);
  exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(cellsA.data(), cellsB.data());
  const auto& mineA = a.Mine(myid);
  for (size_t i = 1; i <= mineA.size(); ++i) {
    const int g = mineA[i - 1];
    EXPECT_EQ(cellsA[mineA.size() + i], b.Has(g) ? ValueOf(1, Owner, g) : 0);
  }
  const auto& mineB = b.Mine(myid);
  for (size_t i = 1; i <= mineB.size(); ++i) {
    const int g = mineB[i - 1];
    EXPECT_EQ(cellsB[mineB.size() + i], a.Has(g) ? ValueOf(0, Owner, g) : 0);
  }
  EXPECT_EQ(KRZTakeOutput(), "");
}

KRZ_RANKS_TEST(Exchange, CallersRelationIsCheckedAndCopied) {
  Domain a({1, 2, 3}, nproc, myid, RankA, false);
  Domain b({3, 2, 1}, nproc, myid, RankA, false);
  Objects oa(a, com, myid, nproc);
  Objects ob(b, com, myid, nproc);
  E exchange;
  exchange.SetA2BRelation(nullptr, nullptr);
  EXPECT_EQ(KRZLines(KRZTakeOutput()),
            (std::vector<std::string>{
                "CKRZA2BExchange_BoundaryFace do not use SetL2G_Face() as first step."}));
  exchange.SetL2G_Face(&oa.face, &ob.face);
  exchange.SetL2G_BoundaryFace(&oa.boundary, &ob.boundary);

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
  std::vector<int> faceA(static_cast<size_t>(a.Local(myid)) + 1, 0);
  std::vector<int> faceB(static_cast<size_t>(b.Local(myid)) + 1, 9);
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
