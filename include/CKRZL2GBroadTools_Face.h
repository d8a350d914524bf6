#ifndef KRZ3DCOMTOOLS_CKRZL2GBROADTOOLS_FACE_H
#define KRZ3DCOMTOOLS_CKRZL2GBROADTOOLS_FACE_H

#include <memory>
#include <vector>

#include "KRZ3DCOMTools_export.h"

class CKRZCom;
class CCOM_BroadTools;

/// CKRZL2GBroadTools_Face: one global numbering for the faces every rank knows, the global face
/// table on rank 0, and face values moved between local and global numbering.
///
/// Faces are Face20 records: five ints, slot 0 the node count k (1..4), slots 1..k the node
/// numbers, 0 in the slots past k. A face table is a 1-based array of record pointers (entry 0
/// unused). Maps are per-rank row tables (rows indexed by rank from 0, row p 1-based with entry 0
/// zero): the face map gives the global face of each local face, the node map the global node of
/// each local node.
///
/// Order of use: SetInitialize; SetLocalFace20 (collective); one SetL2GMapRelation overload
/// (collective); then transfers and GetGlobalFace20. The local face table and the node map are
/// borrowed and must stay valid until SetL2GMapRelation has returned; they are read on rank 0 only
/// (the node map) or on every rank (the local faces). Everything else the object keeps (counts,
/// face map, global face table, transfer object) it owns.
class KRZ3DCOMTOOLS_EXPORT CKRZL2GBroadTools_Face {
public:
  CKRZL2GBroadTools_Face();
  ~CKRZL2GBroadTools_Face();
  ///@{
  /// Deep copies of everything owned; borrowed tables and the communicator are shared.
  CKRZL2GBroadTools_Face(const CKRZL2GBroadTools_Face& other);
  CKRZL2GBroadTools_Face& operator=(const CKRZL2GBroadTools_Face& other);
  ///@}

  /// Stores this rank's number, the rank count and the borrowed communicator. Not collective.
  void SetInitialize(int myid, int nproc, CKRZCom* pCom);
  /// Collective. Records (borrows) this rank's nFaceLocal faces, ppFace20_Local[1..nFaceLocal],
  /// and learns every rank's count and the global count (their plain sum; past 2147483647 it is
  /// refused on every rank and no faces are kept). Drops an earlier face relation: transfers are
  /// refused until SetL2GMapRelation is called again. Records need a node count of 1 to 4;
  /// others are reported and taken as empty faces.
  void SetLocalFace20(int nFaceLocal, int** ppFace20_Local);

  /// Sum of the local face counts (known on every rank after SetLocalFace20).
  int GetFaceNumber_Global();
  ///@{
  /// Local face count of rank iProc; 0 before SetLocalFace20 or outside 0..nproc-1.
  int GetFaceNumber_Local(int iProc);
  int Getmyid();
  ///@}

  /// Collective. Rank 0: ppL2GNode is the node map (borrowed); ppL2GFace the face map (copied),
  /// or null for the default numbering (rank 0's faces first, then rank 1's, ...). Builds the
  /// global face table on rank 0 in global node numbers. Other ranks may pass null.
  void SetL2GMapRelation(int** ppL2GNode, int** ppL2GFace);
  /// Collective. As above with the default numbering, then rank 0 renumbers every local face to
  /// the face of the caller's global table ppFace20_Global[1..nFaceNumber_Global] (borrowed,
  /// only read) with the same node set, 0 where none matches. A count different from the global
  /// face count is reported on rank 0 and processing goes on; face numbers beyond the global face
  /// count are then refused by the transfers' relation check. The global face table stays in the
  /// default numbering. A null ppFace20_Global on rank 0 is reported and the default numbering
  /// kept.
  void SetL2GMapRelation(int** ppL2GNode, int& nFaceNumber_Global, int** ppFace20_Global);
  /// The global face count and, on rank 0, the global face table (owned by this object; do not
  /// free; null on other ranks).
  void GetGlobalFace20(int& nFace, int**& ppFace20);

  ///@{
  /// Collective gather: pLocal holds this rank's GetFaceNumber_Local(myid)+1 values; rank 0's
  /// pGlobal (GetFaceNumber_Global()+1 values) receives them at their global numbers. Both
  /// borrowed; pGlobal is read on rank 0 only.
  void GetValue_FromLocalFaceToGloblaFace(double* pLocal, double* pGlobal);
  void GetValue_FromLocalFaceToGloblaFace(int* pLocal, int* pGlobal);
  ///@}
  ///@{
  /// Collective scatter: the reverse. pGlobal is read on rank 0 only; every rank's pLocal is
  /// written at entries 1..its local count.
  void GetValue_FromGlobalFaceToLocalFace(double* pGlobal, double* pLocal);
  void GetValue_FromGlobalFaceToLocalFace(int* pGlobal, int* pLocal);
  ///@}

private:
  friend class CKRZA2BExchange_BoundaryFace; // reads SetUpCount() to tell a stale A/B relation

  ///@{
  /// How many times this object was set up (SetLocalFace20, SetL2GMapRelation) so far.
  long long SetUpCount() const;
  int** Copy_L2GFaceMapping(int** ppL2GFace);
  int** CreateDefault_L2GFaceMapping();
  void Rearrange_L2GFaceMapping(int** ppL2GFace, const int* pA2B);
  int COM_AllSumValue(int value);
  int** CreateFace20_Global(int nFace, CCOM_BroadTools& broadTools, int** ppL2GNode);
  ///@}

  struct Impl; // the storage behind m_ppFace20_G and m_ppL2GFace, and the steps behind the calls

  CKRZCom* m_pCom;
  int m_nMyid;
  int m_nNProc;
  int** m_ppFace20_G; ///< rank 0: m_nFaceNumber_G+1 record pointers, entry 0 null; owned
  int m_nFaceNumber_G;
  std::vector<int> m_pFaceNumber_L; ///< nproc local counts, 0-based by rank
  int m_nFaceNumber_L;
  int** m_ppFace20_L; ///< borrowed
  std::unique_ptr<CCOM_BroadTools> m_pBroadTools;
  int** m_ppL2GNode; ///< rank 0; borrowed
  int** m_ppL2GFace; ///< rank 0: the face map; owned
  std::unique_ptr<Impl> m_pImpl;
};

#endif
