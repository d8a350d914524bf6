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
