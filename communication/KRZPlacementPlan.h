// Rank 0's order for placing every rank's items into the global array (gather) and for picking
// them out of it (scatter) when the relation scatters them over the whole array.
//
// Placing items one by one at random global numbers costs a cache and TLB miss per item once the
// global array outgrows the caches. The plan groups the items by block of the global array
// (at most 32 blocks of at least 32K elements) and keeps, inside each block, the order of ranks
// and local indices. A transfer then moves the values in two passes that each touch little memory
// at a time: staging (every item's value to its slot in its block's group: one write stream per
// block) and applying (block by block into the global array). For each global element the items
// writing it fall into one block in their original order, so the last writer is the same as item
// by item.
//
// The plan is built at the second transfer with the same counts and rows. The caller may edit its
// relation in place between transfers, so the relation is compared with the plan's own record of
// it (every slot's global number) before every use; an edited relation is placed by the plain
// loops and gets a new plan at its next use. Relations that are already in order, small global
// arrays and global numbers outside 0..n_G get no plan: the plain loops serve them as well.
#ifndef KRZ3DCOMTOOLS_KRZPLACEMENTPLAN_H
#define KRZ3DCOMTOOLS_KRZPLACEMENTPLAN_H

#include <cstddef>
#include <vector>

class CKRZPlacementPlan {
public:
  /// The plan for the relation as it is now (`nproc` rows; counts[p] items in
  /// rows[p][1..counts[p]], numbers in 0..nG), or null where the plain loops are to be used: the
  /// first time these counts and rows are seen (a relation used once never pays for a plan),
  /// after the rows were edited in place (rebuilt at the next use), and for relations that get
  /// no plan. Built at the second use of the same counts and rows.
  const CKRZPlacementPlan* For(int nproc, const int* counts, const int* const* rows, int nG);
  /// Items over all ranks: the length of a staging array.
  long long Items() const { return static_cast<long long>(m_Sorted.size()); }

  /// Gather: rank p's values source[1..n_p] to their slots of `staged`.
  template <class T> void Stage(int p, const T* source, T* staged) const {
    const int* pos = Positions(p);
    const int n = m_Counts[static_cast<std::size_t>(p)];
    for (int i = 1; i <= n; ++i)
      staged[pos[i]] = source[i];
  }

  /// Gather: every staged value to its global element, block by block.
  template <class T> void Apply(const T* staged, T* global) const {
    const int* g = m_Sorted.data();
    const int* from = m_From.data();
    const std::size_t n = m_Sorted.size();
    for (std::size_t k = 0; k < n; ++k)
      global[g[k]] = staged[from[k]];
  }

  /// Scatter: every item's global value into `staged`, block by block.
  template <class T> void Pick(const T* global, T* staged) const {
    const int* g = m_G.data();
    const std::size_t n = m_G.size();
    for (std::size_t k = 0; k < n; ++k)
      staged[k] = global[g[k]];
  }

  /// Scatter: rank p's values from `staged` into target[1..n_p].
  template <class T> void Unstage(int p, const T* staged, T* target) const {
    const int* pos = Positions(p);
    const int n = m_Counts[static_cast<std::size_t>(p)];
    for (int i = 1; i <= n; ++i)
      target[i] = staged[pos[i]];
  }

private:
  const int* Positions(int p) const { return m_Pos.data() + m_First[static_cast<std::size_t>(p)]; }
  bool Empty() const { return m_Sorted.empty(); }
  void Clear();
  void Build(int nproc, const int* counts, const int* const* rows, int nG);
  bool SameRelation(int nproc, const int* counts, const int* const* rows, int nG) const;
  bool RowsUnchanged(int nproc, const int* counts, const int* const* rows) const;

  // The relation last seen: n_G, counts and row pointers; whether the plan was built for it (it
  // may be Empty).
  int m_nNG = -1;
  bool m_bBuilt = false;
  std::vector<int> m_Counts;
  std::vector<const int*> m_Rows;
  // m_Pos[m_First[p] + i]: slot of item i of rank p (i = 1..n_p); m_G[slot]: its global number.
  // Slots are grouped by block, in the order of ranks and local indices inside a block.
  std::vector<std::size_t> m_First;
  std::vector<int> m_Pos;
  std::vector<int> m_G;
  // Inside every block, the slots in order of their global numbers (stable): m_Sorted[r] is the
  // global number of slot m_From[r].
  std::vector<int> m_Sorted;
  std::vector<int> m_From;
};

#endif
