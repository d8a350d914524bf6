// Owned scratch arrays grown to what an operation needs, with one growth rule: an array is
// replaced by a larger one when it is too small, never shrunk, and a replacement starts zeroed
// where asked.
#ifndef KRZ3DCOMTOOLS_KRZSCRATCH_H
#define KRZ3DCOMTOOLS_KRZSCRATCH_H

#include <cstddef>
#include <memory>

namespace krz::detail {

/// The growth rule: `data` (holding `size` elements) is replaced by an array of `need` elements
/// (zeroed when `zeroed`) when it is smaller; the old contents are not kept.
template <class T, class Size>
T* KRZGrow(std::unique_ptr<T[]>& data, Size& size, long long need, bool zeroed) {
  if (size < need) {
    data.reset(zeroed ? new T[static_cast<std::size_t>(need)]()
                      : new T[static_cast<std::size_t>(need)]);
    size = static_cast<Size>(need);
  }
  return data.get();
}

/// One owned array of `T` and its length in elements.
template <class T> struct CKRZGrowable {
  std::unique_ptr<T[]> data;
  long long size = 0;

  /// At least `need` elements (zeroed when newly allocated and `zeroed`); the old contents are
  /// not kept.
  T* Grow(long long need, bool zeroed) { return KRZGrow(data, size, need, zeroed); }
};

/// The transfers' scratch of one element type: `data` holds one rank's array (a message),
/// `staged` the rank's values between their local and their sorted order (on the ranks other
/// than 0: their message), `block` one block of them while it is sorted, `posted` every other
/// rank's message at once (rank 0 of a posted transfer).
template <class T> struct CKRZScratch {
  CKRZGrowable<T> data;
  CKRZGrowable<T> staged;
  CKRZGrowable<T> block;
  CKRZGrowable<T> posted;
};

} // namespace krz::detail

#endif
