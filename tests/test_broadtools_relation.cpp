// The relation check, its failures and the diagnostic and debug lines of CCOM_BroadTools.
#include <algorithm>
#include <string>
#include <vector>

#include "CCOM_BroadTools.h"
#include "KRZTestHarness.h"

namespace {

size_t CountLines(const std::vector<std::string>& lines, const std::string& start) {
  return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.compare(0, start.size(), start) == 0;
  }));
}

} // namespace

KRZ_RANKS_TEST(Relation, MissingRelationFailsOnEveryRankUntilOneIsGiven) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  std::vector<int> counts(static_cast<size_t>(nproc), 1);
  std::vector<std::vector<int>> rows;
  std::vector<int*> table;
  for (int p = 0; p < nproc; ++p)
    rows.push_back({0, p + 1});
  for (auto& row : rows)
    table.push_back(row.data());
  double local[2] = {0.0, 1.5 + myid};
  double* global = nullptr;

  if (nproc == 1) {
    // One rank completes an empty relation locally and never fails.
    EXPECT_EQ(tools.GetDimension_Local(0), 0);
    EXPECT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 1);
    EXPECT_EQ(KRZTakeOutput(), "");
    delete[] global;
    return;
  }
  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 0);
  EXPECT_EQ(global, nullptr);
  const std::vector<std::string> expected =
      myid == 0 ? std::vector<std::string>{"Not Set Dimension_Local", "Not Set L2GArray",
                                           "Check L2G DataCorrect Fail"}
                : std::vector<std::string>{"Check L2G DataCorrect Fail"};
  EXPECT_EQ(KRZLines(KRZTakeOutput()), expected);

  tools.SetMapRelation(0, counts.data(), table.data()); // global dimension 0: still refused
  double* back = nullptr;
  EXPECT_EQ(tools.GetLocalArrayFromGlobalArray(global, back), 0);
  EXPECT_EQ(back, nullptr);
  EXPECT_EQ(KRZTakeOutput(), ""); // the scatter is silent unless debugging

  tools.SetMapRelation(nproc, counts.data(), table.data());
  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 1);
  if (myid == 0) {
    for (int p = 0; p < nproc; ++p)
      EXPECT_EQ(global[p + 1], 1.5 + p);
  }
  delete[] global;
}

KRZ_RANKS_TEST(Relation, GlobalNumberOutOfRangeIsRefusedBeforeAnythingIsWritten) {
  const int last = nproc - 1;
  std::vector<int> counts(static_cast<size_t>(nproc), 2);
  std::vector<std::vector<int>> rows;
  for (int p = 0; p < nproc; ++p)
    rows.push_back({0, 2 * p + 1, p == last ? 2 * nproc + 5 : 2 * p + 2});
  std::vector<int*> table;
  for (auto& row : rows)
    table.push_back(row.data());
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation(2 * nproc, counts.data(), table.data());
  int local[3] = {0, 1, 2};
  int* global = nullptr;
  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 0);
  EXPECT_EQ(global, nullptr);
  const std::string bad = "L2G relation error: process " + std::to_string(last) +
                          ", local item 2, global number " + std::to_string(2 * nproc + 5) +
                          " outside 0 to " + std::to_string(2 * nproc);
  const std::vector<std::string> expected =
      myid == 0 ? std::vector<std::string>{bad, "Check L2G DataCorrect Fail"}
                : std::vector<std::string>{"Check L2G DataCorrect Fail"};
  EXPECT_EQ(KRZLines(KRZTakeOutput()), expected);

  // Mended in place on rank 0, the relation is accepted by the next (collective) check.
  rows[static_cast<size_t>(last)][2] = 2 * nproc;
  EXPECT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 1);
  if (myid == 0) {
    EXPECT_EQ(global[2 * nproc], 2);
  }
  delete[] global;
}

KRZ_RANKS_TEST(Relation, EditedOutOfRangeAfterTheCheckSkipsTheItemWithALine) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  std::vector<int> counts(static_cast<size_t>(nproc), 1);
  std::vector<std::vector<int>> rows;
  for (int p = 0; p < nproc; ++p)
    rows.push_back({0, p + 1});
  std::vector<int*> table;
  for (auto& row : rows)
    table.push_back(row.data());
  tools.SetMapRelation(nproc, counts.data(), table.data());
  int local[2] = {0, 7};
  int* global = nullptr;
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 1);
  if (nproc == 1)
    rows[0][1] = -3; // one rank re-checks at every call: refused as a whole
  else if (myid == 0)
    rows[0][1] = 99; // the check already ran: rank 0 skips the item
  const int result = tools.GetGlobalArrayFromLocalArray(local, global);
  const std::vector<std::string> lines = KRZLines(KRZTakeOutput());
  if (nproc == 1) {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "L2G relation error: process 0, local item 1, global number -3 outside "
                         "0 to 1",
                         "Check L2G DataCorrect Fail"}));
  } else {
    EXPECT_EQ(result, 1);
    if (myid == 0) {
      EXPECT_EQ(lines, (std::vector<std::string>{"L2G relation error: process 0, local item 1, "
                                                 "global number 99 outside 0 to " +
                                                 std::to_string(nproc)}));
    }
  }
  delete[] global;
}

KRZ_RANKS_TEST(Relation, LocalDimensionOutsideTheRanksIsZeroWithALine) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(4);
  EXPECT_EQ(tools.GetDimension_Local(nproc), 0);
  EXPECT_EQ(tools.GetDimension_Local(-1), 0);
  EXPECT_EQ(
      KRZLines(KRZTakeOutput()),
      (std::vector<std::string>{"GetDimension_Local: process number " + std::to_string(nproc) +
                                    " outside 0 to " + std::to_string(nproc - 1),
                                "GetDimension_Local: process number -1 outside 0 to " +
                                    std::to_string(nproc - 1)}));
  EXPECT_EQ(tools.GetDimension_Local(nproc - 1), 4);
}

KRZ_RANKS_TEST_N(Relation, OneRankDefaultRelationIsTheIdentity, 1) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(7);
  EXPECT_EQ(tools.GetDimension_Global(), 7);
  EXPECT_EQ(tools.GetDimension_Local(0), 7);
  char local[8] = {'-', 'a', 'b', 'c', 'd', 'e', 'f', 'g'};
  char* global = nullptr;
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 1);
  EXPECT_EQ(std::string(global + 1, 7), "abcdefg");
  char* back = nullptr;
  ASSERT_EQ(tools.GetLocalArrayFromGlobalArray(global, back), 1);
  EXPECT_EQ(std::string(back + 1, 7), "abcdefg");
  delete[] back;

  // The object's own identity table moves as one run; another relation replaces it at once.
  tools.SetMapRelation_DefaultRelation(3);
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 1);
  EXPECT_EQ(std::string(global + 1, 3), "abc");
  int count = 3;
  int reversed[4] = {0, 3, 2, 1};
  int* table[1] = {reversed};
  tools.SetMapRelation(3, &count, table);
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local, global), 1);
  EXPECT_EQ(std::string(global + 1, 3), "cba");
  EXPECT_TRUE(KRZTakeOutput().empty());
  delete[] global;
}

KRZ_RANKS_TEST_N(Relation, DebugLinesOfATwoRankGatherAndScatter, 2) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetIfOpenDebugMode(1);
  tools.SetMapRelation_DefaultRelation(myid == 0 ? 3 : 2);
  double local0[4] = {0, 0.5, 1.5, 2.5};
  double local1[3] = {0, 3.5, 4.5};
  double* global = nullptr;
  ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(myid == 0 ? local0 : local1, global), 1);
  if (myid == 0)
    EXPECT_EQ(KRZLines(KRZTakeOutput()),
              (std::vector<std::string>{
                  "Global dim =5", "Local dim =3",
                  "CPU 0 GetFrom pLocalArray_CPUX[1] = 0.5,To Global [1]=0.5",
                  "CPU 0 GetFrom pLocalArray_CPUX[2] = 1.5,To Global [2]=1.5",
                  "CPU 0 GetFrom pLocalArray_CPUX[3] = 2.5,To Global [3]=2.5", "Local dim =2",
                  "Local dim =2", "CPU 1 GetFrom pLocalArray_CPUX[1] = 3.5,To Global [4]=3.5",
                  "CPU 1 GetFrom pLocalArray_CPUX[2] = 4.5,To Global [5]=4.5"}));
  else
    EXPECT_EQ(KRZLines(KRZTakeOutput()),
              (std::vector<std::string>{"Global dim =5", "Local dim =2"}));

  double* back = nullptr;
  ASSERT_EQ(tools.GetLocalArrayFromGlobalArray(global, back), 1);
  if (myid == 0)
    EXPECT_EQ(KRZLines(KRZTakeOutput()),
              (std::vector<std::string>{
                  "Global dim =5", "Local dim =3", "CPU0 GetFrom Global pLocalArray[1] = 0.5",
                  "CPU0 GetFrom Global pLocalArray[2] = 1.5",
                  "CPU0 GetFrom Global pLocalArray[3] = 2.5", "Local dim =2"}));
  else
    EXPECT_EQ(KRZLines(KRZTakeOutput()),
              (std::vector<std::string>{"Global dim =5", "Local dim =2",
                                        "CPU 1 GetFrom Global pLocalArray[1] = 3.5",
                                        "CPU 1 GetFrom Global pLocalArray[2] = 4.5"}));
  delete[] back;
  delete[] global;
}

KRZ_RANKS_TEST_N(Relation, DebugThresholdsOfLongArrays, 1) {
  // Relation print: first 29 and last 5 entries of rank 0's row.
  for (int n : {34, 35, 40}) {
    std::vector<int> counts{n};
    std::vector<int> row(static_cast<size_t>(n) + 1);
    for (int i = 0; i <= n; ++i)
      row[static_cast<size_t>(i)] = i;
    std::vector<int*> table{row.data()};
    CCOM_BroadTools tools;
    tools.SetInitialize(myid, nproc, &com);
    tools.SetIfOpenDebugMode(1);
    tools.SetMapRelation(n, counts.data(), table.data());
    std::vector<std::string> expected;
    for (int i = 1; i <= n; ++i)
      if (i < 30 || i > n - 5)
        expected.push_back("CPU0 m_pL2GArray[" + std::to_string(i) + "] = " + std::to_string(i));
    EXPECT_EQ(KRZLines(KRZTakeOutput()), expected) << "n = " << n;

    // Gather: first 9 and last 10; scatter: first 29 and last 5.
    std::vector<int> local(static_cast<size_t>(n) + 1, 1);
    int* global = nullptr;
    ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), global), 1);
    const auto gathered = KRZLines(KRZTakeOutput());
    EXPECT_EQ(CountLines(gathered, "CPU 0 GetFrom pLocalArray_CPUX["),
              static_cast<size_t>(std::min(n, 9 + 10)));
    int* back = nullptr;
    ASSERT_EQ(tools.GetLocalArrayFromGlobalArray(global, back), 1);
    const auto scattered = KRZLines(KRZTakeOutput());
    EXPECT_EQ(CountLines(scattered, "CPU0 GetFrom Global pLocalArray["),
              static_cast<size_t>(std::min(n, 29 + 5)));
    delete[] back;
    delete[] global;
  }
  // Gather thresholds at 19 and 25 items.
  for (int n : {19, 25}) {
    CCOM_BroadTools tools;
    tools.SetInitialize(myid, nproc, &com);
    tools.SetMapRelation_DefaultRelation(n);
    tools.SetIfOpenDebugMode(1);
    std::vector<int> local(static_cast<size_t>(n) + 1, 1);
    int* global = nullptr;
    ASSERT_EQ(tools.GetGlobalArrayFromLocalArray(local.data(), global), 1);
    const auto lines = KRZLines(KRZTakeOutput());
    std::vector<std::string> shown;
    for (const std::string& l : lines)
      if (l.compare(0, 31, "CPU 0 GetFrom pLocalArray_CPUX[") == 0)
        shown.push_back(l.substr(31, l.find(']') - 31));
    std::vector<std::string> expected;
    for (int i = 1; i <= n; ++i)
      if (i < 10 || i > n - 10)
        expected.push_back(std::to_string(i));
    EXPECT_EQ(shown, expected) << "n = " << n;
    delete[] global;
  }
}
