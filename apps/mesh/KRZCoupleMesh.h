// Reading the two domains of `krz3d couple` on rank 0 (the mesh type is the coupled pair's).
#ifndef KRZ_APPS_MESH_KRZCOUPLEMESH_H
#define KRZ_APPS_MESH_KRZCOUPLEMESH_H

#include <string>
#include <vector>

#include "KRZCoupledPair.h"

namespace krz::apps {
using krz::coupling::kHexahedron;
using krz::coupling::kPyramid;
using krz::coupling::KRZCoupleDomain;
using krz::coupling::kTetra;
using krz::coupling::kWedge;
} // namespace krz::apps

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
                                 double tolerance, krz::apps::KRZCoupleDomain& a,
                                 krz::apps::KRZCoupleDomain& b, KRZReadFigures& figures);

/// Gives coinciding nodes of `candidatesA` and `candidatesB` (node numbers of a and b) one
/// common number: b's node takes a's. A k-d tree over b's candidates, one radius query per node
/// of a. Returns the number of merged nodes.
int KRZMergeNodes(krz::apps::KRZCoupleDomain& a, const std::vector<int>& candidatesA,
                  krz::apps::KRZCoupleDomain& b, const std::vector<int>& candidatesB,
                  double radius);

#endif
