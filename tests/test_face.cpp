// Global face numbering with CKRZL2GBroadTools_Face, on both engines.
#include <array>
#include <string>
#include <vector>

#include "CKRZL2GBroadTools_Face.h"
#include "KRZTestHarness.h"

namespace {

// A rank's local faces: quads of local nodes (4i-3 .. 4i), with its node map i -> i + 8p.
struct LocalFaces {
  std::vector<std::array<int, 5>> records{{0, 0, 0, 0, 0}};
  std::vector<int*> table;

  int** Get() {
    table.assign(1, nullptr);
    for (size_t i = 1; i < records.size(); ++i)
      table.push_back(records[i].data());
    return table.data();
  }
  int Count() const { return static_cast<int>(records.size()) - 1; }
};

LocalFaces Quads(int n) {
  LocalFaces f;
  for (int i = 1; i <= n; ++i)
    f.records.push_back({4, 4 * i - 3, 4 * i - 2, 4 * i - 1, 4 * i});
  return f;
}

// Node maps of every rank (read on rank 0): local node i of rank p -> i + offset*p.
struct NodeMap {
  std::vector<std::vector<int>> rows;
  std::vector<int*> table;
  NodeMap(int nproc, int nodes, int offset) {
    for (int p = 0; p < nproc; ++p) {
      rows.emplace_back(1, 0);
      for (int i = 1; i <= nodes; ++i)
        rows.back().push_back(i + offset * p);
    }
    for (auto& r : rows)
      table.push_back(r.data());
  }
};

int CountOf(int p) { return (2 + p) % 4; } // 2, 3, 0, 1, 2

} // namespace

KRZ_RANKS_TEST(Face, CountsAndDefaultNumberingAndValueRoundTrip) {
  LocalFaces faces = Quads(CountOf(myid));
  NodeMap nodes(nproc, 4 * 3, 100);
  CKRZL2GBroadTools_Face face;
  face.SetInitialize(myid, nproc, &com);
  EXPECT_EQ(face.GetFaceNumber_Local(0), 0); // before SetLocalFace20
  face.SetLocalFace20(faces.Count(), faces.Get());
  int total = 0;
  for (int p = 0; p < nproc; ++p)
    total += CountOf(p);
  EXPECT_EQ(face.GetFaceNumber_Global(), total);
  for (int p = 0; p < nproc; ++p)
    EXPECT_EQ(face.GetFaceNumber_Local(p), CountOf(p));
  EXPECT_EQ(face.GetFaceNumber_Local(nproc), 0);
  EXPECT_EQ(face.Getmyid(), myid);
  face.SetL2GMapRelation(myid == 0 ? nodes.table.data() : nullptr, nullptr);

  // Gather 5s, then the face number of each local face, then scatter 10s back.
  std::vector<int> local(static_cast<size_t>(faces.Count()) + 1, 5);
  std::vector<int> global(static_cast<size_t>(total) + 1, 0);
  face.GetValue_FromLocalFaceToGloblaFace(local.data(), global.data());
  if (myid == 0) {
    for (int g = 1; g <= total; ++g)
      EXPECT_EQ(global[static_cast<size_t>(g)], 5);
  }
  int before = 0;
  for (int p = 0; p < myid; ++p)
    before += CountOf(p);
  std::vector<double> dlocal(static_cast<size_t>(faces.Count()) + 1, 0.0);
  for (int i = 1; i <= faces.Count(); ++i)
    dlocal[static_cast<size_t>(i)] = before + i;
  std::vector<double> dglobal(static_cast<size_t>(total) + 1, 0.0);
  face.GetValue_FromLocalFaceToGloblaFace(dlocal.data(), dglobal.data());
  if (myid == 0) {
    for (int g = 1; g <= total; ++g)
      EXPECT_EQ(dglobal[static_cast<size_t>(g)], g); // default numbers in rank order
  }
  std::fill(global.begin(), global.end(), 10);
  face.GetValue_FromGlobalFaceToLocalFace(global.data(), local.data());
  for (int i = 1; i <= faces.Count(); ++i)
    EXPECT_EQ(local[static_cast<size_t>(i)], 10);
}

KRZ_RANKS_TEST(Face, GlobalTableCarriesGlobalNodes) {
  LocalFaces faces = Quads(2);
  faces.records[2] = {3, 5, 6, 7, 0}; // a triangle keeps 0 in slot 4
  NodeMap nodes(nproc, 8, 8);
  CKRZL2GBroadTools_Face face;
  face.SetInitialize(myid, nproc, &com);
  face.SetLocalFace20(faces.Count(), faces.Get());
  face.SetL2GMapRelation(myid == 0 ? nodes.table.data() : nullptr, nullptr);
  int n = 0;
  int** table = nullptr;
  face.GetGlobalFace20(n, table);
  EXPECT_EQ(n, 2 * nproc);
  if (myid != 0) {
    EXPECT_EQ(table, nullptr);
    return;
  }
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table[0], nullptr);
  // One rank copies its local records; more ranks convert through the node map.
  const int shift = nproc == 1 ? 0 : 8;
  for (int p = 0; p < nproc; ++p) {
    const int o = p * shift;
    EXPECT_EQ((std::array<int, 5>{table[2 * p + 1][0], table[2 * p + 1][1], table[2 * p + 1][2],
                                  table[2 * p + 1][3], table[2 * p + 1][4]}),
              (std::array<int, 5>{4, 1 + o, 2 + o, 3 + o, 4 + o}));
    EXPECT_EQ((std::array<int, 5>{table[2 * p + 2][0], table[2 * p + 2][1], table[2 * p + 2][2],
                                  table[2 * p + 2][3], table[2 * p + 2][4]}),
              (std::array<int, 5>{3, 5 + o, 6 + o, 7 + o, 0}));
  }
}

KRZ_RANKS_TEST(Face, CallersFaceMapIsCopied) {
  // Every rank's faces in reverse default order.
  std::vector<std::vector<int>> rows;
  int next = 0;
  for (int p = 0; p < nproc; ++p) {
    rows.emplace_back(1, 0);
    next += CountOf(p);
    for (int i = 1; i <= CountOf(p); ++i)
      rows.back().push_back(next - i + 1);
  }
  std::vector<int*> map;
  for (auto& r : rows)
    map.push_back(r.data());
  LocalFaces faces = Quads(CountOf(myid));
  NodeMap nodes(nproc, 4 * 3, 100);
  CKRZL2GBroadTools_Face face;
  face.SetInitialize(myid, nproc, &com);
  face.SetLocalFace20(faces.Count(), faces.Get());
  face.SetL2GMapRelation(myid == 0 ? nodes.table.data() : nullptr,
                         myid == 0 ? map.data() : nullptr);
  for (auto& r : rows) // the object holds a copy, not the caller's rows
    std::fill(r.begin(), r.end(), -1);
  std::vector<int> local(static_cast<size_t>(faces.Count()) + 1, 0);
  for (int i = 1; i <= faces.Count(); ++i)
    local[static_cast<size_t>(i)] = 100 * myid + i;
  std::vector<int> global(static_cast<size_t>(face.GetFaceNumber_Global()) + 1, 0);
  face.GetValue_FromLocalFaceToGloblaFace(local.data(), global.data());
  if (myid == 0) {
    int g = 0;
    for (int p = 0; p < nproc; ++p) {
      g += CountOf(p);
      for (int i = 1; i <= CountOf(p); ++i)
        EXPECT_EQ(global[static_cast<size_t>(g - i + 1)], 100 * p + i);
    }
  }
}

KRZ_RANKS_TEST(Face, MatchingAgainstTheCallersReversedTable) {
  LocalFaces faces = Quads(2);
  NodeMap nodes(nproc, 8, 8);
  // The caller's global table: every face, last first, nodes rotated.
  const int total = 2 * nproc;
  std::vector<std::array<int, 5>> records(static_cast<size_t>(total) + 1, {0, 0, 0, 0, 0});
  for (int p = 0; p < nproc; ++p)
    for (int i = 1; i <= 2; ++i) {
      const int o = nproc == 1 ? 0 : 8 * p;
      const int def = 2 * p + i;
      records[static_cast<size_t>(total - def + 1)] = {4, 4 * i - 2 + o, 4 * i - 1 + o, 4 * i + o,
                                                       4 * i - 3 + o};
    }
  std::vector<int*> table(1, nullptr);
  for (int g = 1; g <= total; ++g)
    table.push_back(records[static_cast<size_t>(g)].data());

  CKRZL2GBroadTools_Face face;
  face.SetInitialize(myid, nproc, &com);
  face.SetLocalFace20(faces.Count(), faces.Get());
  int count = total;
  face.SetL2GMapRelation(myid == 0 ? nodes.table.data() : nullptr, count, table.data());
  EXPECT_EQ(KRZTakeOutput(), "");

  std::vector<int> local{0, 10 * myid + 1, 10 * myid + 2};
  std::vector<int> global(static_cast<size_t>(total) + 1, 0);
  face.GetValue_FromLocalFaceToGloblaFace(local.data(), global.data());
  int n = 0;
  int** own = nullptr;
  face.GetGlobalFace20(n, own);
  if (myid == 0) {
    for (int p = 0; p < nproc; ++p)
      for (int i = 1; i <= 2; ++i)
        EXPECT_EQ(global[static_cast<size_t>(total - (2 * p + i) + 1)], 10 * p + i);
    EXPECT_EQ(own[1][1], 1); // the object's own table stays in the default numbering
  }
  std::vector<int> back(3, 0);
  face.GetValue_FromGlobalFaceToLocalFace(global.data(), back.data());
  EXPECT_EQ(back, local);
}

KRZ_RANKS_TEST(Face, CallersCountThatDiffersIsReportedOnceAndNothingOverflows) {
  LocalFaces faces = Quads(1);
  NodeMap nodes(nproc, 4, 4);
  // The caller lists one face more than exists; the real faces come after the extra one, so
  // the last face number lies beyond the global dimension.
  std::vector<std::array<int, 5>> records{{0, 0, 0, 0, 0}, {3, 900, 901, 902, 0}};
  for (int p = 0; p < nproc; ++p) {
    const int o = nproc == 1 ? 0 : 4 * p;
    records.push_back({4, 1 + o, 2 + o, 3 + o, 4 + o});
  }
  std::vector<int*> table(1, nullptr);
  for (size_t g = 1; g < records.size(); ++g)
    table.push_back(records[g].data());
  int count = nproc + 1;

  CKRZL2GBroadTools_Face face;
  face.SetInitialize(myid, nproc, &com);
  face.SetLocalFace20(faces.Count(), faces.Get());
  face.SetL2GMapRelation(myid == 0 ? nodes.table.data() : nullptr, count, table.data());
  const std::vector<std::string> lines = KRZLines(KRZTakeOutput());
  if (myid == 0) {
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "m_nFaceNumber_G(" + std::to_string(nproc) + ") != nFaceNumber_Global(" +
                            std::to_string(nproc + 1) + ")");
  } else {
    EXPECT_TRUE(lines.empty());
  }
  // Rank p's face is caller face p+2; the last one is beyond n_G: the transfer is refused.
  int local[2] = {0, 7};
  std::vector<int> global(static_cast<size_t>(nproc) + 1, 0);
  face.GetValue_FromLocalFaceToGloblaFace(local, global.data());
  const std::vector<std::string> after = KRZLines(KRZTakeOutput());
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(after.back(), "Check L2G DataCorrect Fail");
}
