// Row tables in the interface's own shape: an array of row pointers indexed by rank from 0,
// row p an array of counts[p]+1 elements (1-based items, element 0 zero). Allocated with new[],
// zero-filled; released row by row, then the row array.
#ifndef KRZ_BASE_KRZROWTABLE_H
#define KRZ_BASE_KRZROWTABLE_H

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace krz::detail {

/// A new zero-filled table of nRows rows, row p holding counts[p]+1 elements (negative counts
/// count as 0).
template <class T> T** KRZNewRowTable(int nRows, const int* counts);

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

/// Holds a table in this shape (rows 0..nRows-1, null rows allowed) until the end of a scope:
/// the destructor releases it unless Release() handed it on, so a rank unwound on the way leaks
/// nothing.
template <class T> class CKRZHeldRows {
public:
  CKRZHeldRows(T** table, int nRows) : m_pTable(table), m_nRows(nRows) {}
  CKRZHeldRows(const CKRZHeldRows&) = delete;
  CKRZHeldRows& operator=(const CKRZHeldRows&) = delete;
  ~CKRZHeldRows() { KRZDeleteRowTable(m_pTable, m_nRows); }
  T** Get() const { return m_pTable; }
  /// The table, now the caller's (release with KRZDeleteRowTable or row by row with delete[]).
  T** Release() {
    T** table = m_pTable;
    m_pTable = nullptr;
    return table;
  }

private:
  T** m_pTable;
  int m_nRows;
};

/// A new table in the interface's shape on its way to a caller. Rows are zero-filled when asked;
/// otherwise the filler must write elements 0..counts[p] of every row.
template <class T> class CKRZRowsForCaller : public CKRZHeldRows<T> {
public:
  CKRZRowsForCaller(int nRows, const int* counts, bool zeroed)
      : CKRZHeldRows<T>(new T*[static_cast<size_t>(nRows)](), nRows) {
    for (int p = 0; p < nRows; ++p) {
      const size_t n = static_cast<size_t>(std::max(counts[p], 0)) + 1;
      this->Get()[p] = zeroed ? new T[n]() : new T[n];
    }
  }
};

template <class T> T** KRZNewRowTable(int nRows, const int* counts) {
  return CKRZRowsForCaller<T>(nRows, counts, true).Release();
}

/// An owned table of rows in the same shape, for members: all rows live in one zero-filled
/// block released with the object, and copies are deep. Get() is the T** view the interface
/// passes around; null when empty.
template <class T> class CKRZOwnedRows {
public:
  CKRZOwnedRows() = default;
  CKRZOwnedRows(const CKRZOwnedRows& other) { *this = other; }
  CKRZOwnedRows& operator=(const CKRZOwnedRows& other) {
    if (this != &other) {
      m_Lengths = other.m_Lengths;
      m_Block = other.m_Block;
      Point();
    }
    return *this;
  }

  /// Replaces the table by zero-filled rows; row r holds lengths[r] elements, or is null when
  /// lengths[r] is negative.
  void Reset(const std::vector<int>& lengths) {
    m_Lengths = lengths;
    size_t total = 0;
    for (int n : lengths)
      total += static_cast<size_t>(std::max(n, 0));
    m_Block.assign(total, T());
    Point();
  }

  T** Get() { return m_Table.empty() ? nullptr : m_Table.data(); }
  T* const* Get() const { return m_Table.empty() ? nullptr : m_Table.data(); }

private:
  void Point() {
    m_Table.assign(m_Lengths.size(), nullptr);
    size_t at = 0;
    for (size_t r = 0; r < m_Lengths.size(); ++r)
      if (m_Lengths[r] >= 0) {
        m_Table[r] = m_Block.data() + at;
        at += static_cast<size_t>(m_Lengths[r]);
      }
  }

  std::vector<int> m_Lengths;
  std::vector<T> m_Block;
  std::vector<T*> m_Table;
};

} // namespace krz::detail

#endif
