// Face matching by node set: the documented cases, and the real matching against a plain
// step-by-step transcription of the scan on random tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "KRZReferenceMatch.h"
#include "face/CKRZFacesMappingA2B_Basic.h"

namespace {

// A face table owning its records: faces 1..n, each five ints (k, nodes..., 0 past k).
struct Table {
  std::vector<std::array<int, 5>> records{{0, 0, 0, 0, 0}};
  std::vector<int*> pointers;

  explicit Table(std::vector<std::vector<int>> faces = {}) {
    for (const auto& f : faces) {
      std::array<int, 5> r{static_cast<int>(f.size()), 0, 0, 0, 0};
      for (size_t j = 0; j < f.size() && j < 4; ++j)
        r[j + 1] = f[j];
      records.push_back(r);
    }
  }
  int Count() const { return static_cast<int>(records.size()) - 1; }
  int** Get() {
    pointers.assign(1, nullptr);
    for (size_t i = 1; i < records.size(); ++i)
      pointers.push_back(records[i].data());
    return pointers.data();
  }
};

struct Maps {
  std::vector<int> a2b, b2a;
};

Maps Match(Table& a, Table& b) {
  CKRZFacesMappingA2B_Basic m(a.Get(), a.Count(), b.Get(), b.Count());
  m.CreateMapping();
  return {m.m_pA2B, m.m_pB2A};
}

Maps Reference(Table& a, Table& b) {
  KRZReferenceMaps r = KRZReferenceMatch(a.Get(), a.Count(), b.Get(), b.Count());
  return {r.a2b, r.b2a};
}

using V = std::vector<int>;

} // namespace

TEST(FaceMatching, ReversedTableWithRotatedAndReversedNodes) {
  Table a({{1, 2, 3, 4}, {5, 6, 7}, {2, 3, 8, 9}, {10, 11, 12, 13}});
  Table b({{13, 12, 11, 10}, {8, 9, 2, 3}, {7, 5, 6}, {4, 1, 2, 3}});
  const Maps m = Match(a, b);
  EXPECT_EQ(m.a2b, (V{0, 4, 3, 2, 1}));
  EXPECT_EQ(m.b2a, (V{0, 4, 3, 2, 1}));
}

TEST(FaceMatching, TiesAndCountsFollowTheScan) {
  // A triangle and a quad sharing three nodes never match.
  Table tri({{1, 2, 3}}), quad({{1, 2, 3, 4}});
  EXPECT_EQ(Match(tri, quad).a2b, (V{0, 0}));

  // Two A faces with one node set and one B face: the lower A face takes it.
  Table twoA({{4, 5, 6}, {6, 5, 4}}), oneB({{5, 6, 4}});
  Maps m = Match(twoA, oneB);
  EXPECT_EQ(m.a2b, (V{0, 1, 0}));
  EXPECT_EQ(m.b2a, (V{0, 1}));

  // One A triangle and two B faces with its node set: both map back to it, and it keeps the
  // higher B face (taken at its second node).
  Table oneA({{4, 5, 6}}), twoB({{6, 4, 5}, {5, 6, 4}});
  m = Match(oneA, twoB);
  EXPECT_EQ(m.a2b, (V{0, 2}));
  EXPECT_EQ(m.b2a, (V{0, 1, 1}));

  // Unmatched faces on both sides keep 0; an empty A matches nothing.
  Table a({{1, 2, 3}, {7, 8, 9}}), b({{3, 2, 1}, {1, 2, 4}});
  m = Match(a, b);
  EXPECT_EQ(m.a2b, (V{0, 1, 0}));
  EXPECT_EQ(m.b2a, (V{0, 1, 0}));
  Table empty;
  m = Match(empty, b);
  EXPECT_EQ(m.a2b, (V{0}));
  EXPECT_EQ(m.b2a, (V{0, 0, 0}));
}

TEST(FaceMatching, RepeatedNodesPassTheSlotTestAsWritten) {
  // (1, 1, 2) against (1, 2, 3): every slot of A is found in B, so they pair.
  Table a({{1, 1, 2}}), b({{1, 2, 3}});
  EXPECT_EQ(Match(a, b).a2b, (V{0, 1}));
  // The other way round slot 3 of A is not found.
  EXPECT_EQ(Match(b, a).a2b, (V{0, 0}));
}

TEST(FaceMatching, UnindexableInputIsLeftOutWithALine) {
  Table a({{1, 2, 3}, {4, 5, 6}, {0, -2, 3}});
  a.records[2][0] = 7; // node count outside 0..4
  Table b({{3, 2, 1}, {6, 5, 4}, {1, 2, 99}, {-2, 3, 0}});
  testing::internal::CaptureStdout();
  const Maps m = Match(a, b);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "Face matching: face 2 of table A has node count 7 outside 0 to 4; it matches "
                 "nothing\n");
  EXPECT_EQ(m.a2b[1], 1);
  EXPECT_EQ(m.a2b[2], 0);
  EXPECT_EQ(m.b2a[2], 0);
  EXPECT_EQ(m.b2a[3], 0); // node 99 lies above every node of A
  const Maps r = Reference(a, b);
  EXPECT_EQ(m.a2b, r.a2b);
  EXPECT_EQ(m.b2a, r.b2a);
}

TEST(FaceMatching, AgreesWithThePlainScanOnRandomTables) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 3000; ++round) {
    const int nodes = 2 + static_cast<int>(rng() % 9);
    auto randomTable = [&](int n, int extra) {
      Table t;
      for (int i = 0; i < n; ++i) {
        const int k = static_cast<int>(rng() % 5); // 0..4 nodes, triangles and quads mostly
        std::array<int, 5> r{k, 0, 0, 0, 0};
        for (int j = 1; j <= k; ++j)
          r[static_cast<size_t>(j)] =
              1 + static_cast<int>(rng() % static_cast<unsigned>(nodes + extra));
        t.records.push_back(r);
      }
      return t;
    };
    Table a = randomTable(static_cast<int>(rng() % 12), 0);
    Table b = randomTable(static_cast<int>(rng() % 12), 2); // B may name nodes above A's
    if (round % 3 == 0 && a.Count() > 0) {
      b = a; // the same faces shuffled with rotated nodes, plus duplicates
      std::shuffle(b.records.begin() + 1, b.records.end(), rng);
      for (auto& r : b.records)
        if (r[0] > 1)
          std::rotate(r.begin() + 1, r.begin() + 2, r.begin() + 1 + r[0]);
      b.records.push_back(b.records.back());
    }
    const Maps real = Match(a, b);
    const Maps plain = Reference(a, b);
    ASSERT_EQ(real.a2b, plain.a2b) << "round " << round;
    ASSERT_EQ(real.b2a, plain.b2a) << "round " << round;
  }
}

// Tables where every face has distinct nodes and no two faces of a table share a set (the common
// case, joined by smallest node), and the same tables spoiled by one face that leaves that case:
// a second A or B face with an existing set, a repeated node, a B node above A's largest, a face
// without nodes. Every variant agrees with the scan.
TEST(FaceMatching, AgreesWithThePlainScanOnTablesOfDistinctSets) {
  std::mt19937 rng(7);
  for (int round = 0; round < 600; ++round) {
    const int nodes = 4 + static_cast<int>(rng() % 3000);
    Table a, b;
    std::vector<std::vector<int>> sets;
    const int n = 1 + static_cast<int>(rng() % 200);
    for (int f = 0; f < n; ++f) {
      const int k = 3 + static_cast<int>(rng() % 2);
      std::array<int, 5> r{k, 0, 0, 0, 0};
      for (int j = 1; j <= k; ++j) {
        bool again = true;
        while (again) {
          r[static_cast<size_t>(j)] = 1 + static_cast<int>(rng() % static_cast<unsigned>(nodes));
          again =
              std::find(r.begin() + 1, r.begin() + j, r[static_cast<size_t>(j)]) != r.begin() + j;
        }
      }
      std::vector<int> key(r.begin() + 1, r.begin() + 1 + k);
      std::sort(key.begin(), key.end());
      if (std::find(sets.begin(), sets.end(), key) != sets.end())
        continue;
      sets.push_back(key);
      if (rng() % 4 != 0)
        a.records.push_back(r);
      if (rng() % 4 != 0) { // B: rotated, reversed, in another order
        std::rotate(r.begin() + 1, r.begin() + 1 + static_cast<int>(rng() % k), r.begin() + 1 + k);
        if (rng() % 2 != 0)
          std::reverse(r.begin() + 1, r.begin() + 1 + k);
        b.records.push_back(r);
      }
    }
    std::shuffle(b.records.begin() + 1, b.records.end(), rng);
    switch (round % 6) { // one face leaving the common case, in five of six rounds
    case 1:
      if (a.Count() > 0)
        a.records.insert(a.records.begin() + 1, a.records[1 + rng() % a.Count()]);
      break;
    case 2:
      if (b.Count() > 0)
        b.records.push_back(b.records[1 + rng() % b.Count()]);
      break;
    case 3:
      if (a.Count() > 0)
        a.records.back()[2] = a.records.back()[1];
      break;
    case 4: b.records.push_back({3, nodes + 5, 1, 2}); break;
    case 5: a.records.push_back({0, 0, 0, 0, 0}); break;
    default: break;
    }
    const Maps real = Match(a, b);
    const Maps plain = Reference(a, b);
    ASSERT_EQ(real.a2b, plain.a2b) << "round " << round;
    ASSERT_EQ(real.b2a, plain.b2a) << "round " << round;
  }
}
