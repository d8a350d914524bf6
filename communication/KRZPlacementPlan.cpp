// The placement plan's life (first use, build at the second, comparison at every later one) and
// its build: one scan decides whether the relation is scattered enough (For), then every rank's
// order is sorted (Complete), which rank 0 does while the rows travel to the other ranks.
#include "communication/KRZPlacementPlan.h"

#include <algorithm>
#include <climits>

namespace krz::detail {
namespace {
// Measured on the project's machine (doubles, 4 ranks): no gain at 1,000,000 and 2,000,000
// elements, clear gains from 4,000,000 on; a smaller last-level cache moves the break-even
// down, hence 2^20.
constexpr int kMinGlobal = 1 << 20;
// A relation whose consecutive items change page (512 elements) less often than once in 16 items
// is in order enough for the plain loops.
constexpr int kPageShift = 9;
constexpr long long kJumpsPerPlan = 16;
} // namespace

bool CKRZPlacementPlan::MayServe(int nG) { return nG >= kMinGlobal; }

void CKRZPlacementPlan::Clear() {
  m_Stage = Stage::Seen;
  m_First.clear();
  for (std::vector<int>* v : {&m_Copy, &m_Sorted}) {
    v->clear();
    v->shrink_to_fit();
  }
  m_Own.Clear();
}

void CKRZPlacementPlan::Forget() {
  Clear();
  m_nNG = -1;
  m_Counts.clear();
  m_Rows.clear();
}

bool CKRZPlacementPlan::SameRelation(int nproc, const int* counts, const int* const* rows,
                                     int nG) const {
  if (nG != m_nNG || static_cast<size_t>(nproc) != m_Counts.size())
    return false;
  for (int p = 0; p < nproc; ++p)
    if (counts[p] != m_Counts[static_cast<size_t>(p)] || rows[p] != m_Rows[static_cast<size_t>(p)])
      return false;
  return true;
}

bool CKRZPlacementPlan::RowsUnchanged(int nproc, const int* counts, const int* const* rows) const {
  for (int p = 0; p < nproc; ++p) {
    const int* copy = m_Copy.data() + m_First[static_cast<size_t>(p)];
    if (counts[p] > 0 && !std::equal(rows[p] + 1, rows[p] + counts[p] + 1, copy))
      return false;
  }
  return true;
}

CKRZPlacementPlan* CKRZPlacementPlan::For(int nproc, const int* counts, const int* const* rows,
                                          int nG) {
  if (!SameRelation(nproc, counts, rows, nG)) {
    // First use of this relation: remembered only, the plain loops serve.
    Clear();
    m_nNG = nG;
    m_Counts.assign(counts, counts + nproc);
    m_Rows.assign(rows, rows + nproc);
    return nullptr;
  }
  if (m_Stage == Stage::Seen) {
    Decide(nproc, counts, rows, nG);
    return Empty() ? nullptr : this;
  }
  Complete(); // a no-op: every plan decided was completed in the transfer that decided it
  if (!Empty() && !RowsUnchanged(nproc, counts, rows)) {
    Clear(); // edited in place: plain loops now, a new plan at the next use
    return nullptr;
  }
  return Empty() ? nullptr : this;
}

void CKRZPlacementPlan::Decide(int nproc, const int* counts, const int* const* rows, int nG) {
  Clear();
  m_Stage = Stage::NoPlan;
  if (!MayServe(nG))
    return;

  // Whether it is scattered, and every number in range (the plain loops report any other).
  // Written without early exits or a carried page, so that the compiler vectorises the scan.
  long long items = 0;
  long long jumps = 0;
  for (int p = 0; p < nproc; ++p) {
    const int* row = rows[p];
    const int n = counts[p];
    if (n <= 0)
      continue;
    int lo = row[1];
    int hi = row[1];
    int changes = 1;
    for (int i = 2; i <= n; ++i) {
      lo = std::min(lo, row[i]);
      hi = std::max(hi, row[i]);
      changes += (row[i] >> kPageShift) != (row[i - 1] >> kPageShift);
    }
    if (lo < 0 || hi > nG)
      return;
    jumps += changes;
    items += n;
  }
  if (items == 0 || items > INT_MAX || jumps * kJumpsPerPlan < items)
    return;
  m_Stage = Stage::Decided;
  ++m_nGeneration;
}

void CKRZPlacementPlan::Prepare() {
  if (!m_First.empty())
    return;
  const size_t nproc = m_Counts.size();
  m_First.resize(nproc);
  size_t first = 0;
  for (size_t p = 0; p < nproc; ++p) {
    m_First[p] = first;
    first += static_cast<size_t>(std::max(m_Counts[p], 0));
  }
  m_Copy.resize(first);
  m_Sorted.resize(first);
}

void CKRZPlacementPlan::CompleteOwn() {
  if (m_Stage != Stage::Decided)
    return;
  m_Stage = Stage::OwnSorted;
  Prepare();
  for (size_t p = 0; p < m_Counts.size(); ++p)
    if (m_Counts[p] > 0)
      std::copy(m_Rows[p] + 1, m_Rows[p] + m_Counts[p] + 1,
                m_Copy.begin() + static_cast<long>(m_First[p]));
  if (!m_Counts.empty() && m_Counts[0] > 0)
    m_Own.Build(m_Rows[0], m_Counts[0], m_nNG, m_Sorted.data());
}

void CKRZPlacementPlan::Complete(bool received) {
  if (m_Stage != Stage::Decided && m_Stage != Stage::OwnSorted)
    return;
  CompleteOwn();
  m_Stage = Stage::Sorted;
  for (size_t p = 1; p < m_Counts.size(); ++p) {
    const int n = std::max(m_Counts[p], 0);
    int* sorted = m_Sorted.data() + m_First[p];
    // Numbers received from their rank are used where they are ascending within 0..n_G (so no
    // write can leave the global array); any others are sorted here.
    const bool usable = received && (n == 0 || (sorted[0] >= 0 && sorted[n - 1] <= m_nNG &&
                                                std::is_sorted(sorted, sorted + n)));
    if (!usable)
      CKRZSortedOrder::SortNumbers(m_Rows[p], n, m_nNG, sorted);
  }
}

} // namespace krz::detail
