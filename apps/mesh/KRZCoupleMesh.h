// The two domains of `krz3d couple` as rank 0 reads them: volume cells of four kinds, node
// coordinates, and the interface faces of each domain with their owner cells. Node numbers are
// the domain's own (1..nodes); `common` gives every node the number both domains agree on, so
// that coinciding nodes of the two interfaces carry one number.
#ifndef KRZ_APPS_MESH_KRZCOUPLEMESH_H
#define KRZ_APPS_MESH_KRZCOUPLEMESH_H

#include <array>
#include <string>
#include <vector>

/// VTK cell types of the supported cells.
enum KRZCellType { kTetra = 10, kHexahedron = 12, kWedge = 13, kPyramid = 14 };

struct KRZCoupleDomain {
  std::string name;
  std::vector<double> xyz;       ///< 3 per node: node n at 3*(n-1)
  std::vector<int> common{0};    ///< node n -> number shared with the other domain
  std::vector<int> cellStart{0}; ///< cell c's nodes: cellNodes[cellStart[c-1]..cellStart[c])
  std::vector<int> cellNodes;    ///< node numbers (1-based)
  std::vector<int> cellType;     ///< VTK type of cell c at c-1
  std::vector<int> faceStart{0}; ///< interface face f's nodes: faceNodes[faceStart[f-1]..)
  std::vector<int> faceNodes;    ///< node numbers (1-based)
  std::vector<int> faceOwner;    ///< cell (1-based) of face f at f-1

  int Nodes() const { return static_cast<int>(xyz.size() / 3); }
  int Cells() const { return static_cast<int>(cellType.size()); }
  int Faces() const { return static_cast<int>(faceOwner.size()); }
  std::array<double, 3> Centroid(int face) const;
};

/// The faces of a supported cell as lists of positions in its node list (VTK/Gmsh ordering).
const std::vector<std::vector<int>>& KRZCellFaces(int vtkType);

/// What reading took: Gmsh's reading, the node merge (two meshes only) and its result.
struct KRZReadFigures {
  double readMs = 0, mergeMs = 0;
  int candidateNodes = 0, mergedNodes = 0;
};

/// Rank 0: reads one mesh with two physical volumes, or two meshes of one domain each, through
/// Gmsh, and finds the interface (shared faces; with two meshes, boundary faces whose nodes all
/// coincide within `tolerance` times the interface's bounding-box diagonal, or the physical
/// surface named "interface" where a mesh has one). Returns "" or the reason it could not.
std::string KRZReadCoupledMeshes(const std::string& meshA, const std::string& meshB,
                                 double tolerance, KRZCoupleDomain& a, KRZCoupleDomain& b,
                                 KRZReadFigures& figures);

/// Gives coinciding nodes of `candidatesA` and `candidatesB` (node numbers of a and b) one
/// common number: b's node takes a's. A k-d tree over b's candidates, one radius query per node
/// of a. Returns the number of merged nodes.
int KRZMergeNodes(KRZCoupleDomain& a, const std::vector<int>& candidatesA, KRZCoupleDomain& b,
                  const std::vector<int>& candidatesB, double radius);

#endif
