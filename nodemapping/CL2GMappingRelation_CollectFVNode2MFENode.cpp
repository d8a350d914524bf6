#include "CL2GMappingRelation_CollectFVNode2MFENode.h"

#include <vector>

#include "CCOM_BroadTools_CollectLocalArrayToMyid0.h"
#include "KRZPerformanceLog.h"
#include "base/KRZRowTable.h"

using namespace krz::detail;

CL2GMappingRelation_CollectFVNode2MFENode::CL2GMappingRelation_CollectFVNode2MFENode()
    : m_nMyid(0), m_nNProc(0), m_pMappingArray_Myid0(nullptr), m_bCollected(false) {}

CL2GMappingRelation_CollectFVNode2MFENode::~CL2GMappingRelation_CollectFVNode2MFENode() {
  m_pCollector.reset();
  KRZDeleteRowTable(m_pMappingArray_Myid0, m_nNProc);
}

CL2GMappingRelation_CollectFVNode2MFENode::CL2GMappingRelation_CollectFVNode2MFENode(
    const CL2GMappingRelation_CollectFVNode2MFENode& other)
    : CL2GMappingRelation_CollectFVNode2MFENode() {
  *this = other;
}

CL2GMappingRelation_CollectFVNode2MFENode& CL2GMappingRelation_CollectFVNode2MFENode::operator=(
    const CL2GMappingRelation_CollectFVNode2MFENode& other) {
  if (this == &other)
    return *this;
  KRZDeleteRowTable(m_pMappingArray_Myid0, m_nNProc);
  m_pCollector.reset(other.m_pCollector
                         ? new CCOM_BroadTools_CollectLocalArrayToMyid0(*other.m_pCollector)
                         : nullptr);
  m_nMyid = other.m_nMyid;
  m_nNProc = other.m_nNProc;
  m_bCollected = other.m_bCollected;
  if (other.m_pMappingArray_Myid0 != nullptr) {
    std::vector<int> counts(static_cast<size_t>(m_nNProc));
    for (int p = 0; p < m_nNProc; ++p)
      counts[static_cast<size_t>(p)] = m_pCollector ? m_pCollector->GetNumber_Local(p) : 0;
    m_pMappingArray_Myid0 = KRZCopyRowTable(other.m_pMappingArray_Myid0, m_nNProc, counts.data());
  }
  return *this;
}

void CL2GMappingRelation_CollectFVNode2MFENode::SetInitialize(int myid, int nproc, CKRZCom* com) {
  m_pCollector.reset(new CCOM_BroadTools_CollectLocalArrayToMyid0());
  m_pCollector->SetInitialize(myid, nproc, com);
  m_nMyid = myid;
  m_nNProc = nproc;
}

void CL2GMappingRelation_CollectFVNode2MFENode::SetMappinArrayCollectToMyid0(int nLocal,
                                                                             int* pLocal) {
  krz::detail::CKRZLogScope logged(KRZLogged::NodeMapping);
  // Only rank 0 ever holds a table, so "already collected" is decided from a flag that every
  // rank sets alike: a second call does nothing anywhere.
  if (!m_pCollector || m_bCollected)
    return;
  m_pMappingArray_Myid0 = m_pCollector->CreateMyid0ArrayFromLocalArray(nLocal, pLocal);
  m_bCollected = true;
}

int** CL2GMappingRelation_CollectFVNode2MFENode::GetMappinArrayCollectToMyid0() {
  return m_pMappingArray_Myid0;
}

int CL2GMappingRelation_CollectFVNode2MFENode::GetNumber_Local(int iProc) {
  return m_pCollector ? m_pCollector->GetNumber_Local(iProc) : 0;
}

int CL2GMappingRelation_CollectFVNode2MFENode::GetNumber_Global() {
  return m_pCollector ? m_pCollector->GetNumber_Global() : 0;
}
