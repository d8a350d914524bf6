// CKRZFacesMappingA2B_Basic: matches two face tables face by face by node set.
//
// Tables are 1-based arrays of pointers to Face20 records (slot 0 the node count k, slots 1..k
// the node numbers), borrowed. After CreateMapping(), m_pA2B[i] is the B face matched to A face
// i and m_pB2A[m] the A face matched to B face m, 0 where none; both hold count+1 entries and
// entry 0 is 0. No communication.
//
// The result is that of the scan by node: nodes in increasing number; at a node the A faces in
// increasing number; for each the B faces after it in increasing number, taking the first still
// unmatched B face with the same node count that passes the slot test (every slot of the A face
// found among the slots of the B face). A matched A face is offered the unmatched B faces again
// at its later nodes and keeps the last one it took. Where every face has 1 to 4 distinct nodes
// within A's node range and no two B faces share a node set, that result is the pairing of equal
// node sets, and it is found by a join on each set's smallest node instead of the scan.
//
// Bad input never leads outside the arrays: node numbers below 1 or, in table B, above the
// largest node of table A are not indexed, and a face whose node count lies outside 0..4 is
// reported with one line and matches nothing.
#ifndef KRZ_FACE_CKRZFACESMAPPINGA2B_BASIC_H
#define KRZ_FACE_CKRZFACESMAPPINGA2B_BASIC_H

#include <vector>

class CKRZFacesMappingA2B_Basic {
public:
  CKRZFacesMappingA2B_Basic(int** ppFaceA, int nFaceA, int** ppFaceB, int nFaceB);
  virtual ~CKRZFacesMappingA2B_Basic();
  CKRZFacesMappingA2B_Basic(const CKRZFacesMappingA2B_Basic&) = delete;
  CKRZFacesMappingA2B_Basic& operator=(const CKRZFacesMappingA2B_Basic&) = delete;

  /// Largest node number in slots 1..k of faces 1..nFace, starting from 0.
  static int GetMaxNodeID(int** ppFace, int nFace);
  /// Fills both maps anew.
  void CreateMapping();
  /// The matching proper; a2b (nA+1) and b2a (nB+1) must be zero on entry.
  static void MatchFaces(int nMaxNodeID, int nFaceA, int** ppFaceA, int nFaceB, int** ppFaceB,
                         int* a2b, int* b2a);

  std::vector<int> m_pA2B;
  std::vector<int> m_pB2A;
  int** m_ppFaceA;
  int** m_ppFaceB;
  int m_nFaceNumberA;
  int m_nFaceNumberB;
  int m_nMaxNodeID;
};

#endif
