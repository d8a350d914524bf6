// Case group (3) of the self-test: domain B on the same faces in another local order, coupled to
// domain A, and the eleven exchange transfers with known constant values.
#include <memory>
#include <string>
#include <vector>

#include "CCOM_BroadTools_CollectLocalArrayToMyid0.h"
#include "CKRZA2BExchange_BoundaryFace.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"
#include "CKRZL2GBroadTools_UnitTest.h"
#include "base/KRZLine.h"
#include "base/KRZRowTable.h"

using namespace krz::detail;

namespace {

// One 1-based int array of `count` entries (entry 0 unused), with the count the cases walk.
struct Values {
  std::vector<int> data;
  int count;
  explicit Values(int n) : data(static_cast<size_t>(n) + 1, 0), count(n) {}
  int* get() { return data.data(); }
  void Clear() { std::fill(data.begin() + 1, data.end(), 0); }
};

} // namespace

void CKRZL2GBroadTools_UnitTest::Test_A2BExchange_BoundaryFace(
    int nFace, int nNodePerFace, CKRZL2GBroadTools_Face* pFaceA,
    CKRZL2GBroadTools_BoundaryFace* pBoundaryFaceA) {
  const int nNode = nFace * nNodePerFace;
  int* nodeID = nullptr;
  int** faces = nullptr;
  Test_CreateFaceData_NewNodeOrder(nNode, nFace, nNodePerFace, nodeID, faces);
  std::unique_ptr<int[]> nodeIDHolder(nodeID);
  CKRZHeldRows<int> faceRows(faces, nFace + 1); // rows 1..nFace (row 0 is null)
  Test_PrintFaceData(nNode, nFace, nNodePerFace, nodeID, faces);
  CKRZLine();
  CKRZLine() << "(3) Testing class CKRZA2BExchange_BoundaryFace...";

  CCOM_BroadTools_CollectLocalArrayToMyid0 collector;
  collector.SetInitialize(m_nMyid, m_nNProc, m_pCom);
  CKRZHeldRows<int> nodeMap(collector.CreateMyid0ArrayFromLocalArray(nNode, nodeID), m_nNProc);

  CKRZL2GBroadTools_Face faceB;
  faceB.SetInitialize(m_nMyid, m_nNProc, m_pCom);
  faceB.SetLocalFace20(nFace, faces);
  faceB.SetL2GMapRelation(nodeMap.Get(), nullptr);
  int* owner = nullptr;
  int* neighbor = nullptr;
  int nCell = 0;
  Test_CreateBoundaryFaceData(nFace, owner, neighbor, nCell);
  std::unique_ptr<int[]> ownerHolder(owner), neighborHolder(neighbor);
  CKRZL2GBroadTools_BoundaryFace boundaryFaceB;
  boundaryFaceB.SetBoundaryFaceRelation(&faceB);
  boundaryFaceB.SetLocalFace_BoundaryCellID(nFace, owner, neighbor);

  CKRZA2BExchange_BoundaryFace exchange;
  exchange.SetL2G_BoundaryFace(pBoundaryFaceA, &boundaryFaceB);
  exchange.SetL2G_Face(pFaceA, &faceB);
  exchange.SetA2BRelation(nullptr, nullptr);

  const int nFaceA = pFaceA->GetFaceNumber_Local(m_nMyid);
  const int nFaceB = faceB.GetFaceNumber_Local(m_nMyid);
  Values C1(nCell), C2(nCell), FA(nFaceA), FB(nFaceB);
  int* O = owner;
  int* N = neighbor;
  int found = 0;

  // Fills and checks follow the helpers' rules: ranges or indexed sets, first difference wins.
  auto check = [&](bool ok, const char* start, int expected, const char* middle) {
    if (!ok)
      CKRZLine() << start << expected << middle << found;
  };
  auto heading = [](const std::string& text) { CKRZLine() << text; };
  const std::string prefix = " Testing CKRZA2BExchange_BoundaryFace::";

  heading(" (3.1)" + prefix + "GetBoundaryCellValue_A2B_FromFace2Neighbor()...");
  InitializeLoopValue(nFaceA, FA.get(), 1);
  C2.Clear();
  exchange.GetBoundaryCellValue_A2B_FromFace2Neighbor(FA.get(), C2.get());
  check(Test_ForLoopValue(nFaceB, C2.get(), N, 1, found), "Error!! Local face value is ", 1,
        " , but local neighbor cell value is");

  heading(" (3.2)" + prefix + "GetBoundaryCellValue_A2B_FromOwner2Neighbor()...");
  C1.Clear();
  C2.Clear();
  InitializeLoopValue(nFaceA, C1.get(), O, 2);
  exchange.GetBoundaryCellValue_A2B_FromOwner2Neighbor(C1.get(), C2.get());
  check(Test_ForLoopValue(nFaceB, C2.get(), N, 2, found), "Error!! Local owner cell value is ", 2,
        " , but local neighbor cell value is");

  heading(" (3.3)" + prefix + "GetBoundaryCellValue_B2A_FromFace2Neighbor()...");
  InitializeLoopValue(nFaceB, FB.get(), 3);
  C1.Clear();
  exchange.GetBoundaryCellValue_B2A_FromFace2Neighbor(FB.get(), C1.get());
  check(Test_ForLoopValue(nFaceA, C1.get(), N, 3, found), "Error!! Local face value is ", 3,
        " , but local neighbor cell value is");

  heading(" (3.4)" + prefix + "GetBoundaryCellValue_B2A_FromOwner2Neighbor()...");
  C1.Clear();
  C2.Clear();
  InitializeLoopValue(nFaceB, C2.get(), O, 4);
  exchange.GetBoundaryCellValue_B2A_FromOwner2Neighbor(C2.get(), C1.get());
  check(Test_ForLoopValue(nFaceA, C1.get(), N, 4, found), "Error!! Local owner cell value is ", 4,
        " , but local neighbor cell value is");

  heading(" (3.5)" + prefix + "GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor()...");
  C1.Clear();
  C2.Clear();
  InitializeLoopValue(nFaceA, C1.get(), O, 5);
  InitializeLoopValue(nFaceB, C2.get(), O, 6);
  exchange.GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(C1.get(), C2.get());
  check(Test_ForLoopValue(nFaceA, C1.get(), N, 6, found), "Error!! Local owner cell value (B) is ",
        6, " , but local neighbor cell value (A) is");
  check(Test_ForLoopValue(nFaceB, C2.get(), N, 5, found), "Error!! Local owner cell value (A) is ",
        5, " , but local neighbor cell value (B) is");

  heading(" (3.6)" + prefix + "GetFaceValue_A2B_FromFace2Face()...");
  InitializeLoopValue(nFaceA, FA.get(), 1);
  FB.Clear();
  exchange.GetFaceValue_A2B_FromFace2Face(FA.get(), FB.get());
  check(Test_ForLoopValue(nFaceB, FB.get(), 1, found), "Error!! Local face value is ", 1,
        " , but local neighbor cell value is");

  heading(" (3.7)" + prefix + "GetFaceValue_A2B_FromNeighbor2Face()...");
  InitializeLoopValue(nFaceA, C1.get(), N, 2);
  FB.Clear();
  exchange.GetFaceValue_A2B_FromNeighbor2Face(C1.get(), FB.get());
  check(Test_ForLoopValue(nFaceB, FB.get(), 2, found), "Error!! Local neighbor value is ", 2,
        " , but local face value is");

  heading(" (3.8)" + prefix + "GetFaceValue_A2B_FromOwner2Face()...");
  InitializeLoopValue(nFaceA, C1.get(), O, 3);
  FB.Clear();
  exchange.GetFaceValue_A2B_FromOwner2Face(C1.get(), FB.get());
  check(Test_ForLoopValue(nFaceB, FB.get(), 3, found), "Error!! Local owner value is ", 3,
        " , but local face value is");

  heading(" (3.9)" + prefix + "GetFaceValue_B2A_FromFace2Face()...");
  InitializeLoopValue(nFaceB, FB.get(), 1);
  FA.Clear();
  exchange.GetFaceValue_B2A_FromFace2Face(FB.get(), FA.get());
  check(Test_ForLoopValue(nFaceA, FA.get(), 1, found), "Error!! Local face value is ", 1,
        " , but local neighbor cell value is");

  heading(" (3.10)" + prefix + "GetFaceValue_B2A_FromNeighbor2Face()...");
  InitializeLoopValue(nFaceB, C2.get(), N, 2);
  FA.Clear();
  exchange.GetFaceValue_B2A_FromNeighbor2Face(C2.get(), FA.get());
  check(Test_ForLoopValue(nFaceA, FA.get(), 2, found), "Error!! Local neighbor value is ", 2,
        " , but local face value is");

  // As the case list has it: the A-to-B transfer, reading C2 as A's cells and writing FA.
  heading(" (3.11)" + prefix + "GetFaceValue_A2B_FromOwner2Face()...");
  InitializeLoopValue(nFaceB, C2.get(), O, 3);
  FA.Clear();
  exchange.GetFaceValue_A2B_FromOwner2Face(C2.get(), FA.get());
  check(Test_ForLoopValue(nFaceA, FA.get(), 3, found), "Error!! Local owner value is ", 3,
        " , but local face value is");
}
