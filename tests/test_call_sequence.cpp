// A caller's own communicator (the six blocking operations only) sees exactly the calls it
// always saw: operation, type, count, peer, root and tag, in order, for the library's whole road
// (relations, gathers and scatters of every type, collections, face and boundary-face set-up,
// the A/B pairing and every transfer). The expected sequences are recorded in tests/golden/;
// KRZ_WRITE_GOLDEN=1 writes them anew (only ever from a build whose calls are known good).
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "CCOM_BroadTools.h"
#include "CCOM_BroadTools_CollectLocalArrayToMyid0.h"
#include "CKRZA2BExchange_BoundaryFace.h"
#include "KRZCoupledPair.h"
#include "KRZForwardingCom.h"
#include "KRZTestHarness.h"

namespace {

class CKRZRecordingCom : public CKRZForwardingCom {
public:
  using CKRZForwardingCom::CKRZForwardingCom;
  std::ostringstream log;

  int Send(int t, void* b, int c, int d, int tag, int comm) override {
    log << "Send " << t << ' ' << c << ' ' << d << ' ' << tag << '\n';
    return CKRZForwardingCom::Send(t, b, c, d, tag, comm);
  }
  int Recv(int t, void* b, int c, int s, int tag, int comm) override {
    log << "Recv " << t << ' ' << c << ' ' << s << ' ' << tag << '\n';
    return CKRZForwardingCom::Recv(t, b, c, s, tag, comm);
  }
  int Broadcast(int t, void* b, int c, int root, int comm) override {
    log << "Broadcast " << t << ' ' << c << ' ' << root << '\n';
    return CKRZForwardingCom::Broadcast(t, b, c, root, comm);
  }
  int AllSum(int t, void* in, void* out, int c, int comm) override {
    log << "AllSum " << t << ' ' << c << '\n';
    return CKRZForwardingCom::AllSum(t, in, out, c, comm);
  }
  int AllMin(int t, void* in, void* out, int c, int comm) override {
    log << "AllMin " << t << ' ' << c << '\n';
    return CKRZForwardingCom::AllMin(t, in, out, c, comm);
  }
  int Barrier(int comm) override {
    log << "Barrier\n";
    return CKRZForwardingCom::Barrier(comm);
  }
};

template <class T> void GatherAndScatter(CCOM_BroadTools& tools, int n) {
  std::unique_ptr<T[]> local(new T[static_cast<size_t>(n) + 1]());
  T* global = nullptr;
  tools.GetGlobalArrayFromLocalArray(local.get(), global);
  T* back = local.get();
  tools.GetLocalArrayFromGlobalArray(global, back);
  delete[] global;
}

void Road(CKRZCom& com, int myid, int nproc) {
  // The default relation and a caller's (duplicates, element 0) through every type.
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  const int n = 3 + myid;
  tools.SetMapRelation_DefaultRelation(n);
  GatherAndScatter<double>(tools, n);
  GatherAndScatter<float>(tools, n);
  GatherAndScatter<int>(tools, n);
  GatherAndScatter<bool>(tools, n);
  GatherAndScatter<char>(tools, n);

  CCOM_BroadTools given;
  given.SetInitialize(myid, nproc, &com);
  std::vector<int> counts(static_cast<size_t>(nproc));
  std::vector<std::vector<int>> rows(static_cast<size_t>(nproc));
  std::vector<int*> table;
  for (int p = 0; p < nproc; ++p) {
    counts[static_cast<size_t>(p)] = 2 + p;
    for (int i = 0; i <= 2 + p; ++i)
      rows[static_cast<size_t>(p)].push_back((i * 7 + p) % 6);
    table.push_back(rows[static_cast<size_t>(p)].data());
  }
  given.SetMapRelation(5, counts.data(), table.data());
  GatherAndScatter<double>(given, 2 + myid);
  GatherAndScatter<bool>(given, 2 + myid);

  // Collections: rows and flat, twice (the second reuses the numbering).
  CCOM_BroadTools_CollectLocalArrayToMyid0 collect;
  collect.SetInitialize(myid, nproc, &com);
  std::vector<int> ints(static_cast<size_t>(n) + 1, 4);
  std::vector<double> doubles(static_cast<size_t>(n) + 1, 0.5);
  for (int k = 0; k < 2; ++k) {
    int** r = collect.CreateMyid0ArrayFromLocalArray(n, ints.data());
    if (r != nullptr)
      for (int p = 0; p < nproc; ++p)
        delete[] r[p];
    delete[] r;
    delete[] collect.CreateMyid0Array1DFromLocalArray(n, doubles.data());
  }

  // Two coupled boxes: node collection, face and boundary-face objects, pairing, transfers.
  using namespace krz::coupling;
  const KRZCoupleDomain meshA = KRZBoxMesh(2, 3, false);
  const KRZCoupleDomain meshB = KRZBoxMesh(2, 3, true);
  KRZPairSide a, b;
  for (KRZPairSide* side : {&a, &b}) {
    side->mesh = side == &a ? &meshA : &meshB;
    side->isB = side == &b;
    for (int c = 0; c < side->mesh->Cells(); ++c)
      side->part.push_back((c + (side == &b ? 1 : 0)) % nproc);
    side->Number(myid, nproc);
    side->SetUp(com, myid, nproc);
  }
  CKRZA2BExchange_BoundaryFace exchange;
  KRZPairDomains(exchange, a, b);
  const std::vector<int> partner[2] = {KRZPartners(meshA, meshB), KRZPartners(meshB, meshA)};
  for (const KRZTransferKind* k = KRZTransferKindsBegin(); k != KRZTransferKindsEnd(); ++k) {
    KRZCheckTransfer<double>(exchange, *k, a, b, partner, myid);
    KRZCheckTransfer<int>(exchange, *k, a, b, partner, myid);
  }
  KRZCheckExchangeAB<double>(exchange, a, b, partner, myid);
}

std::string GoldenPath(int myid) {
  return std::string(KRZ_TEST_SOURCE_DIR) + "/golden/calls_3ranks_rank" + std::to_string(myid) +
         ".txt";
}

} // namespace

KRZ_RANKS_TEST_N(CallSequence, ACallersCommunicatorSeesTheCallsItAlwaysSaw, 3) {
  CKRZRecordingCom recording(com);
  Road(recording, myid, nproc);
  KRZTakeOutput();
  const std::string calls = recording.log.str();
  if (std::getenv("KRZ_WRITE_GOLDEN") != nullptr) {
    std::ofstream(GoldenPath(myid)) << calls;
    return;
  }
  std::ifstream in(GoldenPath(myid));
  ASSERT_TRUE(in.good()) << GoldenPath(myid);
  std::stringstream golden;
  golden << in.rdbuf();
  EXPECT_EQ(calls, golden.str()) << "rank " << myid;
}
