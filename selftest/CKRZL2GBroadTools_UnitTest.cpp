// The self-test driver: three case groups over the synthetic mesh, reported on standard output.
#include <memory>
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

// Groups (1) and (2) report a wrong value on two lines.
void ReportTwoLines(const char* start, int expected, const char* middle, int found) {
  CKRZLine() << "Error!! ";
  CKRZLine() << start << expected << middle << found;
}

} // namespace

void CKRZL2GBroadTools_UnitTest::Test() {
  CKRZLine();
  CKRZLine() << "<UnitTest - L2GBroadTools >";
  CKRZLine();
  m_nTestFaceNumber_L = 2;

  int* nodeID = nullptr;
  int** faces = nullptr;
  Test_CreateFaceData(8, 2, 4, nodeID, faces);
  std::unique_ptr<int[]> nodeIDHolder(nodeID);
  CKRZHeldRows<int> faceRows(faces, 2 + 1); // rows 1..2 (row 0 is null)
  Test_PrintFaceData(8, 2, 4, nodeID, faces);
  CCOM_BroadTools_CollectLocalArrayToMyid0 collector;
  collector.SetInitialize(m_nMyid, m_nNProc, m_pCom);
  CKRZHeldRows<int> nodeMap(collector.CreateMyid0ArrayFromLocalArray(8, nodeID), m_nNProc);

  std::unique_ptr<CKRZL2GBroadTools_Face> face(new CKRZL2GBroadTools_Face());
  face->SetInitialize(m_nMyid, m_nNProc, m_pCom);
  face->SetLocalFace20(2, faces);
  face->SetL2GMapRelation(nodeMap.Get(), nullptr);
  Test_CKRZL2GBroadTools_Face(2, face.get());

  int* owner = nullptr;
  int* neighbor = nullptr;
  int nCell = 0;
  Test_CreateBoundaryFaceData(2, owner, neighbor, nCell);
  std::unique_ptr<int[]> ownerHolder(owner), neighborHolder(neighbor);
  std::unique_ptr<CKRZL2GBroadTools_BoundaryFace> boundaryFace(
      new CKRZL2GBroadTools_BoundaryFace());
  boundaryFace->SetBoundaryFaceRelation(face.get());
  boundaryFace->SetLocalFace_BoundaryCellID(2, owner, neighbor);
  Test_CKRZL2GBroadTools_BoundaryFace(nCell, face->GetFaceNumber_Global(), owner, neighbor,
                                      boundaryFace.get());

  Test_A2BExchange_BoundaryFace(2, 4, face.get(), boundaryFace.get());

  CKRZLine();
  CKRZLine() << "</UnitTest -  L2GBroadTools >";
  CKRZLine();
}

void CKRZL2GBroadTools_UnitTest::Test_CKRZL2GBroadTools_Face(int nFaceLocal,
                                                             CKRZL2GBroadTools_Face* pFace) {
  const int nG = pFace->GetFaceNumber_Global();
  CKRZLine() << "(1) Testing CKRZL2GBroadTools_Face...";
  if (m_nMyid == 0) {
    if (nG != m_nNProc * nFaceLocal)
      CKRZLine() << "Total Global Face Number =" << nG << " (answer shuold be"
                 << m_nNProc * nFaceLocal << ")";
    const int local = pFace->GetFaceNumber_Local(m_nMyid);
    if (local != nFaceLocal)
      CKRZLine() << "Loca Face Number =" << local << " (answer shuold be" << nFaceLocal << ")";
  }

  CKRZLine() << " (1.1) Testing CKRZL2GBroadTools_Face::GetValue_FromLocalFaceToGloblaFace()...";
  std::vector<int> local(static_cast<size_t>(nFaceLocal) + 1, 0);
  std::vector<int> global(static_cast<size_t>(nG) + 1, 0);
  InitializeLoopValue(nFaceLocal, local.data(), 5);
  pFace->GetValue_FromLocalFaceToGloblaFace(local.data(), global.data());
  int found = 0;
  if (m_nMyid == 0 && !Test_ForLoopValue(nG, global.data(), 5, found))
    ReportTwoLines("Local face value is ", 5, " , but global face value is", found);

  CKRZLine() << " (1.2) Testing CKRZL2GBroadTools_Face::GetValue_FromGlobalFaceToLocalFace()...";
  InitializeLoopValue(nG, global.data(), 10);
  pFace->GetValue_FromGlobalFaceToLocalFace(global.data(), local.data());
  if (!Test_ForLoopValue(nFaceLocal, local.data(), 10, found))
    ReportTwoLines("global face value is ", 10, " , but local face value is", found);
}

void CKRZL2GBroadTools_UnitTest::Test_CKRZL2GBroadTools_BoundaryFace(
    int nCell, int nFaceGlobal, int*, int* pNeighbor,
    CKRZL2GBroadTools_BoundaryFace* pBoundaryFace) {
  CKRZLine();
  CKRZLine() << "(2) Testing CKRZL2GBroadTools_BoundaryFace...";
  std::vector<int> cell(static_cast<size_t>(nCell) + 1, 0);
  std::vector<int> faceValue(static_cast<size_t>(nFaceGlobal) + 1, 0);
  InitializeLoopValue(nCell, cell.data(), 3);
  int found = 0;

  pBoundaryFace->GetGlobalFaceValue_FromLocalOwnerCell(cell.data(), faceValue.data());
  if (m_nMyid == 0) {
    CKRZLine() << " (2.1) Testing "
                  "CKRZL2GBroadTools_BoundaryFace::GetGlobalFaceValue_FromLocalOwnerCell()...";
    if (!Test_ForLoopValue(nFaceGlobal, faceValue.data(), 3, found))
      ReportTwoLines("Local Owner cell value is ", 3, " , but global face value is", found);
  }

  CKRZLine() << " (2.2) Testing "
                "CKRZL2GBroadTools_BoundaryFace::GetGlobalFaceValue_FromLocalNeighborCell()...";
  InitializeLoopValue(nCell, cell.data(), 2);
  pBoundaryFace->GetGlobalFaceValue_FromLocalNeighborCell(cell.data(), faceValue.data());
  if (m_nMyid == 0 && !Test_ForLoopValue(nFaceGlobal, faceValue.data(), 2, found))
    ReportTwoLines("Local Neighbor cell value is ", 2, " , but global face value is", found);

  CKRZLine() << " (2.3) Testing "
                "CKRZL2GBroadTools_BoundaryFace::GetLocalNeighborCellValue_FromGlobalFaceValue()"
                "...";
  InitializeLoopValue(nFaceGlobal, faceValue.data(), 9);
  pBoundaryFace->GetLocalNeighborCellValue_FromGlobalFaceValue(faceValue.data(), cell.data());
  for (int i = 1; i <= m_nTestFaceNumber_L; ++i) {
    const int iCellL = pNeighbor[i];
    if (iCellL > nCell || iCellL < 1) {
      CKRZLine() << "Error! iCellL=" << iCellL << " is illegal";
      continue; // never read outside the cell array
    }
    if (cell[static_cast<size_t>(iCellL)] != 9) {
      ReportTwoLines("Global face value is ", 9, " , but local neighbor cell value is",
                     cell[static_cast<size_t>(iCellL)]);
      break;
    }
  }
}
