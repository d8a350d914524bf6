// The self-test's synthetic mesh data, its listing and the fill-and-check helpers.
#include <sstream>

#include "CKRZL2GBroadTools_UnitTest.h"
#include "base/KRZLine.h"

using namespace krz::detail;

CKRZL2GBroadTools_UnitTest::CKRZL2GBroadTools_UnitTest()
    : m_nMyid(0), m_nNProc(0), m_pCom(nullptr), m_nTestFaceNumber_L(0) {}

CKRZL2GBroadTools_UnitTest::~CKRZL2GBroadTools_UnitTest() = default;

void CKRZL2GBroadTools_UnitTest::SetInitialize(int myid, int nproc, CKRZCom* com) {
  m_nMyid = myid;
  m_nNProc = nproc;
  m_pCom = com;
}

// Faces of k consecutive local nodes; reversed: face f takes the block of face nFace-f+1.
// Nodes past nNode (a caller asking for more face slots than nodes) get no node number.
void CKRZL2GBroadTools_UnitTest::CreateFaceData(int nNode, int nFace, int nNodePerFace,
                                                bool reversed, int*& pNodeID, int**& ppFace) {
  pNodeID = new int[static_cast<size_t>(nNode > 0 ? nNode : 0) + 1]();
  ppFace = new int*[static_cast<size_t>(nFace > 0 ? nFace : 0) + 1]();
  for (int f = 1; f <= nFace; ++f) {
    ppFace[f] = new int[static_cast<size_t>(nNodePerFace > 0 ? nNodePerFace : 0) + 1]();
    ppFace[f][0] = nNodePerFace;
    const int block = reversed ? nFace - f : f - 1;
    for (int j = 1; j <= nNodePerFace; ++j) {
      const int v = block * nNodePerFace + j;
      ppFace[f][j] = v;
      if (v <= nNode)
        pNodeID[v] = m_nMyid * nNode + v;
    }
  }
}

void CKRZL2GBroadTools_UnitTest::Test_CreateFaceData(int nNode, int nFace, int nNodePerFace,
                                                     int*& pNodeID, int**& ppFace) {
  CreateFaceData(nNode, nFace, nNodePerFace, false, pNodeID, ppFace);
}

void CKRZL2GBroadTools_UnitTest::Test_CreateFaceData_NewNodeOrder(int nNode, int nFace,
                                                                  int nNodePerFace, int*& pNodeID,
                                                                  int**& ppFace) {
  CreateFaceData(nNode, nFace, nNodePerFace, true, pNodeID, ppFace);
}

void CKRZL2GBroadTools_UnitTest::Test_CreateBoundaryFaceData(int nFace, int*& pOwner,
                                                             int*& pNeighbor, int& nCell) {
  const size_t size = static_cast<size_t>(nFace > 0 ? nFace : 0) + 1;
  pOwner = new int[size]();
  pNeighbor = new int[size]();
  nCell = 0;
  for (int i = 1; i <= nFace; ++i)
    pOwner[i] = ++nCell;
  for (int i = 1; i <= nFace; ++i)
    pNeighbor[i] = ++nCell;
}

void CKRZL2GBroadTools_UnitTest::Test_PrintFaceData(int nNode, int nFace, int nNodePerFace,
                                                    int* pNodeID, int** ppFace) {
  if (m_nNProc < 1)
    return;
  CKRZLine();
  CKRZLine() << "< TEST class CKRZL2GBroadTools_Face myid=" << m_nMyid << "/" << m_nNProc << ">";
  CKRZLine() << "Total face number     = " << nFace;
  CKRZLine() << "Each face Node number = " << nNodePerFace;
  CKRZLine() << "Total Node number     = " << nNode;
  for (int f = 1; f <= nFace; ++f) {
    std::ostringstream local, global;
    for (int j = 1; j <= nNodePerFace; ++j) {
      const int v = ppFace[f][j];
      local << (j > 1 ? " , " : "") << v;
      global << (j > 1 ? " , " : "") << (v >= 0 && v <= nNode ? pNodeID[v] : 0);
    }
    CKRZLine() << "iFace = " << f << " : Local ID(" << local.str() << ")  Global ID("
               << global.str() << ")";
  }
  CKRZLine() << "</TEST class CKRZL2GBroadTools_Face myid=" << m_nMyid << "/" << m_nNProc << ">";
  CKRZLine();
}

void CKRZL2GBroadTools_UnitTest::InitializeLoopValue(int n, int* pArray, int value) {
  for (int i = 1; i <= n; ++i)
    pArray[i] = value;
}

void CKRZL2GBroadTools_UnitTest::InitializeLoopValue(int n, int* pArray, int* pIndex, int value) {
  for (int i = 1; i <= n; ++i)
    pArray[pIndex[i]] = value;
}

bool CKRZL2GBroadTools_UnitTest::Test_ForLoopValue(int n, int* pArray, int value, int& found) {
  for (int i = 1; i <= n; ++i)
    if (pArray[i] != value) {
      found = pArray[i];
      return false;
    }
  return true;
}

bool CKRZL2GBroadTools_UnitTest::Test_ForLoopValue(int n, int* pArray, int* pIndex, int value,
                                                   int& found) {
  for (int i = 1; i <= n; ++i)
    if (pArray[pIndex[i]] != value) {
      found = pArray[pIndex[i]];
      return false;
    }
  return true;
}
