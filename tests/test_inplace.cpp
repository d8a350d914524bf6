// Rows that are one run of global numbers move straight between the message and the global array
// (no staging). Whatever path a row takes, a gather and a scatter must give exactly what the
// item-by-item loops give: every write they make and only those, the last writer included, and
// element 0 of the caller's arrays left alone. All five types, both engines.
#include <functional>
#include <memory>
#include <vector>

#include "CCOM_BroadTools.h"
#include "KRZTestHarness.h"
#include "testing/KRZTestRelation.h"

using krz::testing::KRZTestRelation;
using krz::testing::LiteralGather;
using krz::testing::Rows;

namespace {

struct Pattern {
  const char* name;
  std::function<Rows(int nproc, int& nGlobal)> make;
};

// Rank p holds 3 items, numbered consecutively after rank p-1's, with a gap of `gap` between
// ranks; rank 0 may hold none.
Rows Runs(int nproc, int& nGlobal, bool rankZeroEmpty, int gap) {
  Rows rows;
  int next = 0;
  for (int p = 0; p < nproc; ++p) {
    rows.emplace_back(1, 0);
    const int n = p == 0 && rankZeroEmpty ? 0 : 3;
    next += gap;
    for (int i = 1; i <= n; ++i)
      rows.back().push_back(++next);
  }
  nGlobal = next + gap;
  return rows;
}

const std::vector<Pattern>& Patterns() {
  static const std::vector<Pattern> patterns = {
      {"consecutive, rank 0 without items, gaps between runs",
       [](int nproc, int& nG) { return Runs(nproc, nG, true, 2); }},
      {"a run that ends at n_G",
       [](int nproc, int& nG) {
         Rows rows = Runs(nproc, nG, false, 0);
         nG = rows.back().back();
         return rows;
       }},
      {"every rank on the same run (the last writer wins)",
       [](int nproc, int& nG) {
         nG = 4;
         return Rows(static_cast<size_t>(nproc), std::vector<int>{0, 2, 3, 4});
       }},
      {"a row with one break",
       [](int nproc, int& nG) {
         Rows rows = Runs(nproc, nG, false, 1);
         rows.back()[2] += 1; // 1 2 4 pattern on the last rank
         return rows;
       }},
      {"a row that names global element 0",
       [](int nproc, int& nG) {
         Rows rows = Runs(nproc, nG, false, 1);
         rows.back()[1] = 0;
         return rows;
       }},
  };
  return patterns;
}

template <class T> T ValueOf(int p, int i) { return static_cast<T>(20 * p + i); }
template <> bool ValueOf<bool>(int p, int i) { return (p + i) % 2 == 0; }

template <class T> T Sentinel() { return static_cast<T>(99); }
template <> bool Sentinel<bool>() { return true; }

// The item-by-item gather onto `global`.
template <class T> void PlaceLiterally(const KRZTestRelation& rel, std::vector<T>& global) {
  LiteralGather(rel, global, [](int p, int i) { return ValueOf<T>(p, i); });
}

// Gathers and scatters through `rows`, then edits the rows in place (`edit`, counts unchanged)
// and does it again; each transfer is compared with the literal loops.
template <class T>
void CheckPattern(CKRZCom& com, int myid, int nproc, const Rows& rows, int nG,
                  const std::function<void(Rows&)>& edit) {
  KRZTestRelation rel(nG, rows);
  if (nproc == 1 && rel.Count(0) != nG)
    return; // a one-rank run moves n_G items: its relation must have exactly that many
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(nG, rel.Counts(), rel.Table());
  const int n = rel.Count(myid);
  std::unique_ptr<T[]> local(new T[static_cast<size_t>(n) + 1]);
  for (int round = 0; round < 3; ++round) {
    local[0] = ValueOf<T>(myid, 0) == Sentinel<T>() ? T() : Sentinel<T>(); // must not travel
    for (int i = 1; i <= n; ++i)
      local[static_cast<size_t>(i)] = ValueOf<T>(myid, i);
    // Rank 0's global array starts as all sentinels: elements no item writes must keep them.
    std::vector<T> expected(static_cast<size_t>(nG) + 1, Sentinel<T>());
    std::unique_ptr<T[]> global(new T[static_cast<size_t>(nG) + 1]);
    std::fill(global.get(), global.get() + nG + 1, Sentinel<T>());
    T* g = global.get();
    ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.get(), g), 1);
    if (myid == 0) {
      PlaceLiterally(rel, expected);
      for (int k = 0; k <= nG; ++k)
        EXPECT_EQ(global[static_cast<size_t>(k)], expected[static_cast<size_t>(k)])
            << "round " << round << ", global element " << k;
    }
    // The scatter gives every item its global value; element 0 of the local array stays.
    const T kept = local[0];
    T* l = local.get();
    ASSERT_EQ(tools.GetLocalArrayFromGlobalArray(g, l), 1);
    EXPECT_EQ(local[0], kept) << "round " << round;
    if (myid != 0)
      PlaceLiterally(rel, expected); // every rank knows the relation and the values
    for (int i = 1; i <= n; ++i)
      EXPECT_EQ(local[static_cast<size_t>(i)], expected[static_cast<size_t>(rel.At(myid, i))])
          << "round " << round << ", item " << i;
    edit(rel.rows); // in place on rank 0 (the table the object reads); every rank follows for
                    // its expectations
  }
}

template <class T> void AllPatterns(CKRZCom& com, int myid, int nproc) {
  for (const Pattern& pattern : Patterns()) {
    SCOPED_TRACE(pattern.name);
    int nG = 0;
    const Rows rows = pattern.make(nproc, nG);
    // Between the rounds the last rank's run turns scattered, then back into a run.
    auto flip = [](Rows& r) {
      std::vector<int>& last = r.back();
      if (last.size() > 2)
        std::swap(last[1], last[2]);
    };
    CheckPattern<T>(com, myid, nproc, rows, nG, flip);
  }
}

} // namespace

KRZ_RANKS_TEST(InPlace, RunsMoveExactlyAsItemByItem) {
  AllPatterns<double>(com, myid, nproc);
  AllPatterns<float>(com, myid, nproc);
  AllPatterns<int>(com, myid, nproc);
  AllPatterns<bool>(com, myid, nproc);
  AllPatterns<char>(com, myid, nproc);
}

KRZ_RANKS_TEST(InPlace, TheDefaultRelationMovesInPlaceAndKeepsElementZero) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  const int n = 1 + (myid * 5) % 4; // 1, 2, 3, 4, 1 items
  tools.SetMapRelation_DefaultRelation(n);
  std::vector<double> local(static_cast<size_t>(n) + 1);
  local[0] = -5.0;
  for (int i = 1; i <= n; ++i)
    local[static_cast<size_t>(i)] = 100.0 * myid + i;
  const int nG = tools.GetDimension_Global();
  std::vector<double> global(static_cast<size_t>(nG) + 1, -1.0);
  double* g = global.data();
  tools.GetGlobalArrayFromLocalArray(local.data(), g);
  if (myid == 0) {
    EXPECT_EQ(global[0], -1.0); // rank 0's run starts at 1: its message's element 0 is not kept
    int k = 1;
    for (int p = 0; p < nproc; ++p)
      for (int i = 1; i <= 1 + (p * 5) % 4; ++i)
        EXPECT_EQ(global[static_cast<size_t>(k++)], 100.0 * p + i);
  }
  std::fill(local.begin() + 1, local.end(), 0.0);
  double* l = local.data();
  tools.GetLocalArrayFromGlobalArray(g, l);
  EXPECT_EQ(local[0], -5.0);
  for (int i = 1; i <= n; ++i)
    EXPECT_EQ(local[static_cast<size_t>(i)], 100.0 * myid + i);
}
