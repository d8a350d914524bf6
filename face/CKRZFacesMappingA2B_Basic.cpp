#include "face/CKRZFacesMappingA2B_Basic.h"

#include <algorithm>
#include <array>

#include "base/KRZLine.h"
#include "face/CKRZFaceNode_Basic.h"

using namespace krz::detail;

namespace {

constexpr int kMaxFaceNodes = 4;

// The node count of a readable face record, or -1 for a missing record or a count outside 0..4.
int NodeCount(int** table, int face) {
  const int* record = table[face];
  if (record == nullptr || record[0] < 0 || record[0] > kMaxFaceNodes)
    return -1;
  return record[0];
}

void ReportUnreadable(int** table, int nFace, const char* name) {
  if (table == nullptr)
    return;
  for (int f = 1; f <= nFace; ++f) {
    if (NodeCount(table, f) >= 0)
      continue;
    if (table[f] == nullptr)
      CKRZLine() << "Face matching: face " << f << " of table " << name
                 << " has no record; it matches nothing";
    else
      CKRZLine() << "Face matching: face " << f << " of table " << name << " has node count "
                 << table[f][0] << " outside 0 to 4; it matches nothing";
  }
}

// Every slot of face a is found among the slots of face b (both with k nodes).
bool SameNodes(const int* a, const int* b, int k) {
  for (int j = 1; j <= k; ++j) {
    bool found = false;
    for (int t = 1; t <= k && !found; ++t)
      found = b[t] == a[j];
    if (!found)
      return false;
  }
  return true;
}

// Calls visit(node, entry) for every indexable node slot: first all faces of A (+i), then all
// faces of B (-m), each in increasing face and slot order.
template <class Visit>
void ForEachSlot(int nMaxNodeID, int nFaceA, int** ppFaceA, int nFaceB, int** ppFaceB,
                 Visit visit) {
  auto table = [&](int** faces, int nFace, int sign) {
    if (faces == nullptr)
      return;
    for (int f = 1; f <= nFace; ++f) {
      const int k = NodeCount(faces, f);
      for (int j = 1; j <= k; ++j) {
        const int node = faces[f][j];
        if (node >= 1 && node <= nMaxNodeID)
          visit(node, sign * f);
      }
    }
  };
  table(ppFaceA, nFaceA, 1);
  table(ppFaceB, nFaceB, -1);
}

// A face's node set as its sorted nodes, 0 past the count (nodes are at least 1, so sets of
// different sizes differ).
using NodeSet = std::array<int, kMaxFaceNodes>;

// The node set of a face with 1 to 4 distinct nodes, all in 1..nMaxNodeID; false for any other.
bool PlainSet(const int* record, int nMaxNodeID, NodeSet& set) {
  const int k = record == nullptr ? -1 : record[0];
  if (k < 1 || k > kMaxFaceNodes)
    return false;
  set = NodeSet{};
  for (int j = 1; j <= k; ++j) {
    if (record[j] < 1 || record[j] > nMaxNodeID)
      return false;
    set[static_cast<size_t>(j - 1)] = record[j];
  }
  std::sort(set.begin(), set.begin() + k);
  return std::adjacent_find(set.begin(), set.begin() + k) == set.begin() + k;
}

// The common case joined by smallest node. When every face of both tables is plain (PlainSet)
// and no two faces of B share a node set, the scan pairs exactly the faces with equal node sets:
// for plain faces of one count the slot test is set equality; at the smallest node of a set the A
// face and its one B face are both listed, and the B face is still open (only an A face with the
// same set could have taken it, and such a face takes no other); at later nodes nothing else
// passes. Two A faces with one set would both want that B face: the join stops there. Returns
// false, with both maps zero again, when the tables are not of that kind (the scan then decides).
bool MatchPlainSets(int nMaxNodeID, int nFaceA, int** ppFaceA, int nFaceB, int** ppFaceB, int* a2b,
                    int* b2a) {
  if (ppFaceA == nullptr || ppFaceB == nullptr)
    return false;
  // B's sets sorted by their smallest node in two cache-sized steps: placed by the node's high
  // bits (at most 1024 groups), then each group by the low bits; node n's sets are then
  // byNode[first[n]..first[n+1]).
  struct Plain {
    NodeSet set;
    int face;
    bool taken; ///< by an A face (kept here, beside the set, rather than looked up in b2a)
  };
  int shift = 0;
  while ((nMaxNodeID >> shift) >= 1024)
    ++shift;
  const size_t groups = (static_cast<size_t>(nMaxNodeID) >> shift) + 1;
  std::vector<int> start(groups + 1, 0);
  NodeSet set;
  for (int m = 1; m <= nFaceB; ++m) {
    if (!PlainSet(ppFaceB[m], nMaxNodeID, set))
      return false;
    ++start[static_cast<size_t>(set[0] >> shift) + 1];
  }
  for (size_t g = 1; g <= groups; ++g)
    start[g] += start[g - 1];
  std::vector<Plain> byNode(static_cast<size_t>(nFaceB));
  {
    std::vector<int> next(start.begin(), start.end() - 1);
    for (int m = 1; m <= nFaceB; ++m) {
      PlainSet(ppFaceB[m], nMaxNodeID, set);
      byNode[static_cast<size_t>(next[static_cast<size_t>(set[0] >> shift)]++)] = {set, m, false};
    }
  }
  std::vector<int> first(static_cast<size_t>(nMaxNodeID) + 2, nFaceB);
  const int low = 1 << shift;
  std::vector<int> at(static_cast<size_t>(low) + 1);
  std::vector<Plain> group;
  for (size_t g = 0; g < groups; ++g) {
    const auto from = byNode.begin() + start[g], to = byNode.begin() + start[g + 1];
    std::fill(at.begin(), at.end(), 0);
    for (auto b = from; b != to; ++b)
      ++at[static_cast<size_t>(b->set[0] & (low - 1)) + 1];
    for (int j = 0; j < low; ++j) {
      at[static_cast<size_t>(j) + 1] += at[static_cast<size_t>(j)];
      const size_t node = (g << shift) + static_cast<size_t>(j);
      if (node <= static_cast<size_t>(nMaxNodeID))
        first[node] = start[g] + at[static_cast<size_t>(j)];
    }
    group.assign(from, to);
    for (const Plain& b : group)
      from[at[static_cast<size_t>(b.set[0] & (low - 1))]++] = b;
  }
  for (size_t n = 1; n + 1 < first.size(); ++n) // one set for two B faces: same smallest node
    for (int x = first[n]; x < first[n + 1]; ++x)
      for (int y = x + 1; y < first[n + 1]; ++y)
        if (byNode[static_cast<size_t>(x)].set == byNode[static_cast<size_t>(y)].set)
          return false;
  bool plain = true;
  for (int i = 1; i <= nFaceA && plain; ++i) {
    plain = PlainSet(ppFaceA[i], nMaxNodeID, set);
    const size_t n = static_cast<size_t>(set[0]);
    for (int x = plain ? first[n] : 0; x < (plain ? first[n + 1] : 0); ++x) {
      Plain& b = byNode[static_cast<size_t>(x)];
      if (b.set != set)
        continue;
      plain = !b.taken; // otherwise an earlier A face has this set too
      b.taken = true;
      b2a[b.face] = i;
      a2b[i] = b.face;
      break;
    }
  }
  if (!plain) {
    std::fill(a2b, a2b + nFaceA + 1, 0);
    std::fill(b2a, b2a + nFaceB + 1, 0);
  }
  return plain;
}

} // namespace

CKRZFacesMappingA2B_Basic::CKRZFacesMappingA2B_Basic(int** ppFaceA, int nFaceA, int** ppFaceB,
                                                     int nFaceB)
    : m_ppFaceA(ppFaceA), m_ppFaceB(ppFaceB), m_nFaceNumberA(std::max(nFaceA, 0)),
      m_nFaceNumberB(std::max(nFaceB, 0)),
      m_nMaxNodeID(GetMaxNodeID(ppFaceA, std::max(nFaceA, 0))) {}

CKRZFacesMappingA2B_Basic::~CKRZFacesMappingA2B_Basic() = default;

int CKRZFacesMappingA2B_Basic::GetMaxNodeID(int** ppFace, int nFace) {
  int largest = 0;
  if (ppFace == nullptr)
    return largest;
  for (int f = 1; f <= nFace; ++f) {
    const int k = NodeCount(ppFace, f);
    for (int j = 1; j <= k; ++j)
      largest = std::max(largest, ppFace[f][j]);
  }
  return largest;
}

void CKRZFacesMappingA2B_Basic::CreateMapping() {
  m_pA2B.assign(static_cast<size_t>(m_nFaceNumberA) + 1, 0);
  m_pB2A.assign(static_cast<size_t>(m_nFaceNumberB) + 1, 0);
  MatchFaces(m_nMaxNodeID, m_nFaceNumberA, m_ppFaceA, m_nFaceNumberB, m_ppFaceB, m_pA2B.data(),
             m_pB2A.data());
}

void CKRZFacesMappingA2B_Basic::MatchFaces(int nMaxNodeID, int nFaceA, int** ppFaceA, int nFaceB,
                                           int** ppFaceB, int* a2b, int* b2a) {
  ReportUnreadable(ppFaceA, nFaceA, "A");
  ReportUnreadable(ppFaceB, nFaceB, "B");
  if (nMaxNodeID <= 0 || MatchPlainSets(nMaxNodeID, nFaceA, ppFaceA, nFaceB, ppFaceB, a2b, b2a))
    return;

  // Per-node lists in one flat array: count, offsets, fill in A-then-B order.
  const size_t nodes = static_cast<size_t>(nMaxNodeID) + 1;
  std::vector<int> offset(nodes + 1, 0);
  std::vector<int> countA(nodes, 0);
  ForEachSlot(nMaxNodeID, nFaceA, ppFaceA, nFaceB, ppFaceB, [&](int node, int entry) {
    ++offset[static_cast<size_t>(node) + 1];
    if (entry > 0)
      ++countA[static_cast<size_t>(node)];
  });
  for (size_t n = 1; n <= nodes; ++n)
    offset[n] += offset[n - 1];
  std::vector<int> entries(static_cast<size_t>(offset[nodes]));
  std::vector<int> next(offset.begin(), offset.end() - 1);
  ForEachSlot(nMaxNodeID, nFaceA, ppFaceA, nFaceB, ppFaceB, [&](int node, int entry) {
    entries[static_cast<size_t>(next[static_cast<size_t>(node)]++)] = entry;
  });

  // At each node only the B faces still unmatched when the node is reached can be taken there,
  // and only by this node's own matches can that change: gather them once per node, with their
  // records, so the A x B tests touch nothing but this small list.
  struct Candidate {
    int face;
    const int* record;
  };
  std::vector<Candidate> open;
  for (size_t n = 1; n < nodes; ++n) {
    const int nA = countA[n];
    if (nA == 0)
      continue;
    const CKRZFaceNode_Basic node(entries.data() + offset[n], offset[n + 1] - offset[n]);
    open.clear();
    for (int b = nA; b < node.Count(); ++b)
      if (b2a[-node[b]] == 0)
        open.push_back({-node[b], ppFaceB[-node[b]]});
    if (open.empty())
      continue;
    for (int a = 0; a < nA; ++a) {
      const int fa = node[a];
      const int* recordA = ppFaceA[fa];
      const int k = recordA[0];
      for (const Candidate& c : open) {
        if (b2a[c.face] != 0 || c.record[0] != k || !SameNodes(recordA, c.record, k))
          continue;
        b2a[c.face] = fa;
        a2b[fa] = c.face;
        break;
      }
    }
  }
}
