// The demo's two meshes: domain A, a box of C x C x C hexahedra, and domain B, the same box
// beside it (x from C to 2C). They share the plane x = C, whose nodes carry the same global
// numbers in both domains. The C x C interface quads are indexed (j, k).
#ifndef KRZ_APPS_DEMO_KRZDEMOMESH_H
#define KRZ_APPS_DEMO_KRZDEMOMESH_H

#include <array>
#include <vector>

struct KRZDemoBox {
  int C = 0;
  bool isB = false;

  int Cells() const { return C * C * C; }
  int Nodes() const { return (C + 1) * (C + 1) * (C + 1); } // A's count; B's is C * (C+1)^2
  /// Global cell number (1-based) of cell (i, j, k), i, j, k in 0..C-1, in the domain's own box.
  int Cell(int i, int j, int k) const { return 1 + i + C * (j + C * k); }
  /// Global node number of node (i, j, k), i, j, k in 0..C. B's plane i = 0 is A's plane i = C.
  int Node(int i, int j, int k) const;
  /// The eight nodes of a cell (global numbers).
  std::array<int, 8> CellNodes(int cell) const;
  /// The cell that owns interface face (j, k): A's layer i = C-1, B's layer i = 0.
  int InterfaceCell(int j, int k) const { return Cell(isB ? 0 : C - 1, j, k); }
  /// The interface face's four nodes, in the domain's own orientation.
  std::array<int, 4> InterfaceNodes(int j, int k) const;
};

/// The cell of each global cell number's part, 0..nparts-1, from METIS on the cells' face
/// adjacency (seeded, so A and B differ). Entry 0 unused.
std::vector<int> KRZDemoPartition(const KRZDemoBox& box, int nparts, int seed);

#endif
