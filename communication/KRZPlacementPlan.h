// Rank 0's order for placing every rank's items into the global array (gather) and for picking
// them out of it (scatter) when the relation scatters them over a large global array.
//
// Placing items one by one at random global numbers costs a cache and TLB miss per item once the
// global array outgrows the caches. With a plan, every rank moves its values in order of their
// global numbers (CKRZSortedOrder, built by each rank from its row), and rank 0 writes and reads
// the global array front to back, one rank after the other: the same writes in the same order per
// global element as item by item, so the last writer is the same.
//
// The plan is built at the second transfer with the same counts and rows; each build has a new
// generation number, by which the other ranks know that they must build their order anew. The
// caller may edit its relation in place between transfers, so the relation is compared with the
// plan's copy of it before every use; an edited relation is placed by the plain loops and gets a
// new plan at its next use. Relations that are already in order, small global arrays and global
// numbers outside 0..n_G get no plan: the plain loops serve them as well.
#ifndef KRZ3DCOMTOOLS_KRZPLACEMENTPLAN_H
#define KRZ3DCOMTOOLS_KRZPLACEMENTPLAN_H

#include <cstddef>
#include <vector>

#include "communication/KRZSortedOrder.h"

namespace krz::detail {

class CKRZPlacementPlan {
public:
  /// Whether a relation over n_G global elements may ever get a plan. Below about a million
  /// elements the global array stays within the caches' and the TLB's reach and the plain loops
  /// are as fast.
  static bool MayServe(int nG);

  /// The plan for the relation as it is now (`nproc` rows; counts[p] items in
  /// rows[p][1..counts[p]], numbers in 0..nG), or null where the plain loops are to be used: the
  /// first time these counts and rows are seen (a relation used once never pays for a plan),
  /// after the rows were edited in place (rebuilt at the next use), and for relations that get
  /// no plan. Decided at the second use of the same counts and rows (one scan, and a new
  /// Generation); its orders are sorted by Complete.
  CKRZPlacementPlan* For(int nproc, const int* counts, const int* const* rows, int nG);
  /// Sorts the orders of a plan For decided (nothing for one already complete), from the rows
  /// For was given, which must be unchanged since. Before Own, Sorted and the moves. With
  /// `received`, every other rank's sorted numbers were received into Received(p) (its rank
  /// sorts them while rank 0 sorts its own, CompleteOwn) and are only checked here.
  void Complete(bool received = false);
  /// Rank 0's part of Complete: the copy of the rows and its own order.
  void CompleteOwn();
  /// Where rank p's sorted numbers (counts[p] ints) may be received before Complete(true).
  int* Received(int p) {
    Prepare();
    return m_Sorted.data() + m_First[static_cast<std::size_t>(p)];
  }
  /// Drops the plan and the relation it was for; generations keep counting.
  void Forget();
  /// Numbers the builds of this plan object: 1, 2, ...
  int Generation() const { return m_nGeneration; }
  /// Rank 0's own order.
  const CKRZSortedOrder& Own() const { return m_Own; }
  /// Rank p's global numbers in the order of its items' values on the wire.
  const int* Sorted(int p) const { return m_Sorted.data() + m_First[static_cast<std::size_t>(p)]; }

  /// Gather: rank p's values in[0..n_p-1], in its sorted order, to the global array.
  template <class T> void Place(int p, const T* in, T* global) const {
    const int* g = Sorted(p);
    const int n = m_Counts[static_cast<std::size_t>(p)];
    for (int k = 0; k < n; ++k)
      global[g[k]] = in[k];
  }

  /// Gather of every rank's values at once (in[p][0..n_p-1], each in its rank's sorted order):
  /// the global array is written one cache-sized span of numbers at a time, every rank's items
  /// of the span in rank order, so it streams through memory once instead of once per rank, and
  /// the last writer of an element is the same as rank by rank.
  template <class T> void PlaceAll(const T* const* in, T* global) const {
    BySpans([=](std::size_t p, const int* g, int k) { global[g[k]] = in[p][k]; });
  }

  /// Scatter of every rank's values at once, out of the global array into out[p][0..n_p-1], in
  /// the ranks' sorted orders, one span at a time as PlaceAll.
  template <class T> void PickAll(const T* global, T* const* out) const {
    BySpans([=](std::size_t p, const int* g, int k) { out[p][k] = global[g[k]]; });
  }

  /// Scatter: rank p's values out of the global array into out[0..n_p-1], in its sorted order.
  template <class T> void Pick(int p, const T* global, T* out) const {
    const int* g = Sorted(p);
    const int n = m_Counts[static_cast<std::size_t>(p)];
    for (int k = 0; k < n; ++k)
      out[k] = global[g[k]];
  }

private:
  /// Global numbers per span of PlaceAll: 256 KiB of doubles, within the second-level cache.
  static constexpr long long kSpan = 1 << 15;
  /// move(p, g, k) for every rank p's k-th item (global number g[k]), span by span, ranks in
  /// order inside a span, items in order inside a rank.
  template <class Move> void BySpans(Move move) const {
    const std::size_t nproc = m_Counts.size();
    std::vector<int> at(nproc, 0);
    for (long long end = kSpan;; end += kSpan) {
      bool more = false;
      for (std::size_t p = 0; p < nproc; ++p) {
        const int* g = Sorted(static_cast<int>(p));
        const int n = m_Counts[p];
        int k = at[p];
        for (; k < n && g[k] < end; ++k)
          move(p, g, k);
        at[p] = k;
        more = more || k < n;
      }
      if (!more)
        return;
    }
  }
  bool Empty() const { return m_Stage < Stage::Decided; }
  void Clear();
  void Decide(int nproc, const int* counts, const int* const* rows, int nG);
  /// Sizes the copy and the sorted numbers of a decided plan (once).
  void Prepare();
  bool SameRelation(int nproc, const int* counts, const int* const* rows, int nG) const;
  bool RowsUnchanged(int nproc, const int* counts, const int* const* rows) const;

  // The relation last seen (n_G, counts and row pointers) and how far its plan got: seen once,
  // decided against (no plan), decided for, rank 0's own order sorted, every order sorted.
  enum class Stage { Seen, NoPlan, Decided, OwnSorted, Sorted };
  int m_nNG = -1;
  Stage m_Stage = Stage::Seen;
  int m_nGeneration = 0;
  std::vector<int> m_Counts;
  std::vector<const int*> m_Rows;
  // Per rank p, from m_First[p] on: m_Copy holds its row 1..n_p as the plan was built from it,
  // m_Sorted its numbers in sorted order (n_p each).
  std::vector<std::size_t> m_First;
  std::vector<int> m_Copy;
  std::vector<int> m_Sorted;
  CKRZSortedOrder m_Own;
};

} // namespace krz::detail

#endif
