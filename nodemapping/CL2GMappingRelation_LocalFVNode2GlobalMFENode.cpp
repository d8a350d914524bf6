#include "CL2GMappingRelation_LocalFVNode2GlobalMFENode.h"

#include <vector>

#include "CL2GMappingRelation_CollectFVNode2MFENode.h"
#include "KRZPerformanceLog.h"
#include "base/KRZLine.h"
#include "base/KRZRowTable.h"

using namespace krz::detail;

CL2GMappingRelation_LocalFVNode2GlobalMFENode::CL2GMappingRelation_LocalFVNode2GlobalMFENode()
    : m_nMyid(0), m_nNProc(0), m_pCom(nullptr), m_pFENode_Local2Global(nullptr) {}

CL2GMappingRelation_LocalFVNode2GlobalMFENode::~CL2GMappingRelation_LocalFVNode2GlobalMFENode() =
    default;

CL2GMappingRelation_LocalFVNode2GlobalMFENode::CL2GMappingRelation_LocalFVNode2GlobalMFENode(
    const CL2GMappingRelation_LocalFVNode2GlobalMFENode& other)
    : CL2GMappingRelation_LocalFVNode2GlobalMFENode() {
  *this = other;
}

CL2GMappingRelation_LocalFVNode2GlobalMFENode&
CL2GMappingRelation_LocalFVNode2GlobalMFENode::operator=(
    const CL2GMappingRelation_LocalFVNode2GlobalMFENode& other) {
  if (this == &other)
    return *this;
  m_nMyid = other.m_nMyid;
  m_nNProc = other.m_nNProc;
  m_pCom = other.m_pCom;
  m_pFENode_Local2Global = other.m_pFENode_Local2Global;
  m_pCollectFVNode2MFENode.reset(
      other.m_pCollectFVNode2MFENode
          ? new CL2GMappingRelation_CollectFVNode2MFENode(*other.m_pCollectFVNode2MFENode)
          : nullptr);
  return *this;
}

void CL2GMappingRelation_LocalFVNode2GlobalMFENode::SetInitialize(int myid, int nproc,
                                                                  CKRZCom* com) {
  m_nMyid = myid;
  m_nNProc = nproc;
  m_pCom = com;
}

void CL2GMappingRelation_LocalFVNode2GlobalMFENode::SetMappinArrayCollectToMyid0(int nLocal,
                                                                                 int* pLocal) {
  krz::detail::CKRZLogScope logged(KRZLogged::NodeMapping);
  m_pCollectFVNode2MFENode.reset(new CL2GMappingRelation_CollectFVNode2MFENode());
  m_pCollectFVNode2MFENode->SetInitialize(m_nMyid, m_nNProc, m_pCom);
  m_pCollectFVNode2MFENode->SetMappinArrayCollectToMyid0(nLocal, pLocal);
}

void CL2GMappingRelation_LocalFVNode2GlobalMFENode::SetMappingRelation_FENode_Local2Global(
    int** pFENodeLocal2Global, int**, eDomain) {
  krz::detail::CKRZLogScope logged(KRZLogged::NodeMapping);
  m_pFENode_Local2Global = pFENodeLocal2Global;
}

int** CL2GMappingRelation_LocalFVNode2GlobalMFENode::
    CreateMappingArray_LocalFVNode2GlobalMFENode() {
  int** collected =
      m_pCollectFVNode2MFENode ? m_pCollectFVNode2MFENode->GetMappinArrayCollectToMyid0() : nullptr;
  if (collected == nullptr || m_pFENode_Local2Global == nullptr)
    return nullptr;
  std::vector<int> counts(static_cast<size_t>(m_nNProc));
  for (int p = 0; p < m_nNProc; ++p)
    counts[static_cast<size_t>(p)] = m_pCollectFVNode2MFENode->GetNumber_Local(p);
  int** result = KRZNewRowTable<int>(m_nNProc, counts.data());
  for (int p = 0; p < m_nNProc; ++p) {
    const int* R = collected[p];
    const int* G = m_pFENode_Local2Global[p];
    const int n = counts[static_cast<size_t>(p)];
    if (G == nullptr && n > 0) {
      CKRZLine() << "CreateMappingArray_LocalFVNode2GlobalMFENode: no FE-node row for process " << p
                 << "; its entries stay 0";
      continue;
    }
    for (int i = 1; i <= n; ++i) {
      if (R[i] < 0) {
        CKRZLine() << "CreateMappingArray_LocalFVNode2GlobalMFENode: process " << p << ", FV node "
                   << i << " names MFE node " << R[i] << "; entry left 0";
        continue;
      }
      result[p][i] = G[R[i]];
    }
  }
  return result;
}

int** CL2GMappingRelation_LocalFVNode2GlobalMFENode::
    CreateMappingArray_LocalFVNode2GlobalMFENode_2() {
  return new int*[static_cast<size_t>(m_nNProc > 0 ? m_nNProc : 0)]();
}
