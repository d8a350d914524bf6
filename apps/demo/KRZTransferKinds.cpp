#include "KRZTransferKinds.h"

namespace {
using E = CKRZA2BExchange_BoundaryFace;

#define KRZ_KIND(label, fromB, source, toFace, member)                                             \
  { label, fromB, source, toFace, &E::member, &E::member }
const KRZTransferKind kKinds[] = {
    KRZ_KIND("A2B Owner2Neighbor", false, kOwner, false,
             GetBoundaryCellValue_A2B_FromOwner2Neighbor),
    KRZ_KIND("B2A Owner2Neighbor", true, kOwner, false,
             GetBoundaryCellValue_B2A_FromOwner2Neighbor),
    KRZ_KIND("A2B Face2Neighbor", false, kFace, false, GetBoundaryCellValue_A2B_FromFace2Neighbor),
    KRZ_KIND("B2A Face2Neighbor", true, kFace, false, GetBoundaryCellValue_B2A_FromFace2Neighbor),
    KRZ_KIND("A2B Owner2Face", false, kOwner, true, GetFaceValue_A2B_FromOwner2Face),
    KRZ_KIND("A2B Neighbor2Face", false, kGhost, true, GetFaceValue_A2B_FromNeighbor2Face),
    KRZ_KIND("B2A Owner2Face", true, kOwner, true, GetFaceValue_B2A_FromOwner2Face),
    KRZ_KIND("B2A Neighbor2Face", true, kGhost, true, GetFaceValue_B2A_FromNeighbor2Face),
    KRZ_KIND("A2B Face2Face", false, kFace, true, GetFaceValue_A2B_FromFace2Face),
    KRZ_KIND("B2A Face2Face", true, kFace, true, GetFaceValue_B2A_FromFace2Face),
};
#undef KRZ_KIND
} // namespace

const KRZTransferKind* KRZTransferKindsBegin() { return kKinds; }
const KRZTransferKind* KRZTransferKindsEnd() { return kKinds + sizeof kKinds / sizeof kKinds[0]; }
