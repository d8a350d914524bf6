#include "KRZInterfaceSetUp.h"

#include "CCOM_BroadTools_CollectLocalArrayToMyid0.h"

void KRZSetUpInterface(CKRZCom& com, int myid, int nproc, std::vector<int>& nodes,
                       std::vector<int*>& table, std::vector<int>& owner,
                       std::vector<int>& neighbor, CKRZL2GBroadTools_Face& face,
                       CKRZL2GBroadTools_BoundaryFace& boundary) {
  CCOM_BroadTools_CollectLocalArrayToMyid0 collector;
  collector.SetInitialize(myid, nproc, &com);
  int** nodeMap =
      collector.CreateMyid0ArrayFromLocalArray(static_cast<int>(nodes.size()) - 1, nodes.data());
  const int nFaces = static_cast<int>(table.size()) - 1;
  face.SetInitialize(myid, nproc, &com);
  face.SetLocalFace20(nFaces, table.data());
  face.SetL2GMapRelation(nodeMap, nullptr); // rank 0's node table: ours, released below
  if (nodeMap != nullptr) {
    for (int p = 0; p < nproc; ++p)
      delete[] nodeMap[p];
    delete[] nodeMap;
  }
  boundary.SetBoundaryFaceRelation(&face);
  boundary.SetLocalFace_BoundaryCellID(nFaces, owner.data(), neighbor.data());
}

void KRZPairDomains(CKRZA2BExchange_BoundaryFace& exchange, CKRZL2GBroadTools_Face& faceA,
                    CKRZL2GBroadTools_Face& faceB, CKRZL2GBroadTools_BoundaryFace& boundaryA,
                    CKRZL2GBroadTools_BoundaryFace& boundaryB) {
  exchange.SetL2G_Face(&faceA, &faceB);
  exchange.SetL2G_BoundaryFace(&boundaryA, &boundaryB);
  exchange.SetA2BRelation(nullptr, nullptr);
}

void KRZRelax(const std::vector<int>& owner, const std::vector<int>& neighbor,
              std::vector<double>& cells) {
  for (size_t f = 1; f < owner.size(); ++f) {
    double& cell = cells[static_cast<size_t>(owner[f])];
    cell += 0.5 * (cells[static_cast<size_t>(neighbor[f])] - cell);
  }
}

void KRZRanksWithFaces(CKRZCom& com, int facesA, int facesB, int ranks[2]) {
  int holds[2] = {facesA > 0 ? 1 : 0, facesB > 0 ? 1 : 0};
  com.AllSum(com.m_nTypeInt, holds, ranks, 2, com.m_nCommHandle);
}
