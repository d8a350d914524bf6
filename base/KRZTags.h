// The message tags of the library's point-to-point traffic, in one place.
#ifndef KRZ_BASE_KRZTAGS_H
#define KRZ_BASE_KRZTAGS_H

namespace krz::detail {

enum KRZTag : int {
  kTransferTag = 10000, ///< gathers and scatters: every rank's array to or from rank 0
  kA2BTag = 10001       ///< the A/B exchange's direct route: its lists and its values
};

} // namespace krz::detail

#endif
