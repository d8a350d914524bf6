// The map relation behind a CCOM_BroadTools as an object of its own: its counts and rows, each
// either owned here or borrowed from the caller (one bit each says which), what the last check
// distributed, and the runs of a default relation. The interface's members (m_pNDimension_L,
// m_pL2GArray, m_nIfMapDataCorrect) are views of it, refreshed in one place (Impl::Show).
//
// Its states: unset (no counts and no rows), on rank 0 (handed in or built, not yet checked),
// distributed (the check succeeded on every rank of a multi-rank run; the counts every rank
// sends and receives by are fixed until the next distribution). A one-rank relation is checked
// at every call and never distributed.
#ifndef KRZ3DCOMTOOLS_KRZMAPRELATION_H
#define KRZ3DCOMTOOLS_KRZMAPRELATION_H

#include <memory>
#include <vector>

#include "base/KRZRowTable.h"

namespace krz::detail {

class CKRZMapRelation {
public:
  enum class State { Unset, OnRankZero, Distributed };

  CKRZMapRelation() = default;
  /// Owned counts and rows are duplicated, borrowed ones shared; the distribution is kept.
  CKRZMapRelation(const CKRZMapRelation& other);
  CKRZMapRelation(CKRZMapRelation&&) = default; // the owned arrays keep their place
  CKRZMapRelation& operator=(CKRZMapRelation&&) = default;
  CKRZMapRelation& operator=(const CKRZMapRelation&) = delete;

  State Now() const {
    return !m_Distributed.empty()                       ? State::Distributed
           : m_pCounts != nullptr || m_pRows != nullptr ? State::OnRankZero
                                                        : State::Unset;
  }
  int* Counts() const { return m_pCounts; }
  int** Rows() const { return m_pRows; }
  bool OwnsCounts() const { return m_bOwnsCounts; }
  bool OwnsRows() const { return m_bOwnsRows; }

  /// The caller's counts and rows (either may be null); what was owned is released.
  void Borrow(int* counts, int** rows);
  /// n owned counts, zeroed (replacing what was there).
  void OwnCounts(int n);
  /// Owned, zeroed rows 0..nRows-1, row p holding Counts()[p]+1 entries (Counts() set).
  void OwnRows(int nRows);
  void ReleaseCounts();
  /// Also forgets the default relation's runs.
  void ReleaseRows();

  /// The check succeeded: the nproc counts as they are now are what every rank moves by.
  void Distribute(int nproc) { m_Distributed.assign(m_pCounts, m_pCounts + nproc); }
  /// Back on rank 0 (or unset): another rank or rank count.
  void Undistribute() { m_Distributed.clear(); }
  /// The distributed counts (nproc of them), empty before the first distribution.
  const std::vector<int>& Sent() const { return m_Distributed; }
  int Sent(int p) const { return m_Distributed[static_cast<std::size_t>(p)]; }

  /// Rank 0 of a default relation the object built: rank p's items are b_p+1..b_p+n_p.
  void SetRuns(std::vector<int> starts) { m_RunStarts = std::move(starts); }
  /// Whether every row is such a run (a default relation whose rows are still owned).
  bool AllRuns() const { return !m_RunStarts.empty() && m_bOwnsRows; }
  /// b_p for a default relation whose rows are still owned, otherwise -1 (unknown).
  int RunOf(int p) const { return AllRuns() ? m_RunStarts[static_cast<std::size_t>(p)] : -1; }

  /// Rank 0 (or a one-rank run): the relation last handed in was refused (a negative global
  /// dimension, a default relation past the int range). Before distribution the check then fails
  /// on every rank; after it, rank 0 still exchanges the messages the other ranks expect but
  /// moves no item, and the transfer fails. Cleared by the next relation handed in.
  bool refused = false;

private:
  int* m_pCounts = nullptr;
  int** m_pRows = nullptr;
  bool m_bOwnsCounts = false;
  bool m_bOwnsRows = false;
  std::vector<int> m_OwnedCounts;
  std::unique_ptr<CKRZOwnedRows<int>> m_pOwnedRows;
  std::vector<int> m_Distributed;
  std::vector<int> m_RunStarts;
};

} // namespace krz::detail

#endif
