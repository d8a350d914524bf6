// The A/B transfers as the checked runs (the demo, `krz3d couple`) drive them: where each reads
// and writes, the member to call for each element type, and the known values they move.
#ifndef KRZ_APPS_DEMO_KRZTRANSFERKINDS_H
#define KRZ_APPS_DEMO_KRZTRANSFERKINDS_H

#include <type_traits>

#include "CKRZA2BExchange_BoundaryFace.h"

/// What a transfer reads: owner cells, ghost (neighbour) cells or faces.
enum KRZValueKind { kOwner = 0, kGhost = 1, kFace = 2 };

/// The known value of an item: a domain and kind offset plus the item's number.
inline int KRZValueCode(bool isB, KRZValueKind kind, int value) {
  return (isB ? 5000000 : 1000000) + kind * 1000000 + value;
}

struct KRZTransferKind {
  const char* name;
  bool fromB;
  KRZValueKind source;
  bool toFace;
  void (CKRZA2BExchange_BoundaryFace::*asDouble)(double*, double*);
  void (CKRZA2BExchange_BoundaryFace::*asInt)(int*, int*);

  template <class T> void Run(CKRZA2BExchange_BoundaryFace& exchange, T* in, T* out) const {
    if constexpr (std::is_same_v<T, double>)
      (exchange.*asDouble)(in, out);
    else
      (exchange.*asInt)(in, out);
  }
};

/// The ten one-way transfers (the two-way exchange is run on its own).
const KRZTransferKind* KRZTransferKindsBegin();
const KRZTransferKind* KRZTransferKindsEnd();

#endif
