// Row tables in the interface's own shape: an array of row pointers indexed by rank from 0,
// row p an array of counts[p]+1 elements (1-based items, element 0 zero). Allocated with new[],
// zero-filled; released row by row, then the row array.
#ifndef KRZ_COMMUNICATION_KRZROWTABLE_H
#define KRZ_COMMUNICATION_KRZROWTABLE_H

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

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

/// An owned table of rows in the same shape, for members: rows are released with the object and
/// copies are deep. Get() is the int** (T**) view the interface passes around; null when empty.
template <class T> class CKRZOwnedRows {
public:
  CKRZOwnedRows() = default;
  CKRZOwnedRows(const CKRZOwnedRows& other) { *this = other; }
  CKRZOwnedRows& operator=(const CKRZOwnedRows& other) {
    if (this == &other)
      return *this;
    Reset(other.m_Lengths);
    for (size_t r = 0; r < m_Rows.size(); ++r)
      if (m_Rows[r])
        std::copy(other.m_Rows[r].get(), other.m_Rows[r].get() + m_Lengths[r], m_Rows[r].get());
    return *this;
  }

  /// Replaces the table by zero-filled rows; row r holds lengths[r] elements, or is null when
  /// lengths[r] is negative.
  void Reset(const std::vector<int>& lengths) {
    m_Lengths = lengths;
    m_Rows.clear();
    m_Table.assign(lengths.size(), nullptr);
    for (size_t r = 0; r < lengths.size(); ++r) {
      m_Rows.emplace_back(lengths[r] < 0 ? nullptr : new T[static_cast<size_t>(lengths[r])]());
      m_Table[r] = m_Rows.back().get();
    }
  }
  void Clear() { Reset({}); }

  T** Get() { return m_Table.empty() ? nullptr : m_Table.data(); }
  int Rows() const { return static_cast<int>(m_Table.size()); }

private:
  std::vector<int> m_Lengths;
  std::vector<std::unique_ptr<T[]>> m_Rows;
  std::vector<T*> m_Table;
};

#endif
