// KRZCountSum: per-rank item counts summed in 64 bits, and the refusal of a total that does not
// fit the int the interface counts in. Every rank sums the same counts, so every rank refuses
// alike and no message is needed to agree.
#ifndef KRZ_BASE_KRZCOUNTSUM_H
#define KRZ_BASE_KRZCOUNTSUM_H

#include <climits>

#include "base/KRZLine.h"

namespace krz::detail {

/// Sum of counts[0..n-1], each taken as at least 0.
template <class Counts> long long KRZSumCounts(const Counts& counts, int n) {
  long long total = 0;
  for (int p = 0; p < n; ++p)
    total += counts[p] > 0 ? counts[p] : 0;
  return total;
}

/// True when `total` items fit: an array of total+1 elements must be countable in an int, so the
/// largest total is INT_MAX - 1. Otherwise prints the line of `operation` and returns false.
inline bool KRZCountFits(const char* operation, long long total, const char* what) {
  if (total < INT_MAX)
    return true;
  CKRZLine() << operation << ": the local " << what << " counts sum to " << total << ", more than "
             << INT_MAX - 1 << "; refused";
  return false;
}

} // namespace krz::detail

#endif
