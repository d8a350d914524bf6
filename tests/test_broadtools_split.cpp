// The split gather and scatter (_Begin, _End): the blocking transfer's results in every type, and
// one line for each misuse, on both engines and both routes.
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "CCOM_BroadTools.h"
#include "KRZTestHarness.h"
#include "testing/KRZTestRelation.h"

using namespace krz::testing;

namespace {

void ExpectLine(const std::string& part) {
  const std::string out = KRZTakeOutput();
  EXPECT_NE(out.find(part), std::string::npos) << out;
}

// A random relation with duplicates and items on element 0, every rank's values; the split
// gather and scatter give exactly what the blocking ones give, with targets given or allocated.
template <class T> void SplitMatchesBlocking(CKRZCom& com, int myid, int nproc, unsigned seed) {
  std::mt19937 rng(seed * 104729u + static_cast<unsigned>(nproc));
  const int nGlobal = 5 + static_cast<int>(rng() % 40);
  std::vector<int> counts;
  for (int p = 0; p < nproc; ++p)
    counts.push_back(nproc == 1 ? nGlobal : static_cast<int>(rng() % 60));
  KRZTestRelation rel = RandomNumbers(counts, nGlobal, rng);
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(rel.nGlobal, rel.Counts(), rel.Table());
  const int n = counts[static_cast<size_t>(myid)];
  std::unique_ptr<T[]> local(new T[static_cast<size_t>(n) + 1]()); // not vector<bool>
  for (int i = 1; i <= n; ++i)
    local[static_cast<size_t>(i)] = TestValue<T>(myid, i, static_cast<int>(seed));

  T* blocking = nullptr;
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.get(), blocking), 1);
  std::unique_ptr<T[]> ownBlocking(blocking);
  T* split = nullptr; // allocated, handed over at _End
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray_Begin(local.get(), split), 1);
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray_End(local.get(), split), 1);
  std::unique_ptr<T[]> ownSplit(split);
  if (myid == 0) {
    ASSERT_NE(split, nullptr);
    for (int g = 1; g <= nGlobal; ++g)
      ASSERT_EQ(split[g], blocking[g]) << "global " << g;
  }

  std::unique_ptr<T[]> back(new T[static_cast<size_t>(n) + 1]());
  std::unique_ptr<T[]> splitBack(new T[static_cast<size_t>(n) + 1]());
  T* target = back.get();
  ASSERT_EQ(tools.GetLocalArrayFromGlobalArray(blocking, target), 1);
  target = splitBack.get();
  ASSERT_EQ(tools.GetLocalArrayFromGlobalArray_Begin(blocking, target), 1);
  ASSERT_EQ(tools.GetLocalArrayFromGlobalArray_End(blocking, target), 1);
  EXPECT_EQ(target, splitBack.get());
  for (int i = 1; i <= n; ++i)
    ASSERT_EQ(splitBack[static_cast<size_t>(i)], back[static_cast<size_t>(i)]) << "item " << i;
  EXPECT_EQ(KRZTakeOutput(), "");
}

} // namespace

KRZ_RANKS_TEST(SplitTransfer, GivesTheBlockingResultsInEveryType) {
  for (unsigned seed = 1; seed <= 3; ++seed) {
    SplitMatchesBlocking<double>(com, myid, nproc, seed);
    SplitMatchesBlocking<float>(com, myid, nproc, seed);
    SplitMatchesBlocking<int>(com, myid, nproc, seed);
    SplitMatchesBlocking<bool>(com, myid, nproc, seed);
    SplitMatchesBlocking<char>(com, myid, nproc, seed);
  }
}

KRZ_RANKS_TEST(SplitTransfer, MisuseGetsOneLineAndWritesNothingMore) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(3);
  const int nGlobal = 3 * nproc;
  std::vector<double> local = {0, 1.0 + myid, 2.0 + myid, 3.0 + myid};
  std::vector<double> global(static_cast<size_t>(nGlobal) + 1, -1.0);
  double* target = global.data();

  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray_End(local.data(), target), 0);
  ExpectLine("GetGlobalArrayFromLocalArray_End: no _Begin before it");

  // A second _Begin is ignored; the first one ends as usual.
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray_Begin(local.data(), target), 1);
  std::vector<double> other(global.size(), -7.0);
  double* otherTarget = other.data();
  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray_Begin(local.data(), otherTarget), 0);
  ExpectLine("_Begin: the split transfer begun before has not ended (_End); this one is ignored");
  // A whole transfer between the halves is refused alike on every rank.
  EXPECT_EQ(tools.GetLocalArrayFromGlobalArray(global.data(), otherTarget), 0);
  ExpectLine("GetLocalArrayFromGlobalArray: a split transfer of this object is in flight");
  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray_End(local.data(), target), 1);
  EXPECT_EQ(KRZTakeOutput(), "");
  EXPECT_EQ(other, std::vector<double>(global.size(), -7.0));
  for (int g = 1; myid == 0 && g <= nGlobal; ++g)
    EXPECT_EQ(global[static_cast<size_t>(g)], 1.0 + (g - 1) / 3 + (g - 1) % 3);

  // Other arrays, or the other transfer, at _End: completed, the line on that rank, 0.
  std::vector<double> back(4, -5.0);
  double* backTarget = back.data();
  ASSERT_EQ(tools.GetLocalArrayFromGlobalArray_Begin(global.data(), backTarget), 1);
  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray_End(global.data(), backTarget), 0);
  ExpectLine("_End: not the transfer, type or arrays of the _Begin before it");
  // The same _End now has nothing to end.
  EXPECT_EQ(tools.GetLocalArrayFromGlobalArray_End(global.data(), backTarget), 0);
  ExpectLine("no _Begin before it");
  std::vector<int> ints(4, 0);
  int* intTarget = ints.data();
  ASSERT_EQ(tools.GetLocalArrayFromGlobalArray_Begin(global.data(), backTarget), 1);
  EXPECT_EQ(
      tools.GetLocalArrayFromGlobalArray_End(reinterpret_cast<int*>(global.data()), intTarget), 0);
  ExpectLine("not the transfer, type or arrays");
  EXPECT_EQ(ints, std::vector<int>(4, 0));

  // Set up again in between: completed, nothing more written, every rank says so.
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray_Begin(local.data(), target), 1);
  tools.SetMapRelation_DefaultRelation(3);
  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray_End(local.data(), target), 0);
  ExpectLine("or the object was set up again since");

  // A copy has nothing in flight; the original ends its own.
  ASSERT_EQ(tools.GetLocalArrayFromGlobalArray_Begin(global.data(), backTarget), 1);
  CCOM_BroadTools copy(tools);
  EXPECT_EQ(copy.GetLocalArrayFromGlobalArray_End(global.data(), backTarget), 0);
  ExpectLine("no _Begin before it (or the object was copied since)");
  EXPECT_EQ(tools.GetLocalArrayFromGlobalArray_End(global.data(), backTarget), 1);
  EXPECT_EQ(back, (std::vector<double>{-5.0, 1.0 + myid, 2.0 + myid, 3.0 + myid}));

  // An object destroyed with a transfer in flight completes its messages first.
  {
    CCOM_BroadTools scoped(tools);
    ASSERT_EQ(scoped.GetGlobalArrayFromLocalArray_Begin(local.data(), target), 1);
  }
  EXPECT_EQ(KRZTakeOutput(), "");
}
