// The placement plan's life (first use, build at the second, comparison at every later one) and
// its build: one pass counts the items of every block and how often the relation jumps between
// pages of the global array, a second assigns the slots, a third sorts every block's slots.
#include "communication/KRZPlacementPlan.h"

#include <algorithm>
#include <climits>

namespace {
// Below about a million elements the global array stays within the caches' and the TLB's reach
// and the plain loops are as fast (measured on the project's machine, doubles, 4 ranks: no gain
// at 1,000,000 and 2,000,000 elements, gathers 0.7 times the plain loop at 4,000,000); a smaller
// last-level cache than this machine's 260 MiB moves the break-even down, hence 2^20.
constexpr int kMinGlobal = 1 << 20;
// A relation whose consecutive items change page (512 elements) less often than once in 16 items
// is in order enough for the plain loops.
constexpr int kPageShift = 9;
constexpr long long kJumpsPerPlan = 16;
// Blocks: at least 32K elements each, at most 32 of them. More blocks mean more write streams
// while staging, larger ones more cache misses while applying; on the project's machine (2 MiB
// L2 per core) 8,000,000 doubles in 31 blocks of 256K measured best (64 and 128 blocks were
// slower).
constexpr int kMinBlockShift = 15;
constexpr int kMaxBlocks = 32;

int BlockShift(int nG) {
  int shift = kMinBlockShift;
  while ((nG >> shift) >= kMaxBlocks)
    ++shift;
  return shift;
}
} // namespace

void CKRZPlacementPlan::Clear() {
  m_bBuilt = false;
  m_First.clear();
  for (std::vector<int>* v : {&m_Pos, &m_G, &m_Sorted, &m_From}) {
    v->clear();
    v->shrink_to_fit();
  }
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

// The plan's own record of the relation is m_G through m_Pos: item i of rank p sits at slot
// m_Pos[...i] whose global number is m_G[slot]. Inside a block the slots follow the local order,
// so this reads a few sequential streams rather than a copy of the rows.
bool CKRZPlacementPlan::RowsUnchanged(int nproc, const int* counts, const int* const* rows) const {
  const int* g = m_G.data();
  for (int p = 0; p < nproc; ++p) {
    const int* row = rows[p];
    const int* pos = Positions(p);
    int differ = 0;
    for (int i = 1; i <= counts[p]; ++i)
      differ |= row[i] ^ g[pos[i]];
    if (differ != 0)
      return false;
  }
  return true;
}

const CKRZPlacementPlan* CKRZPlacementPlan::For(int nproc, const int* counts,
                                                const int* const* rows, int nG) {
  if (!SameRelation(nproc, counts, rows, nG)) {
    // First use of this relation: remembered only, the plain loops serve.
    Clear();
    m_nNG = nG;
    m_Counts.assign(counts, counts + nproc);
    m_Rows.assign(rows, rows + nproc);
    return nullptr;
  }
  if (!m_bBuilt) {
    Build(nproc, counts, rows, nG);
  } else if (!Empty() && !RowsUnchanged(nproc, counts, rows)) {
    Clear(); // edited in place: plain loops now, a new plan at the next use
    return nullptr;
  }
  return Empty() ? nullptr : this;
}

void CKRZPlacementPlan::Build(int nproc, const int* counts, const int* const* rows, int nG) {
  Clear();
  m_bBuilt = true;
  if (nG < kMinGlobal)
    return;

  // Pass 1: items per block, page jumps, and the range of every number.
  const int shift = BlockShift(nG);
  const size_t blocks = (static_cast<size_t>(nG) >> shift) + 1;
  std::vector<int> start(blocks + 1, 0);
  long long items = 0;
  long long jumps = 0;
  for (int p = 0; p < nproc; ++p) {
    const int* row = rows[p];
    int page = -1;
    for (int i = 1; i <= counts[p]; ++i) {
      const int g = row[i];
      if (g < 0 || g > nG)
        return; // the plain loops report it
      ++start[(static_cast<size_t>(g) >> shift) + 1];
      jumps += (g >> kPageShift) != page;
      page = g >> kPageShift;
    }
    items += counts[p] > 0 ? counts[p] : 0;
  }
  if (items > INT_MAX || jumps * kJumpsPerPlan < items)
    return;
  for (size_t b = 0; b < blocks; ++b)
    start[b + 1] += start[b];

  // Pass 2: slots in block order, ranks and local indices in order inside a block.
  m_First.resize(static_cast<size_t>(nproc));
  size_t first = 0;
  for (int p = 0; p < nproc; ++p) {
    m_First[static_cast<size_t>(p)] = first;
    first += static_cast<size_t>(counts[p] > 0 ? counts[p] : 0) + 1;
  }
  m_Pos.assign(first, 0);
  m_G.resize(static_cast<size_t>(items));
  for (int p = 0; p < nproc; ++p) {
    const int* row = rows[p];
    int* pos = m_Pos.data() + m_First[static_cast<size_t>(p)];
    for (int i = 1; i <= counts[p]; ++i) {
      const int k = start[static_cast<size_t>(row[i]) >> shift]++;
      pos[i] = k;
      m_G[static_cast<size_t>(k)] = row[i];
    }
  }

  // Pass 3: inside every block, the slots in order of their global numbers (stable, a counting
  // sort over the block's span), so applying writes the global array in order.
  m_Sorted.resize(static_cast<size_t>(items));
  m_From.resize(static_cast<size_t>(items));
  std::vector<int> at(static_cast<size_t>(1) << shift);
  int begin = 0;
  for (size_t b = 0; b < blocks; ++b) {
    const int end = start[b];
    const int base = static_cast<int>(b << shift);
    std::fill(at.begin(), at.end(), 0);
    for (int k = begin; k < end; ++k)
      ++at[static_cast<size_t>(m_G[static_cast<size_t>(k)] - base)];
    int sum = begin;
    for (int& a : at) {
      const int c = a;
      a = sum;
      sum += c;
    }
    for (int k = begin; k < end; ++k) {
      const int g = m_G[static_cast<size_t>(k)];
      const int r = at[static_cast<size_t>(g - base)]++;
      m_Sorted[static_cast<size_t>(r)] = g;
      m_From[static_cast<size_t>(r)] = k;
    }
    begin = end;
  }
}
