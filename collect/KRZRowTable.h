// Row tables in the interface's own shape: an array of row pointers indexed by rank from 0,
// row p an array of counts[p]+1 elements (1-based items, element 0 zero). Allocated with new[],
// zero-filled; released row by row, then the row array.
#ifndef KRZ_COLLECT_KRZROWTABLE_H
#define KRZ_COLLECT_KRZROWTABLE_H

#include <algorithm>
#include <cstddef>

/// A new zero-filled table of nRows rows, row p holding counts[p]+1 elements (negative counts
/// count as 0).
template <class T> T** KRZNewRowTable(int nRows, const int* counts) {
  T** table = new T*[static_cast<size_t>(nRows)]();
  for (int p = 0; p < nRows; ++p)
    table[p] = new T[static_cast<size_t>(std::max(counts[p], 0)) + 1]();
  return table;
}

/// Releases rows 0..nRows-1 (those not null) and the row array; sets table to null.
template <class T> void KRZDeleteRowTable(T**& table, int nRows) {
  if (table == nullptr)
    return;
  for (int p = 0; p < nRows; ++p)
    delete[] table[p];
  delete[] table;
  table = nullptr;
}

/// A deep copy of `source` (null for null).
template <class T> T** KRZCopyRowTable(T* const* source, int nRows, const int* counts) {
  if (source == nullptr)
    return nullptr;
  T** table = KRZNewRowTable<T>(nRows, counts);
  for (int p = 0; p < nRows; ++p)
    if (source[p] != nullptr)
      std::copy(source[p], source[p] + std::max(counts[p], 0) + 1, table[p]);
  return table;
}

#endif
