#ifndef KRZ3DCOMTOOLS_CL2GMAPPINGRELATION_LOCALFVNODE2GLOBALMFENODE_H
#define KRZ3DCOMTOOLS_CL2GMAPPINGRELATION_LOCALFVNODE2GLOBALMFENODE_H

#include <memory>

#include "KRZ3DCOMTools_export.h"

class CKRZCom;
class CL2GMappingRelation_CollectFVNode2MFENode;

/// CL2GMappingRelation_LocalFVNode2GlobalMFENode: for every rank and each local FV node, the
/// global number of its MFE node, on rank 0.
///
/// Combines the FV-node to local-MFE-node relation (collected from every rank) with the MFE
/// nodes' local-to-global tables that the caller hands in on rank 0. Entry i of rank p's result
/// is G_p[R_p[i]], where R_p is rank p's collected relation and G_p rank p's row of the FE-node
/// table.
class KRZ3DCOMTOOLS_EXPORT CL2GMappingRelation_LocalFVNode2GlobalMFENode {
public:
  /// Which domain a table belongs to; accepted by SetMappingRelation_FENode_Local2Global only.
  enum eDomain { eDomain_FV = 0, eDomain_MFE = 1 };

  CL2GMappingRelation_LocalFVNode2GlobalMFENode();
  ~CL2GMappingRelation_LocalFVNode2GlobalMFENode();
  ///@{
  /// Deep copy of the collected relation; the FE-node tables and the communicator are shared.
  CL2GMappingRelation_LocalFVNode2GlobalMFENode(
      const CL2GMappingRelation_LocalFVNode2GlobalMFENode& other);
  CL2GMappingRelation_LocalFVNode2GlobalMFENode&
  operator=(const CL2GMappingRelation_LocalFVNode2GlobalMFENode& other);
  ///@}

  /// Stores this rank's number, the rank count and the borrowed communicator. Not collective.
  void SetInitialize(int myid, int nproc, CKRZCom* com);
  /// Collective. Collects afresh (replacing an earlier collection) the relation FV node -> local
  /// MFE node: nLocal FV nodes, pLocal of nLocal+1 ints (borrowed), entry i the local MFE node.
  void SetMappinArrayCollectToMyid0(int nLocal, int* pLocal);
  /// Rank 0: keeps (borrows) the FE-node local-to-global tables, one 1-based row per rank
  /// indexed from 0. pSecond and domain are accepted and not used. Not collective.
  void SetMappingRelation_FENode_Local2Global(int** pFENodeLocal2Global, int** pSecond,
                                              eDomain domain);
  /// Rank 0, after the collection and the FE-node tables: a new table (owned by the caller;
  /// nproc rows, row p of n_p+1 ints, element 0 zero) of global MFE node numbers. Null, with
  /// nothing allocated, where no collected table or no FE-node tables exist (ranks other than 0,
  /// one rank, before collecting). Not collective.
  int** CreateMappingArray_LocalFVNode2GlobalMFENode();
  /// A new array of nproc null row pointers, owned by the caller. Not collective.
  int** CreateMappingArray_LocalFVNode2GlobalMFENode_2();

private:
  int m_nMyid;
  int m_nNProc;
  CKRZCom* m_pCom;
  int** m_pFENode_Local2Global; ///< rank 0, borrowed: nproc rows of local MFE node -> global
  std::unique_ptr<CL2GMappingRelation_CollectFVNode2MFENode> m_pCollectFVNode2MFENode;
};

#endif
