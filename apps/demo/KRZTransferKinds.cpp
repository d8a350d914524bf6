#include "KRZTransferKinds.h"

#include "exchange/KRZA2BTransferList.h"

namespace {
using E = CKRZA2BExchange_BoundaryFace;

// Where a transfer comes from and what it reads and writes, by the list's names.
constexpr bool A = false, B = true;
constexpr KRZValueKind OwnerCell = kOwner, NeighborCell = kGhost, Face = kFace;

#define KRZ_KIND(name, from, source, target)                                                       \
  {#name, from, source, target == kFace, &E::name, &E::name},
const KRZTransferKind kKinds[] = {KRZ_A2B_ONE_WAY_TRANSFERS(KRZ_KIND)};
#undef KRZ_KIND
} // namespace

const KRZTransferKind* KRZTransferKindsBegin() { return kKinds; }
const KRZTransferKind* KRZTransferKindsEnd() { return kKinds + sizeof kKinds / sizeof kKinds[0]; }
