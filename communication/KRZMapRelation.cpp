// The map relation's storage: owned or borrowed counts and rows, and copies of them.
#include "communication/KRZMapRelation.h"

#include <algorithm>

namespace krz::detail {

CKRZMapRelation::CKRZMapRelation(const CKRZMapRelation& other)
    : refused(other.refused), m_pCounts(other.m_pCounts), m_pRows(other.m_pRows),
      m_bOwnsCounts(other.m_bOwnsCounts), m_bOwnsRows(other.m_bOwnsRows),
      m_Distributed(other.m_Distributed), m_RunStarts(other.m_RunStarts) {
  if (m_bOwnsCounts) {
    m_OwnedCounts = other.m_OwnedCounts;
    m_pCounts = m_OwnedCounts.data();
  }
  if (m_bOwnsRows) {
    m_pOwnedRows.reset(new CKRZOwnedRows<int>(*other.m_pOwnedRows));
    m_pRows = m_pOwnedRows->Get();
  }
}

void CKRZMapRelation::Borrow(int* counts, int** rows) {
  if (counts != m_pCounts)
    ReleaseCounts();
  if (rows != m_pRows)
    ReleaseRows();
  m_pCounts = counts;
  m_pRows = rows;
}

void CKRZMapRelation::OwnCounts(int n) {
  m_OwnedCounts.assign(static_cast<size_t>(n), 0);
  m_pCounts = m_OwnedCounts.data();
  m_bOwnsCounts = true;
}

void CKRZMapRelation::OwnRows(int nRows) {
  std::vector<int> lengths;
  for (int p = 0; p < nRows; ++p)
    lengths.push_back(std::max(m_pCounts[p], 0) + 1);
  m_pOwnedRows.reset(new CKRZOwnedRows<int>);
  m_pOwnedRows->Reset(lengths);
  m_pRows = m_pOwnedRows->Get();
  m_bOwnsRows = true;
}

void CKRZMapRelation::ReleaseCounts() {
  m_OwnedCounts.clear();
  m_OwnedCounts.shrink_to_fit();
  m_pCounts = nullptr;
  m_bOwnsCounts = false;
}

void CKRZMapRelation::ReleaseRows() {
  m_RunStarts.clear();
  m_pOwnedRows.reset();
  m_pRows = nullptr;
  m_bOwnsRows = false;
}

} // namespace krz::detail
