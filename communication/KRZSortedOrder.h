// One rank's items in order of their global numbers (stable: items with the same number keep
// their local order), and the moves between that order and the local one.
//
// A rank whose items scatter over a large global array sends its values to rank 0 in this order
// and receives them back in it, so that rank 0 writes and reads the global array front to back.
// The rank pays for the random access instead, over its own smaller array and in two passes that
// each stay within the caches: staging (every value to its slot among the items of its block of
// global numbers, one write stream per block) and sorting inside every block (reads within one
// block's slots). Ranks do this side by side while rank 0 serves the others.
#ifndef KRZ3DCOMTOOLS_KRZSORTEDORDER_H
#define KRZ3DCOMTOOLS_KRZSORTEDORDER_H

#include <algorithm>
#include <cstddef>
#include <vector>

namespace krz::detail {

class CKRZSortedOrder {
public:
  /// The order of row[1..n] (numbers in 0..nG); `sorted`, when given (n ints), receives the
  /// numbers in that order. It may be row + 1: the row is read in full before it is written.
  void Build(const int* row, int n, int nG, int* sorted = nullptr);
  /// The numbers row[1..n] (in 0..nG) in that order, into sorted[0..n-1], without building it.
  static void SortNumbers(const int* row, int n, int nG, int* sorted);
  void Clear();
  /// Items in the order (n of Build).
  int Count() const { return static_cast<int>(m_From.size()); }

  /// Elements of the largest block of slots: what `block` of Sort and Unsort holds.
  int LargestBlock() const { return m_nLargestBlock; }

  /// local[1..n] into out[0..n-1] in global order: staged into `out`, then every block sorted
  /// in place through `block` (LargestBlock() elements), which stays within the caches.
  template <class T> void Sort(const T* local, T* out, T* block) const {
    Stage(local, out);
    const int* from = m_From.data();
    ForBlocks([=](int begin, int end) {
      std::copy(out + begin, out + end, block);
      for (int k = begin; k < end; ++k)
        out[k] = block[from[k] - begin];
    });
  }

  /// buf[0..n-1], in global order, back into local[1..n]; `buf` is overwritten on the way (every
  /// block unsorted in place through `block`, then unstaged). `buf` and `local` must not overlap.
  template <class T> void Unsort(T* buf, T* block, T* local) const {
    const int* from = m_From.data();
    ForBlocks([=](int begin, int end) {
      std::copy(buf + begin, buf + end, block);
      for (int k = begin; k < end; ++k)
        buf[from[k]] = block[k - begin];
    });
    Unstage(buf, local);
  }

  /// Gather of the rank that holds the global array: local[1..n] to global[sorted[k]], k in order.
  template <class T> void SortInto(const T* local, T* staged, const int* sorted, T* global) const {
    Stage(local, staged);
    const int* from = m_From.data();
    const int n = Count();
    for (int k = 0; k < n; ++k)
      global[sorted[k]] = staged[from[k]];
  }

  /// Scatter of the rank that holds the global array: global[sorted[k]] to local[1..n].
  template <class T> void PickFrom(const T* global, const int* sorted, T* staged, T* local) const {
    const int* from = m_From.data();
    const int n = Count();
    for (int k = 0; k < n; ++k)
      staged[from[k]] = global[sorted[k]];
    Unstage(staged, local);
  }

private:
  template <class Step> void ForBlocks(Step step) const {
    for (std::size_t b = 1; b < m_Blocks.size(); ++b)
      step(m_Blocks[b - 1], m_Blocks[b]);
  }
  template <class T> void Stage(const T* local, T* staged) const {
    const int* pos = m_Pos.data();
    const int n = Count();
    for (int i = 1; i <= n; ++i)
      staged[pos[i]] = local[i];
  }
  template <class T> void Unstage(const T* staged, T* local) const {
    const int* pos = m_Pos.data();
    const int n = Count();
    for (int i = 1; i <= n; ++i)
      local[i] = staged[pos[i]];
  }

  // m_Pos[i] (i = 1..n): slot of local item i; slots are grouped by block of global numbers, in
  // local order inside a block. m_From[k] (k = 0..n-1): the slot of the k-th item in global order.
  std::vector<int> m_Pos;
  std::vector<int> m_From;
  // The slots' blocks: block b holds slots m_Blocks[b]..m_Blocks[b+1]-1, in the local order as in
  // the global one; the largest holds m_nLargestBlock.
  std::vector<int> m_Blocks;
  int m_nLargestBlock = 0;
};

} // namespace krz::detail

#endif
