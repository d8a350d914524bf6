// Collection on rank 0 and the node mapping relations built on it, on both engines.
#include <memory>
#include <vector>

#include "CCOM_BroadTools_CollectLocalArrayToMyid0.h"
#include "CL2GMappingRelation_CollectFVNode2MFENode.h"
#include "CL2GMappingRelation_LocalFVNode2GlobalMFENode.h"
#include "KRZForwardingCom.h"
#include "KRZTestHarness.h"
#include "base/KRZRowTable.h"

using namespace krz::detail;

namespace {

// Counts the communicator's calls by kind.
class CountingCom : public CKRZForwardingCom {
public:
  using CKRZForwardingCom::CKRZForwardingCom;
  int Send(int t, void* b, int c, int d, int tag, int comm) override {
    return ++sends, CKRZForwardingCom::Send(t, b, c, d, tag, comm);
  }
  int Recv(int t, void* b, int c, int s, int tag, int comm) override {
    return ++recvs, CKRZForwardingCom::Recv(t, b, c, s, tag, comm);
  }
  int Broadcast(int t, void* b, int c, int root, int comm) override {
    return ++broadcasts, CKRZForwardingCom::Broadcast(t, b, c, root, comm);
  }
  int AllSum(int t, void* in, void* out, int c, int comm) override {
    return ++sums, CKRZForwardingCom::AllSum(t, in, out, c, comm);
  }
  int AllMin(int t, void* in, void* out, int c, int comm) override {
    return ++mins, CKRZForwardingCom::AllMin(t, in, out, c, comm);
  }

  int sends = 0, recvs = 0, broadcasts = 0, sums = 0, mins = 0;
};

// Counts 2, 0, 3, 1, 4 for ranks 0..4.
int CountOf(int p) { return (2 + 3 * p) % 5; }

int OffsetOf(int p) {
  int o = 0;
  for (int q = 0; q < p; ++q)
    o += CountOf(q);
  return o;
}

template <class T> std::vector<T> LocalOf(int p, int n, T scale) {
  std::vector<T> v(static_cast<size_t>(n) + 1, T());
  for (int i = 1; i <= n; ++i)
    v[static_cast<size_t>(i)] = static_cast<T>(static_cast<T>(10 * p + i) * scale);
  return v;
}

} // namespace

KRZ_RANKS_TEST(Collect, RowTableAndFlatArrayInRankOrder) {
  CCOM_BroadTools_CollectLocalArrayToMyid0 collector;
  collector.SetInitialize(myid, nproc, &com);
  EXPECT_EQ(collector.GetNumber_Global(), 0);
  EXPECT_EQ(collector.GetNumber_Local(0), 0); // no counts yet

  const int n = CountOf(myid);
  std::vector<int> local = LocalOf(myid, n, 1);
  int** rows = collector.CreateMyid0ArrayFromLocalArray(n, local.data());
  std::vector<double> dlocal = LocalOf(myid, n, 0.5);
  double* flat = collector.CreateMyid0Array1DFromLocalArray(n, dlocal.data());
  if (nproc == 1) {
    EXPECT_EQ(rows, nullptr);
    EXPECT_EQ(flat, nullptr);
    EXPECT_EQ(collector.GetNumber_Global(), 0);
    return;
  }
  EXPECT_EQ(collector.GetNumber_Global(), OffsetOf(nproc));
  for (int p = 0; p < nproc; ++p)
    EXPECT_EQ(collector.GetNumber_Local(p), CountOf(p));
  EXPECT_EQ(collector.GetNumber_Local(nproc), 0);
  EXPECT_EQ(collector.GetNumber_Local(-1), 0);
  if (myid != 0) {
    EXPECT_EQ(rows, nullptr);
    EXPECT_EQ(flat, nullptr);
    return;
  }
  ASSERT_NE(rows, nullptr);
  ASSERT_NE(flat, nullptr);
  EXPECT_EQ(flat[0], 0.0);
  for (int p = 0; p < nproc; ++p) {
    EXPECT_EQ(rows[p][0], 0);
    for (int i = 1; i <= CountOf(p); ++i) {
      EXPECT_EQ(rows[p][i], 10 * p + i);
      EXPECT_EQ(flat[OffsetOf(p) + i], (10 * p + i) * 0.5);
    }
  }
  KRZDeleteRowTable(rows, nproc);
  delete[] flat;
}

KRZ_RANKS_TEST(Collect, UnchangedCountsReuseTheRelationAndAChangeRebuildsItEverywhere) {
  if (nproc == 1)
    return;
  CountingCom counting(com);
  CCOM_BroadTools_CollectLocalArrayToMyid0 collector;
  collector.SetInitialize(myid, nproc, &counting);
  int n = CountOf(myid);
  std::vector<int> local = LocalOf(myid, n, 1);
  delete[] collector.CreateMyid0Array1DFromLocalArray(n, local.data());
  EXPECT_EQ(counting.sums, 0); // nothing stored yet: no sum, the counts are exchanged
  EXPECT_GT(counting.broadcasts, 0);

  // Same counts, another element type: one int sum and the gather, no exchange, no check.
  const int broadcasts = counting.broadcasts;
  std::vector<float> flocal = LocalOf(myid, n, 2.0f);
  float* flat = collector.CreateMyid0Array1DFromLocalArray(n, flocal.data());
  EXPECT_EQ(counting.sums, 1);
  EXPECT_EQ(counting.broadcasts, broadcasts);
  EXPECT_EQ(counting.mins, 1); // the relation check ran once, at the first gather
  if (myid == 0) {
    for (int p = 0; p < nproc; ++p)
      for (int i = 1; i <= CountOf(p); ++i)
        EXPECT_EQ(flat[OffsetOf(p) + i], static_cast<float>(10 * p + i) * 2.0f);
  }
  delete[] flat;

  // Only the last rank changes its count: every rank rebuilds.
  if (myid == nproc - 1)
    n += 2;
  local = LocalOf(myid, n, 1);
  bool blocal[8] = {false, true, false, true, false, true, false, true};
  bool** rows = collector.CreateMyid0ArrayFromLocalArray(n, blocal);
  EXPECT_EQ(counting.sums, 2);
  EXPECT_GT(counting.broadcasts, broadcasts);
  EXPECT_EQ(collector.GetNumber_Local(nproc - 1), CountOf(nproc - 1) + 2);
  EXPECT_EQ(collector.GetNumber_Global(), OffsetOf(nproc) + 2);
  if (myid == 0) {
    const int last = CountOf(nproc - 1) + 2;
    for (int i = 1; i <= last; ++i)
      EXPECT_EQ(rows[nproc - 1][i], i % 2 == 1);
    EXPECT_FALSE(rows[nproc - 1][0]);
  }
  KRZDeleteRowTable(rows, nproc);
}

KRZ_RANKS_TEST(Collect, CopiesCollectIndependently) {
  if (nproc == 1)
    return;
  CCOM_BroadTools_CollectLocalArrayToMyid0 original;
  original.SetInitialize(myid, nproc, &com);
  const int n = CountOf(myid);
  std::vector<int> local = LocalOf(myid, n, 1);
  delete[] original.CreateMyid0Array1DFromLocalArray(n, local.data());
  int* flat = nullptr;
  {
    CCOM_BroadTools_CollectLocalArrayToMyid0 copy(original);
    CCOM_BroadTools_CollectLocalArrayToMyid0 assigned;
    assigned = copy;
    flat = assigned.CreateMyid0Array1DFromLocalArray(n, local.data());
  }
  if (myid == 0) {
    for (int p = 0; p < nproc; ++p)
      for (int i = 1; i <= CountOf(p); ++i)
        EXPECT_EQ(flat[OffsetOf(p) + i], 10 * p + i);
  }
  delete[] flat;
  delete[] original.CreateMyid0Array1DFromLocalArray(n, local.data());
}

KRZ_RANKS_TEST(NodeMapping, CollectedFVToMFERelationIsKeptOnRankZero) {
  CL2GMappingRelation_CollectFVNode2MFENode never;
  EXPECT_EQ(never.GetNumber_Global(), 0);
  EXPECT_EQ(never.GetNumber_Local(0), 0);
  never.SetMappinArrayCollectToMyid0(0, nullptr); // without a collector: nothing, no crash

  CL2GMappingRelation_CollectFVNode2MFENode mapping;
  mapping.SetInitialize(myid, nproc, &com);
  const int n = CountOf(myid);
  std::vector<int> local = LocalOf(myid, n, 1);
  mapping.SetMappinArrayCollectToMyid0(n, local.data());
  // A second call must keep every rank out of a new collective (and rank 0's first table).
  std::vector<int> other = LocalOf(myid + 7, n, 1);
  mapping.SetMappinArrayCollectToMyid0(n, other.data());

  int** table = mapping.GetMappinArrayCollectToMyid0();
  if (nproc == 1 || myid != 0) {
    EXPECT_EQ(table, nullptr);
    return;
  }
  EXPECT_EQ(mapping.GetNumber_Global(), OffsetOf(nproc));
  for (int p = 0; p < nproc; ++p) {
    EXPECT_EQ(mapping.GetNumber_Local(p), CountOf(p));
    for (int i = 1; i <= CountOf(p); ++i)
      EXPECT_EQ(table[p][i], 10 * p + i);
  }
  CL2GMappingRelation_CollectFVNode2MFENode copy;
  copy = mapping;
  ASSERT_NE(copy.GetMappinArrayCollectToMyid0(), table);
  EXPECT_EQ(copy.GetMappinArrayCollectToMyid0()[nproc - 1][CountOf(nproc - 1)],
            table[nproc - 1][CountOf(nproc - 1)]);
}

KRZ_RANKS_TEST_N(NodeMapping, LocalFVToGlobalMFEExample, 2) {
  // Rank 0 holds FV->MFE (3, 1), rank 1 holds (2); FE-node rows (0,10,11,12) and (0,20,21).
  CL2GMappingRelation_LocalFVNode2GlobalMFENode mapping;
  mapping.SetInitialize(myid, nproc, &com);
  std::vector<int> local = myid == 0 ? std::vector<int>{0, 3, 1} : std::vector<int>{0, 2};
  mapping.SetMappinArrayCollectToMyid0(static_cast<int>(local.size()) - 1, local.data());
  int row0[] = {0, 10, 11, 12};
  int row1[] = {0, 20, 21};
  int* fe[] = {row0, row1};
  mapping.SetMappingRelation_FENode_Local2Global(
      fe, nullptr, CL2GMappingRelation_LocalFVNode2GlobalMFENode::eDomain_MFE);
  int** result = mapping.CreateMappingArray_LocalFVNode2GlobalMFENode();
  if (myid != 0) {
    EXPECT_EQ(result, nullptr);
  } else {
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(std::vector<int>(result[0], result[0] + 3), (std::vector<int>{0, 12, 10}));
    EXPECT_EQ(std::vector<int>(result[1], result[1] + 2), (std::vector<int>{0, 21}));
    KRZDeleteRowTable(result, 2);
  }

  // A second collection replaces the first on every rank; entry j = 0 reads element 0.
  local = myid == 0 ? std::vector<int>{0, 0} : std::vector<int>{0, 1, 2};
  row0[0] = 99;
  mapping.SetMappinArrayCollectToMyid0(static_cast<int>(local.size()) - 1, local.data());
  CL2GMappingRelation_LocalFVNode2GlobalMFENode copy(mapping);
  result = copy.CreateMappingArray_LocalFVNode2GlobalMFENode();
  if (myid == 0) {
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(std::vector<int>(result[0], result[0] + 2), (std::vector<int>{0, 99}));
    EXPECT_EQ(std::vector<int>(result[1], result[1] + 3), (std::vector<int>{0, 20, 21}));
    KRZDeleteRowTable(result, 2);
  }
  int** empty = mapping.CreateMappingArray_LocalFVNode2GlobalMFENode_2();
  EXPECT_EQ(empty[0], nullptr);
  EXPECT_EQ(empty[1], nullptr);
  delete[] empty;
}

KRZ_RANKS_TEST(NodeMapping, NoCollectedTableGivesNoResult) {
  CL2GMappingRelation_LocalFVNode2GlobalMFENode mapping;
  mapping.SetInitialize(myid, nproc, &com);
  std::vector<int*> rows(static_cast<size_t>(nproc), nullptr);
  int** fe = rows.data();
  mapping.SetMappingRelation_FENode_Local2Global(
      fe, nullptr, CL2GMappingRelation_LocalFVNode2GlobalMFENode::eDomain_FV);
  EXPECT_EQ(mapping.CreateMappingArray_LocalFVNode2GlobalMFENode(), nullptr); // before collecting
  int one[2] = {0, 1};
  mapping.SetMappinArrayCollectToMyid0(1, one);
  int** result = mapping.CreateMappingArray_LocalFVNode2GlobalMFENode();
  if (nproc == 1 || myid != 0) {
    EXPECT_EQ(result, nullptr);
    return;
  }
  // Rank 0 has the collected table but null FE-node rows: zeros and one line per rank.
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result[nproc - 1][1], 0);
  EXPECT_EQ(KRZLines(KRZTakeOutput()).size(), static_cast<size_t>(nproc));
  KRZDeleteRowTable(result, nproc);
}
