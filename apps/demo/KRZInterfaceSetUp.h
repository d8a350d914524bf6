// How a solver sets up one domain's interface with the library: its node numbering collected on
// rank 0, the face object over the local interface faces, and the boundary-face object over their
// owner and neighbour cells. Used by the demo and `krz3d couple`.
#ifndef KRZ_APPS_DEMO_KRZINTERFACESETUP_H
#define KRZ_APPS_DEMO_KRZINTERFACESETUP_H

#include <vector>

#include "CKRZCom.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"

/// Collective. nodes[1..]: the global number of each local node; table[1..nFaces]: the local
/// faces (Face20 records, borrowed); owner/neighbor[1..nFaces]: their cells (borrowed).
void KRZSetUpInterface(CKRZCom& com, int myid, int nproc, std::vector<int>& nodes,
                       std::vector<int*>& table, std::vector<int>& owner,
                       std::vector<int>& neighbor, CKRZL2GBroadTools_Face& face,
                       CKRZL2GBroadTools_BoundaryFace& boundary);

#endif
