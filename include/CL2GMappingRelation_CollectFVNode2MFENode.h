#ifndef KRZ3DCOMTOOLS_CL2GMAPPINGRELATION_COLLECTFVNODE2MFENODE_H
#define KRZ3DCOMTOOLS_CL2GMAPPINGRELATION_COLLECTFVNODE2MFENODE_H

#include <memory>

#include "KRZ3DCOMTools_export.h"

class CKRZCom;
class CCOM_BroadTools_CollectLocalArrayToMyid0;

/// CL2GMappingRelation_CollectFVNode2MFENode: the FV-node to MFE-node relation of every rank,
/// collected on rank 0.
///
/// Every rank holds a 1-based int array: entry i is the MFE node of its local FV node i. One
/// collection brings all of them onto rank 0 as a row table (rank p's row holds n_p+1 ints,
/// element 0 zero), which this object owns. The table is collected once per object: a second
/// SetMappinArrayCollectToMyid0 does nothing on any rank (every rank knows alike that the
/// collection took place), so no rank is left alone in a collective.
class KRZ3DCOMTOOLS_EXPORT CL2GMappingRelation_CollectFVNode2MFENode {
public:
  CL2GMappingRelation_CollectFVNode2MFENode();
  ~CL2GMappingRelation_CollectFVNode2MFENode();
  ///@{
  /// Deep copies of the collector and the collected table.
  CL2GMappingRelation_CollectFVNode2MFENode(const CL2GMappingRelation_CollectFVNode2MFENode& other);
  CL2GMappingRelation_CollectFVNode2MFENode&
  operator=(const CL2GMappingRelation_CollectFVNode2MFENode& other);
  ///@}

  /// Creates a fresh collector for this rank, rank count and borrowed communicator. A table
  /// collected earlier is kept. Not collective.
  void SetInitialize(int myid, int nproc, CKRZCom* com);
  /// Collective. nLocal: this rank's FV node count; pLocal: nLocal+1 ints (borrowed), entry i the
  /// MFE node of FV node i. Collects once; without SetInitialize it does nothing.
  void SetMappinArrayCollectToMyid0(int nLocal, int* pLocal);
  /// The collected table on rank 0 (owned by this object: do not free), null elsewhere and with
  /// fewer than two ranks.
  int** GetMappinArrayCollectToMyid0();
  /// FV node count of rank iProc (0 before a collection, without a collector, or out of range).
  int GetNumber_Local(int iProc);
  /// FV node count over all ranks (0 before a collection or without a collector).
  int GetNumber_Global();

private:
  std::unique_ptr<CCOM_BroadTools_CollectLocalArrayToMyid0> m_pCollector;
  int m_nMyid;
  int m_nNProc;
  int** m_pMappingArray_Myid0; ///< owned row table, rank 0 only: nproc rows of n_p+1 entries
  bool m_bCollected;           ///< set on every rank by the first collection
};

#endif
