#include "face/CKRZFacesMappingA2B_Basic.h"

#include <algorithm>

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
  if (nMaxNodeID <= 0)
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
