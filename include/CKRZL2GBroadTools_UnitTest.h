#ifndef KRZ3DCOMTOOLS_CKRZL2GBROADTOOLS_UNITTEST_H
#define KRZ3DCOMTOOLS_CKRZL2GBROADTOOLS_UNITTEST_H

#include "KRZ3DCOMTools_export.h"

class CKRZCom;
class CKRZL2GBroadTools_Face;
class CKRZL2GBroadTools_BoundaryFace;

/// CKRZL2GBroadTools_UnitTest: the library's built-in self-test.
///
/// Test() builds a tiny partitioned surface mesh (two four-node faces per rank), runs the face
/// numbering, boundary-face and A/B exchange classes on it and prints a report on standard
/// output: the face listings, a heading per case and one report per case whose values differ
/// ("Error..."). Nothing is returned or thrown; the report is the result.
///
/// Collective: every rank calls Test() together, after SetInitialize. The communicator is
/// borrowed. With one rank there is no node table on rank 0 (the collector needs two ranks), so
/// the faces keep their local node numbers, which are the global ones of a one-rank run; every
/// case runs and passes.
class KRZ3DCOMTOOLS_EXPORT CKRZL2GBroadTools_UnitTest {
public:
  CKRZL2GBroadTools_UnitTest();
  ~CKRZL2GBroadTools_UnitTest();
  ///@{
  /// Copies share the borrowed communicator. Not collective.
  CKRZL2GBroadTools_UnitTest(const CKRZL2GBroadTools_UnitTest&) = default;
  CKRZL2GBroadTools_UnitTest& operator=(const CKRZL2GBroadTools_UnitTest&) = default;
  ///@}

  /// Stores this rank's number, the rank count and the borrowed communicator. Not collective.
  void SetInitialize(int myid, int nproc, CKRZCom* com);
  /// Collective. Runs the three case groups and prints the report. May be run again.
  void Test();
  /// Collective. Builds domain B on the same faces in another local order and runs the eleven
  /// exchange cases between domain A (pFaceA, pBoundaryFaceA; borrowed) and B.
  void Test_A2BExchange_BoundaryFace(int nFace, int nNodePerFace, CKRZL2GBroadTools_Face* pFaceA,
                                     CKRZL2GBroadTools_BoundaryFace* pBoundaryFaceA);

private:
  void Test_CKRZL2GBroadTools_Face(int nFaceLocal, CKRZL2GBroadTools_Face* pFace);
  void Test_CKRZL2GBroadTools_BoundaryFace(int nCell, int nFaceGlobal, int* pOwner, int* pNeighbor,
                                           CKRZL2GBroadTools_BoundaryFace* pBoundaryFace);

  // Synthetic data; every array is new[], zero-filled, owned by the caller.
  void Test_CreateFaceData(int nNode, int nFace, int nNodePerFace, int*& pNodeID, int**& ppFace);
  void Test_CreateFaceData_NewNodeOrder(int nNode, int nFace, int nNodePerFace, int*& pNodeID,
                                        int**& ppFace);
  void Test_CreateBoundaryFaceData(int nFace, int*& pOwner, int*& pNeighbor, int& nCell);
  void Test_PrintFaceData(int nNode, int nFace, int nNodePerFace, int* pNodeID, int** ppFace);
  void CreateFaceData(int nNode, int nFace, int nNodePerFace, bool reversed, int*& pNodeID,
                      int**& ppFace);

  // Fill and check entries 1..n (or entries pIndex[1..n]); the check reports the first entry
  // that differs through `found`.
  void InitializeLoopValue(int n, int* pArray, int value);
  void InitializeLoopValue(int n, int* pArray, int* pIndex, int value);
  bool Test_ForLoopValue(int n, int* pArray, int value, int& found);
  bool Test_ForLoopValue(int n, int* pArray, int* pIndex, int value, int& found);

  int m_nMyid;
  int m_nNProc;
  CKRZCom* m_pCom;
  int m_nTestFaceNumber_L;
};

#endif
