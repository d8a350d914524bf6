// How a solver sets up one domain's interface with the library: its node numbering collected on
// rank 0, the face object over the local interface faces, and the boundary-face object over their
// owner and neighbour cells. Used by the demo and `krz3d couple`.
#ifndef KRZ_APPS_DEMO_KRZINTERFACESETUP_H
#define KRZ_APPS_DEMO_KRZINTERFACESETUP_H

#include <vector>

#include "CKRZA2BExchange_BoundaryFace.h"
#include "CKRZCom.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"

/// Collective. nodes[1..]: the global number of each local node; table[1..nFaces]: the local
/// faces (Face20 records, borrowed); owner/neighbor[1..nFaces]: their cells (borrowed).
void KRZSetUpInterface(CKRZCom& com, int myid, int nproc, std::vector<int>& nodes,
                       std::vector<int*>& table, std::vector<int>& owner,
                       std::vector<int>& neighbor, CKRZL2GBroadTools_Face& face,
                       CKRZL2GBroadTools_BoundaryFace& boundary);

/// Ties the exchange to both domains' objects (borrowed) and finds the A/B relation by face
/// matching on rank 0.
void KRZPairDomains(CKRZA2BExchange_BoundaryFace& exchange, CKRZL2GBroadTools_Face& faceA,
                    CKRZL2GBroadTools_Face& faceB, CKRZL2GBroadTools_BoundaryFace& boundaryA,
                    CKRZL2GBroadTools_BoundaryFace& boundaryB);

/// One step of the toy conjugate problem on one domain: every interface cell (owner[f]) relaxes
/// half-way to its ghost (neighbor[f]), face by face in local order.
void KRZRelax(const std::vector<int>& owner, const std::vector<int>& neighbor,
              std::vector<double>& cells);

/// Collective. How many ranks hold interface faces of A and of B.
void KRZRanksWithFaces(CKRZCom& com, int facesA, int facesB, int ranks[2]);

#endif
