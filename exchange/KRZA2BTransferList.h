// The ten one-way A/B transfers of CKRZA2BExchange_BoundaryFace, written once and expanded
// wherever they are listed (the exchange itself, the C API, the Python module, the checked runs):
//   X(name, from, source, target)
// from: A or B; source: OwnerCell, NeighborCell or Face (what is read in the source domain);
// target: NeighborCell or Face (what is written in the other domain). The two-way exchange,
// GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor, is A2B then B2A from owner to neighbour.
#ifndef KRZ_EXCHANGE_KRZA2BTRANSFERLIST_H
#define KRZ_EXCHANGE_KRZA2BTRANSFERLIST_H

#define KRZ_A2B_ONE_WAY_TRANSFERS(X)                                                               \
  X(GetBoundaryCellValue_A2B_FromOwner2Neighbor, A, OwnerCell, NeighborCell)                       \
  X(GetBoundaryCellValue_B2A_FromOwner2Neighbor, B, OwnerCell, NeighborCell)                       \
  X(GetBoundaryCellValue_A2B_FromFace2Neighbor, A, Face, NeighborCell)                             \
  X(GetBoundaryCellValue_B2A_FromFace2Neighbor, B, Face, NeighborCell)                             \
  X(GetFaceValue_A2B_FromOwner2Face, A, OwnerCell, Face)                                           \
  X(GetFaceValue_A2B_FromNeighbor2Face, A, NeighborCell, Face)                                     \
  X(GetFaceValue_B2A_FromOwner2Face, B, OwnerCell, Face)                                           \
  X(GetFaceValue_B2A_FromNeighbor2Face, B, NeighborCell, Face)                                     \
  X(GetFaceValue_A2B_FromFace2Face, A, Face, Face)                                                 \
  X(GetFaceValue_B2A_FromFace2Face, B, Face, Face)

#endif
