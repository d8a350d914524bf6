// A careless caller: null arrays, relations changed behind the object's back, counts that do not
// fit an int, missing set-up, objects set on some ranks only, invalid records. Every case ends
// with a line and nothing crashes, hangs or moves another rank's data. One test per cause, on
// both engines; the sanitizer presets run them too.
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "CCOM_BroadTools.h"
#include "CCOM_BroadTools_CollectLocalArrayToMyid0.h"
#include "CKRZA2BExchange_BoundaryFace.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"
#include "KRZRunRanks.h"
#include "KRZTestHarness.h"

namespace {

bool Printed(const std::string& output, const std::string& part) {
  return output.find(part) != std::string::npos;
}

template <class T> T Value(int p, int i) { return static_cast<T>(10 * p + i); }
template <> bool Value<bool>(int p, int i) { return (p + i) % 2 == 1; }

// The default relation of rank p's 2+p items.
int Count(int p) { return 2 + p; }
int Offset(int p) { return p * (p + 3) / 2; }

template <class T> void NullLocalArrays(CKRZCom& com, int myid, int nproc) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(Count(myid));
  const int careless = nproc - 1;
  std::unique_ptr<T[]> local(new T[static_cast<size_t>(Count(myid)) + 1]());
  for (int i = 1; i <= Count(myid); ++i)
    local[static_cast<size_t>(i)] = Value<T>(myid, i);
  T* global = nullptr;
  const int gathered =
      tools.GetGlobalArrayFromLocalArray(myid == careless ? nullptr : local.get(), global);
  EXPECT_EQ(gathered, myid == careless ? 0 : 1);
  if (myid == careless) {
    EXPECT_TRUE(Printed(KRZTakeOutput(), "GetGlobalArrayFromLocalArray: the local array is null on "
                                         "process " +
                                             std::to_string(myid) + "; zeros take its place"));
  }
  if (myid == 0) {
    for (int p = 0; p < nproc; ++p)
      for (int i = 1; i <= Count(p); ++i) {
        EXPECT_EQ(global[Offset(p) + i], p == careless ? T() : Value<T>(p, i)) << p << " " << i;
      }
  }
  // Rank 0 scatters from a null global array: every rank receives zeros, nothing hangs.
  T* back = local.get();
  const int scattered = tools.GetLocalArrayFromGlobalArray(myid == 0 ? nullptr : global, back);
  EXPECT_EQ(scattered, myid == 0 ? 0 : 1);
  for (int i = 1; i <= Count(myid); ++i) {
    EXPECT_EQ(local[static_cast<size_t>(i)], T());
  }
  delete[] global;
}

} // namespace

KRZ_RANKS_TEST(CarelessCaller, NullValueArraysTakePartWithZeros) {
  NullLocalArrays<double>(com, myid, nproc);
  NullLocalArrays<float>(com, myid, nproc);
  NullLocalArrays<int>(com, myid, nproc);
  NullLocalArrays<bool>(com, myid, nproc);
  NullLocalArrays<char>(com, myid, nproc);
  KRZTakeOutput();

  // The collector passes the null array on: that rank's items arrive as zeros.
  CCOM_BroadTools_CollectLocalArrayToMyid0 collector;
  collector.SetInitialize(myid, nproc, &com);
  int local[3] = {0, 7, 8};
  int* flat = collector.CreateMyid0Array1DFromLocalArray(2, myid == nproc - 1 ? nullptr : local);
  if (myid == 0 && nproc > 1) {
    EXPECT_EQ(flat[2 * nproc], 0);
  }
  if (myid == 0 && nproc > 2) {
    EXPECT_EQ(flat[2], 8);
  }
  delete[] flat;
}

namespace {
// Rank 0 replaces the distributed relation by one with `delta` more items for the last rank.
void ReplacedRelation(CKRZCom& com, int myid, int nproc, int delta) {
  if (nproc == 1)
    return; // nothing is distributed: a one-rank run moves what its relation says at each call
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(Count(myid));
  std::vector<double> local(static_cast<size_t>(Count(myid)) + 1, 1.0 + myid);
  double* global = nullptr;
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), global), 1);
  KRZTakeOutput();

  const int last = nproc - 1;
  std::vector<int> counts;
  std::vector<std::vector<int>> rows;
  std::vector<int*> table;
  int n = 0;
  for (int p = 0; p < nproc; ++p) {
    counts.push_back(Count(p) + (p == last ? delta : 0));
    rows.emplace_back(1, 0);
    for (int i = 1; i <= counts.back(); ++i)
      rows.back().push_back(++n);
  }
  for (auto& row : rows)
    table.push_back(row.data());
  if (myid == 0) {
    tools.SetMapRelation(n, counts.data(), table.data());
    delete[] global;
    global = nullptr;
  }
  const int gathered = tools.GetGlobalArrayFromLocalArray(local.data(), global);
  const int covered = std::min(Count(last), Count(last) + delta);
  if (myid == 0) {
    EXPECT_EQ(gathered, nproc > 1 ? 0 : 1);
    if (nproc > 1) {
      EXPECT_TRUE(
          Printed(KRZTakeOutput(), "GetGlobalArrayFromLocalArray: process " + std::to_string(last) +
                                       " was given " + std::to_string(Count(last)) +
                                       " items when the relation was distributed, but process 0's "
                                       "relation now holds " +
                                       std::to_string(Count(last) + delta)));
      for (int i = 1; i <= covered; ++i) {
        EXPECT_EQ(global[Offset(last) + i], 1.0 + last);
      }
    }
  }
  // The scatter sends every rank the count it expects; items rank 0 cannot serve are zeros.
  std::fill(local.begin() + 1, local.end(), -1.0);
  double* back = local.data();
  tools.GetLocalArrayFromGlobalArray(global, back);
  if (myid == last && nproc > 1)
    for (int i = 1; i <= Count(last); ++i) {
      EXPECT_EQ(local[static_cast<size_t>(i)], i <= covered ? 1.0 + last : 0.0) << i;
    }
  delete[] global;
}
} // namespace

KRZ_RANKS_TEST(CarelessCaller, ARelationChangedAfterDistributionMovesOnlyWhatBothCover) {
  ReplacedRelation(com, myid, nproc, +3);
  ReplacedRelation(com, myid, nproc, -1);
}

KRZ_RANKS_TEST(CarelessCaller, AScatterItemOutOfRangeReceivesZeroNotAnotherRanksValue) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  std::vector<int> counts;
  std::vector<std::vector<int>> rows;
  std::vector<int*> table;
  int n = 0;
  for (int p = 0; p < nproc; ++p) {
    counts.push_back(Count(p));
    rows.emplace_back(1, 0);
    for (int i = 1; i <= Count(p); ++i)
      rows.back().push_back(++n);
    table.push_back(rows.back().data());
  }
  tools.SetMapRelation(n, counts.data(), table.data());
  std::vector<double> local(static_cast<size_t>(Count(myid)) + 1, 5.0 + myid);
  double* global = nullptr;
  tools.GetGlobalArrayFromLocalArray(local.data(), global); // scratch now holds rank values
  const int victim = nproc - 1;
  if (myid == 0)
    rows[static_cast<size_t>(victim)][1] = n + 5; // edited in place, out of range
  double* back = local.data();
  tools.GetLocalArrayFromGlobalArray(global, back);
  if (nproc == 1) { // a one-rank run checks its relation at every transfer: the check refuses it
    EXPECT_TRUE(Printed(KRZTakeOutput(), "L2G relation error"));
    delete[] global;
    return;
  }
  if (myid == victim) {
    EXPECT_EQ(local[1], 0.0);
    EXPECT_EQ(local[2], 5.0 + victim);
  }
  if (myid == 0) {
    EXPECT_TRUE(Printed(KRZTakeOutput(), "outside 0 to " + std::to_string(n) + "; it receives 0"));
  }
  delete[] global;
}

KRZ_RANKS_TEST(CarelessCaller, CountsPastIntAreRefusedOnEveryRank) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(nproc > 1 ? 1200000000 : INT_MAX);
  EXPECT_TRUE(Printed(KRZTakeOutput(), "SetMapRelation_DefaultRelation: the local item counts sum "
                                       "to "));
  EXPECT_EQ(tools.GetDimension_Global(), 0);
  double local[2] = {0, 1};
  double* global = nullptr;
  // Refused at every call, with one rank as with several.
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 0);
    EXPECT_EQ(global, nullptr);
  }
  // A relation set again is taken.
  tools.SetMapRelation_DefaultRelation(1);
  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 1);
  delete[] global;

  CKRZL2GBroadTools_Face face;
  face.SetInitialize(myid, nproc, &com);
  face.SetLocalFace20(nproc > 1 ? 1200000000 : INT_MAX, nullptr);
  EXPECT_EQ(face.GetFaceNumber_Global(), 0);
  EXPECT_TRUE(Printed(KRZTakeOutput(), "SetLocalFace20: the local face counts sum to "));
}

KRZ_RANKS_TEST(CarelessCaller, ATransferWithoutSetInitializeIsRefused) {
  CCOM_BroadTools tools; // never initialized: no rank, no communicator
  double local[2] = {0, 1};
  double* global = nullptr;
  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 0);
  EXPECT_EQ(tools.GetLocalArrayFromGlobalArray(local, global), 0);
  EXPECT_TRUE(Printed(KRZTakeOutput(), "SetInitialize has not given this object a valid rank"));
  CCOM_BroadTools outOfRange;
  outOfRange.SetInitialize(nproc, nproc, &com);
  EXPECT_EQ(outOfRange.GetGlobalArrayFromLocalArray(local, global), 0);
  EXPECT_EQ(global, nullptr);
  KRZTakeOutput();

  // One rank given a number outside 0..nproc-1 still votes: every rank refuses together, none
  // waits for it.
  CCOM_BroadTools one;
  const int careless = nproc - 1;
  one.SetInitialize(myid == careless ? nproc + 3 : myid, nproc, &com);
  if (myid == 0) {
    static int counts[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    static int rows[8][2] = {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 6}, {0, 7}, {0, 8}};
    static int* table[8] = {rows[0], rows[1], rows[2], rows[3], rows[4], rows[5], rows[6], rows[7]};
    one.SetMapRelation(nproc, counts, table);
  }
  EXPECT_EQ(one.GetGlobalArrayFromLocalArray(local, global), 0);
  EXPECT_EQ(global, nullptr);
  EXPECT_EQ(one.GetLocalArrayFromGlobalArray(local, global), 0);
}

// A global dimension handed in again is checked again: a negative one refuses the relation
// (rank 0 still exchanges what the other ranks expect, and moves no item) until a sound one
// comes.
KRZ_RANKS_TEST(CarelessCaller, ANegativeGlobalDimensionIsRefusedAtEveryHandIn) {
  std::vector<int> counts(static_cast<size_t>(nproc), 2);
  std::vector<std::vector<int>> rows;
  std::vector<int*> table;
  for (int p = 0; p < nproc; ++p)
    rows.push_back({0, 2 * p + 1, 2 * p + 2});
  for (auto& r : rows)
    table.push_back(r.data());
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(2 * nproc, counts.data(), table.data());
  double local[3] = {0, 1.0 + myid, 2.0 + myid};
  double* global = nullptr;
  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 1);
  delete[] global;
  for (const int bad : {-1, -5}) {
    tools.SetMapRelation(bad, counts.data(), table.data());
    global = nullptr;
    EXPECT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), myid == 0 ? 0 : 1);
    delete[] global;
    double back[3] = {7, 7, 7};
    double* pBack = back;
    double source[1] = {0};
    EXPECT_EQ(tools.GetLocalArrayFromGlobalArray(myid == 0 ? source : nullptr, pBack),
              myid == 0 ? 0 : 1);
    // One rank: the check fails and the array stays as it was; several: rank 0 serves zeros.
    EXPECT_EQ(back[1], nproc > 1 ? 0.0 : 7.0);
    EXPECT_EQ(back[0], 7.0);
    if (myid == 0) {
      EXPECT_TRUE(Printed(KRZTakeOutput(), "SetMapRelation: global dimension " +
                                               std::to_string(bad) +
                                               " is negative; the relation "
                                               "is refused"));
    }
  }
  tools.SetMapRelation(2 * nproc, counts.data(), table.data());
  global = nullptr;
  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 1);
  if (myid == 0) {
    for (int p = 0; p < nproc; ++p)
      EXPECT_EQ(global[2 * p + 2], 2.0 + p);
  }
  delete[] global;
}

namespace {
// A strip of quadrilaterals: domain A has faces 2p+1, 2p+2 on rank p, domain B the faces of rank
// nproc-1-p in reverse order. Nodes are numbered globally, so the node map is the identity.
struct Strip {
  std::vector<int> identity;
  std::vector<int*> nodeMap;
  int records[2][3][5] = {};
  int* table[2][3] = {};
  int owner[3] = {0, 1, 2};
  int neighbor[3] = {0, 3, 4};
  CKRZL2GBroadTools_Face face[2];
  CKRZL2GBroadTools_BoundaryFace boundary[2];

  Strip(CKRZCom& com, int myid, int nproc) : identity(static_cast<size_t>(8 * nproc) + 1) {
    for (size_t i = 0; i < identity.size(); ++i)
      identity[i] = static_cast<int>(i);
    for (int p = 0; p < nproc; ++p)
      nodeMap.push_back(identity.data());
    const int q = nproc - 1 - myid;
    for (int d = 0; d < 2; ++d) {
      for (int i = 1; i <= 2; ++i) {
        const int f = d == 0 ? 2 * myid + i : 2 * q + 3 - i;
        int* r = records[d][i];
        r[0] = 4;
        for (int k = 1; k <= 4; ++k)
          r[k] = 4 * f - 4 + k;
        table[d][i] = r;
      }
      face[d].SetInitialize(myid, nproc, &com);
      SetUp(d, myid);
    }
  }
  void SetUp(int d, int myid) {
    face[d].SetLocalFace20(2, table[d]);
    face[d].SetL2GMapRelation(myid == 0 ? nodeMap.data() : nullptr, nullptr);
  }
  void Boundaries() {
    for (int d = 0; d < 2; ++d) {
      boundary[d].SetBoundaryFaceRelation(&face[d]);
      boundary[d].SetLocalFace_BoundaryCellID(2, owner, neighbor);
    }
  }
};
} // namespace

KRZ_RANKS_TEST(CarelessCaller, FaceObjectsSetUpAgainRefuseTransfersUntilTheirRelationIsRemade) {
  Strip s(com, myid, nproc);
  s.Boundaries();
  CKRZA2BExchange_BoundaryFace exchange;
  exchange.SetL2G_Face(&s.face[0], &s.face[1]);
  exchange.SetL2G_BoundaryFace(&s.boundary[0], &s.boundary[1]);
  exchange.SetA2BRelation(nullptr, nullptr);
  const int q = nproc - 1 - myid;
  double a[3] = {0, 100.0 * myid + 1, 100.0 * myid + 2}, b[3] = {0, 0, 0};
  exchange.GetFaceValue_A2B_FromFace2Face(a, b);
  EXPECT_EQ(b[1], 100.0 * q + 2);

  // Face object A is set up again with one face less: its old relation must not be used.
  s.face[0].SetLocalFace20(1, s.table[0]);
  double values[3] = {0, 1, 2};
  s.face[0].GetValue_FromLocalFaceToGloblaFace(values, nullptr);
  if (myid == 0) {
    EXPECT_TRUE(Printed(KRZTakeOutput(), "no face relation (SetL2GMapRelation)"));
  }
  s.SetUp(0, myid);
  KRZTakeOutput();
  // The A/B relation was made for the old face objects: target faces count as unpaired.
  b[1] = b[2] = -1;
  exchange.GetFaceValue_A2B_FromFace2Face(a, b);
  EXPECT_EQ(b[1], 0.0);
  EXPECT_EQ(b[2], 0.0);
  if (myid == 0) {
    EXPECT_TRUE(Printed(KRZTakeOutput(), "a face object was set up again after the A/B relation"));
  }
  exchange.SetA2BRelation(nullptr, nullptr);
  exchange.GetFaceValue_A2B_FromFace2Face(a, b);
  EXPECT_EQ(b[1], 100.0 * q + 2);
}

KRZ_RANKS_TEST(CarelessCaller, BoundaryFaceObjectsOnRankZeroOnlyStillComplete) {
  Strip s(com, myid, nproc);
  if (myid == 0)
    s.Boundaries();
  CKRZA2BExchange_BoundaryFace exchange;
  exchange.SetL2G_Face(&s.face[0], &s.face[1]);
  if (myid == 0)
    exchange.SetL2G_BoundaryFace(&s.boundary[0], &s.boundary[1]);
  exchange.SetA2BRelation(nullptr, nullptr);
  double cellsA[5] = {0, 1, 2, 3, 4}, cellsB[5] = {0, 0, 0, 0, 0};
  exchange.GetBoundaryCellValue_A2B_FromOwner2Neighbor(cellsA, cellsB);
  if (myid != 0) {
    EXPECT_TRUE(Printed(KRZTakeOutput(), "has no boundary-face object A (SetL2G_BoundaryFace)"));
    EXPECT_EQ(cellsB[3], 0.0); // no cell written without the object
  } else if (nproc == 1) {
    EXPECT_EQ(cellsB[3], 2.0); // B's face 1 pairs with A's face 2, owned by cell 2
  }
}

KRZ_RANKS_TEST(CarelessCaller, InvalidRecordsAndAMissingGlobalTableAreReported) {
  Strip s(com, myid, nproc);
  s.records[0][1][0] = 7; // a node count no face has
  s.SetUp(0, myid);
  EXPECT_TRUE(Printed(KRZTakeOutput(), "local face 1 has node count 7 (1 to 4 allowed)"));
  int n = 0;
  int** table = nullptr;
  s.face[0].GetGlobalFace20(n, table);
  if (myid == 0) {
    EXPECT_EQ(table[1][0], 0);
  }

  int nGlobal = 2 * nproc;
  s.face[1].SetL2GMapRelation(myid == 0 ? s.nodeMap.data() : nullptr, nGlobal, nullptr);
  if (myid == 0) {
    EXPECT_TRUE(Printed(KRZTakeOutput(), "was given no global face table"));
  }
  std::vector<double> global(static_cast<size_t>(nGlobal) + 1, 0.0);
  double values[3] = {0, 1.5, 2.5};
  s.face[1].GetValue_FromLocalFaceToGloblaFace(values, global.data());
  if (myid == 0) {
    EXPECT_EQ(global[1], 1.5); // the default numbering is kept
  }

  s.neighbor[1] = -3;
  s.Boundaries();
  double cells[5] = {0, 0, 0, 0, 0};
  s.boundary[0].GetLocalNeighborCellValue_FromGlobalFaceValue(global.data(), cells);
  EXPECT_TRUE(Printed(KRZTakeOutput(), "boundary face 1 names cell -3; its value is not written"));
}

// Threads engine only: a rank fails while rank 0 waits inside a gather for which the library
// allocated the global array; the aborted world unwinds rank 0 and nothing leaks (the sanitizer
// preset checks).
TEST(CarelessCaller, ARankUnwoundInsideAGatherLeaksNothing) {
  KRZRunOptions options;
  options.captureOutput = true;
  const KRZRunResult result = KRZRunRanks(
      2,
      [](CKRZCom& com, int myid, int nproc) {
        CKRZL2GBroadTools_Face face;
        face.SetInitialize(myid, nproc, &com);
        int record[5] = {4, 1, 2, 3, 4};
        int* faces[2] = {nullptr, record};
        face.SetLocalFace20(1, faces);
        face.SetL2GMapRelation(nullptr, nullptr);
        CCOM_BroadTools_CollectLocalArrayToMyid0 collector;
        collector.SetInitialize(myid, nproc, &com);
        if (myid == 1)
          throw std::runtime_error("rank 1 gives up");
        double values[2] = {0, 1};
        face.GetValue_FromLocalFaceToGloblaFace(values, nullptr);
      },
      options);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(Printed(result.report, "rank 1 gives up"));
}
