// Reading the coupled meshes through Gmsh's C++ API (any format Gmsh reads: 2.2 and 4.1, ASCII
// and binary), and finding the interface of the two domains.
#include <gmsh.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <stdexcept>
#include <unordered_map>

#include "KRZCoupleMesh.h"

using namespace krz::apps;

namespace {

// Gmsh element types of the supported volume cells, with their VTK types.
int VtkTypeOf(int gmshType) {
  switch (gmshType) {
  case 4: return kTetra;
  case 5: return kHexahedron;
  case 6: return kWedge;
  case 7: return kPyramid;
  default: return 0;
  }
}

std::string GmshTypeName(int type) {
  std::string name;
  int dim = 0, order = 0, nodes = 0, primary = 0;
  std::vector<double> coords;
  gmsh::model::mesh::getElementProperties(type, name, dim, order, nodes, coords, primary);
  return name;
}

// A face by its sorted node numbers (0 in the slots of a triangle's fourth node).
using FaceKey = std::array<int, 4>;
FaceKey KeyOf(std::vector<int> nodes) {
  std::sort(nodes.begin(), nodes.end());
  FaceKey key{0, 0, 0, 0};
  std::copy(nodes.begin(), nodes.end(), key.begin() + static_cast<long>(4 - nodes.size()));
  return key;
}

struct CellFace {
  FaceKey key; ///< in the numbering the faces are compared in
  int cell;    ///< 1-based
  int side;    ///< which of the cell's faces
  int domain;  ///< 0 or 1
  bool operator<(const CellFace& o) const {
    return key != o.key ? key < o.key : domain != o.domain ? domain < o.domain : cell < o.cell;
  }
};

std::vector<int> FaceNodes(const KRZCoupleDomain& d, int cell, int side) {
  const int* nodes = d.cellNodes.data() + d.cellStart[static_cast<size_t>(cell) - 1];
  std::vector<int> out;
  for (int k : KRZCellFaces(d.cellType[static_cast<size_t>(cell) - 1])[static_cast<size_t>(side)])
    out.push_back(nodes[k]);
  return out;
}

// Every face of every cell of `d`, keyed in the common numbering.
void AppendFaces(const KRZCoupleDomain& d, int domain, std::vector<CellFace>& out) {
  for (int c = 1; c <= d.Cells(); ++c) {
    const auto& faces = KRZCellFaces(d.cellType[static_cast<size_t>(c) - 1]);
    for (size_t s = 0; s < faces.size(); ++s) {
      std::vector<int> nodes = FaceNodes(d, c, static_cast<int>(s));
      for (int& n : nodes)
        n = d.common[static_cast<size_t>(n)];
      out.push_back({KeyOf(nodes), c, static_cast<int>(s), domain});
    }
  }
}

void AddInterfaceFace(KRZCoupleDomain& d, int cell, int side) {
  for (int n : FaceNodes(d, cell, side))
    d.faceNodes.push_back(n);
  d.faceStart.push_back(static_cast<int>(d.faceNodes.size()));
  d.faceOwner.push_back(cell);
}

// Reads the volume cells of the current Gmsh model into `d`: of the physical volume `physical`,
// or of every volume when it is 0. Node numbers are the model's nodes in Gmsh's order.
std::string ReadVolume(int physical, KRZCoupleDomain& d,
                       const std::unordered_map<std::size_t, int>& index) {
  gmsh::vectorpair entities;
  if (physical != 0) {
    std::vector<int> tags;
    gmsh::model::getEntitiesForPhysicalGroup(3, physical, tags);
    for (int t : tags)
      entities.emplace_back(3, t);
  } else {
    gmsh::model::getEntities(entities, 3);
  }
  for (const auto& [dim, tag] : entities) {
    std::vector<int> types;
    std::vector<std::vector<std::size_t>> elementTags, nodeTags;
    gmsh::model::mesh::getElements(types, elementTags, nodeTags, dim, tag);
    for (size_t t = 0; t < types.size(); ++t) {
      const int vtk = VtkTypeOf(types[t]);
      if (vtk == 0)
        return "elements of type " + GmshTypeName(types[t]) +
               " are not supported (tetrahedra, hexahedra, prisms and pyramids are)";
      const size_t perCell = nodeTags[t].size() / elementTags[t].size();
      for (size_t e = 0; e < elementTags[t].size(); ++e) {
        for (size_t k = 0; k < perCell; ++k)
          d.cellNodes.push_back(index.at(nodeTags[t][e * perCell + k]));
        d.cellStart.push_back(static_cast<int>(d.cellNodes.size()));
        d.cellType.push_back(vtk);
      }
    }
  }
  if (d.Cells() == 0)
    return "no volume cells";
  // The same cell twice would hide faces of the interface: refused, with the count.
  std::vector<std::pair<std::vector<int>, int>> sets;
  for (int c = 1; c <= d.Cells(); ++c) {
    std::vector<int> nodes(d.cellNodes.begin() + d.cellStart[static_cast<size_t>(c) - 1],
                           d.cellNodes.begin() + d.cellStart[static_cast<size_t>(c)]);
    std::sort(nodes.begin(), nodes.end());
    sets.emplace_back(std::move(nodes), c);
  }
  std::sort(sets.begin(), sets.end());
  int repeated = 0;
  int first = 0;
  for (size_t k = 1; k < sets.size(); ++k)
    if (sets[k].first == sets[k - 1].first) {
      first = repeated++ == 0 ? sets[k].second : first;
    }
  if (repeated > 0)
    return std::to_string(repeated) +
           " volume cell(s) repeat another cell's nodes (the first: cell " + std::to_string(first) +
           " in reading order); refused";
  return "";
}

// Opens `file` as the current model and numbers its nodes 1..n in `d` (coordinates, common =
// own number).
std::string OpenMesh(const std::string& file, KRZCoupleDomain& d,
                     std::unordered_map<std::size_t, int>& index) {
  try {
    gmsh::clear();
    gmsh::open(file);
  } catch (const std::exception& e) {
    return "cannot read " + file + " as a mesh (" + e.what() + ")";
  } catch (const std::string& e) { // what Gmsh throws for a file it cannot parse
    return "cannot read " + file + " as a mesh (" + e + ")";
  } catch (...) {
    return "cannot read " + file + " as a mesh";
  }
  std::vector<std::size_t> tags;
  std::vector<double> coords, params;
  gmsh::model::mesh::getNodes(tags, coords, params, -1, -1, false, false);
  if (tags.empty())
    return file + " is not a mesh (Gmsh read no nodes from it)";
  for (size_t i = 0; i < coords.size(); ++i)
    if (!std::isfinite(coords[i]))
      return file + ": node " + std::to_string(tags[i / 3]) +
             " has a coordinate that is not a finite number; refused";
  index.clear();
  d.xyz = coords;
  d.common.assign(tags.size() + 1, 0);
  for (size_t i = 0; i < tags.size(); ++i) {
    index[tags[i]] = static_cast<int>(i) + 1;
    d.common[i + 1] = static_cast<int>(i) + 1;
  }
  return "";
}

// The faces of the physical surface named "interface", as node keys in `d`'s own numbering.
std::vector<FaceKey> TaggedInterface(const std::unordered_map<std::size_t, int>& index) {
  std::vector<FaceKey> keys;
  gmsh::vectorpair groups;
  gmsh::model::getPhysicalGroups(groups, 2);
  for (const auto& [dim, tag] : groups) {
    std::string name;
    gmsh::model::getPhysicalName(dim, tag, name);
    if (name != "interface")
      continue;
    std::vector<int> entities;
    gmsh::model::getEntitiesForPhysicalGroup(dim, tag, entities);
    for (int e : entities) {
      std::vector<int> types;
      std::vector<std::vector<std::size_t>> elementTags, nodeTags;
      gmsh::model::mesh::getElements(types, elementTags, nodeTags, 2, e);
      for (size_t t = 0; t < types.size(); ++t) {
        const size_t per = nodeTags[t].size() / std::max<size_t>(elementTags[t].size(), 1);
        for (size_t k = 0; k + per <= nodeTags[t].size(); k += per) {
          std::vector<int> nodes;
          for (size_t j = 0; j < std::min<size_t>(per, 4); ++j)
            nodes.push_back(index.at(nodeTags[t][k + j]));
          keys.push_back(KeyOf(nodes));
        }
      }
    }
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

// The faces of `d` that appear once (boundary faces), or, with `tagged` keys, those among them.
std::vector<CellFace> BoundaryFaces(const KRZCoupleDomain& d, const std::vector<FaceKey>& tagged) {
  std::vector<CellFace> all;
  KRZCoupleDomain own = d; // keyed in d's own numbering
  for (size_t n = 0; n < own.common.size(); ++n)
    own.common[n] = static_cast<int>(n);
  AppendFaces(own, 0, all);
  std::sort(all.begin(), all.end());
  std::vector<CellFace> once;
  for (size_t i = 0; i < all.size(); ++i) {
    const bool single = (i == 0 || all[i - 1].key != all[i].key) &&
                        (i + 1 == all.size() || all[i + 1].key != all[i].key);
    if (single && (tagged.empty() || std::binary_search(tagged.begin(), tagged.end(), all[i].key)))
      once.push_back(all[i]);
  }
  return once;
}

std::vector<int> NodesOf(const KRZCoupleDomain& d, const std::vector<CellFace>& faces) {
  std::vector<int> nodes;
  for (const CellFace& f : faces)
    for (int n : FaceNodes(d, f.cell, f.side))
      nodes.push_back(n);
  std::sort(nodes.begin(), nodes.end());
  nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
  return nodes;
}

double Diagonal(const KRZCoupleDomain& a, const std::vector<int>& na, const KRZCoupleDomain& b,
                const std::vector<int>& nb) {
  double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
  auto add = [&](const KRZCoupleDomain& d, const std::vector<int>& nodes) {
    for (int n : nodes)
      for (int k = 0; k < 3; ++k) {
        const double v = d.xyz[3 * static_cast<size_t>(n - 1) + static_cast<size_t>(k)];
        lo[k] = std::min(lo[k], v);
        hi[k] = std::max(hi[k], v);
      }
  };
  add(a, na);
  add(b, nb);
  double s = 0;
  for (int k = 0; k < 3; ++k)
    s += hi[k] > lo[k] ? (hi[k] - lo[k]) * (hi[k] - lo[k]) : 0;
  return std::sqrt(s);
}

// Two meshes: coinciding boundary nodes get one number, then every candidate face whose nodes
// all coincide is an interface face; tagged faces are interface faces whether or not they do.
std::string TwoMeshes(const std::string& fileA, const std::string& fileB, double tolerance,
                      KRZCoupleDomain& a, KRZCoupleDomain& b, KRZReadFigures& figures) {
  std::unordered_map<std::size_t, int> index;
  std::vector<CellFace> candidates[2];
  bool tagged[2] = {false, false};
  KRZCoupleDomain* d[2] = {&a, &b};
  const std::string files[2] = {fileA, fileB};
  for (int s = 0; s < 2; ++s) {
    std::string error = OpenMesh(files[s], *d[s], index); // its lines name the file
    if (!error.empty())
      return error;
    error = ReadVolume(0, *d[s], index);
    if (!error.empty())
      return files[s] + ": " + error;
    const std::vector<FaceKey> keys = TaggedInterface(index);
    tagged[s] = !keys.empty();
    candidates[s] = BoundaryFaces(*d[s], keys);
  }
  const std::vector<int> na = NodesOf(a, candidates[0]), nb = NodesOf(b, candidates[1]);
  for (size_t n = 1; n < b.common.size(); ++n)
    b.common[n] = a.Nodes() + static_cast<int>(n); // apart from a's unless merged below
  const auto start = std::chrono::steady_clock::now();
  figures.candidateNodes = static_cast<int>(na.size() + nb.size());
  figures.mergedNodes = KRZMergeNodes(a, na, b, nb, tolerance * Diagonal(a, na, b, nb));
  figures.mergeMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  // A candidate face is on the interface when tagged, or when all its nodes found a partner.
  std::vector<char> mergedA(static_cast<size_t>(a.Nodes()) + 1, 0);
  std::vector<char> mergedB(static_cast<size_t>(b.Nodes()) + 1, 0);
  for (int n = 1; n <= b.Nodes(); ++n)
    if (b.common[static_cast<size_t>(n)] <= a.Nodes()) {
      mergedB[static_cast<size_t>(n)] = 1;
      mergedA[static_cast<size_t>(b.common[static_cast<size_t>(n)])] = 1;
    }
  for (int s = 0; s < 2; ++s) {
    const std::vector<char>& merged = s == 0 ? mergedA : mergedB;
    for (const CellFace& f : candidates[s]) {
      bool all = true;
      for (int n : FaceNodes(*d[s], f.cell, f.side))
        all = all && merged[static_cast<size_t>(n)] != 0;
      if (tagged[s] || all)
        AddInterfaceFace(*d[s], f.cell, f.side);
    }
  }
  if (a.Faces() == 0 || b.Faces() == 0)
    return "the two meshes have no interface (no boundary faces whose nodes coincide within "
           "the tolerance, and no physical surface named \"interface\")";
  return "";
}

// One mesh, two physical volumes sharing nodes: the interface is every face of a cell of A that is
// also a face of a cell of B.
std::string OneMesh(const std::string& file, KRZCoupleDomain& a, KRZCoupleDomain& b) {
  std::unordered_map<std::size_t, int> index;
  std::string error = OpenMesh(file, a, index);
  if (!error.empty())
    return error;
  gmsh::vectorpair volumes;
  gmsh::model::getPhysicalGroups(volumes, 3);
  if (volumes.size() != 2)
    return file + " has " + std::to_string(volumes.size()) +
           " physical volumes; one mesh needs two (the domains), or give a second mesh";
  b.xyz = a.xyz;
  b.common = a.common;
  KRZCoupleDomain* d[2] = {&a, &b};
  for (int s = 0; s < 2; ++s) {
    gmsh::model::getPhysicalName(3, volumes[static_cast<size_t>(s)].second, d[s]->name);
    error = ReadVolume(volumes[static_cast<size_t>(s)].second, *d[s], index);
    if (!error.empty())
      return file + ": " + error;
  }
  std::vector<CellFace> faces;
  AppendFaces(a, 0, faces);
  AppendFaces(b, 1, faces);
  std::sort(faces.begin(), faces.end());
  for (size_t i = 0; i + 1 < faces.size(); ++i)
    if (faces[i].key == faces[i + 1].key && faces[i].domain == 0 && faces[i + 1].domain == 1) {
      AddInterfaceFace(a, faces[i].cell, faces[i].side);
      AddInterfaceFace(b, faces[i + 1].cell, faces[i + 1].side);
    }
  if (a.Faces() == 0)
    return file + ": the two physical volumes share no face";
  return "";
}

} // namespace

const std::vector<std::vector<int>>& KRZCellFaces(int vtkType) {
  static const std::vector<std::vector<int>> tetra = {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}, {1, 2, 3}};
  static const std::vector<std::vector<int>> hexahedron = {
      {0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
  static const std::vector<std::vector<int>> wedge = {
      {0, 1, 2}, {3, 4, 5}, {0, 1, 4, 3}, {1, 2, 5, 4}, {2, 0, 3, 5}};
  static const std::vector<std::vector<int>> pyramid = {
      {0, 1, 2, 3}, {0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}};
  switch (vtkType) {
  case kTetra: return tetra;
  case kHexahedron: return hexahedron;
  case kWedge: return wedge;
  default: return pyramid;
  }
}

std::string KRZReadCoupledMeshes(const std::string& meshA, const std::string& meshB,
                                 double tolerance, KRZCoupleDomain& a, KRZCoupleDomain& b,
                                 KRZReadFigures& figures) {
  const auto start = std::chrono::steady_clock::now();
  gmsh::initialize(0, nullptr, false);
  gmsh::option::setNumber("General.Terminal", 0);
  std::string error;
  try {
    a.name = "A";
    b.name = "B";
    error =
        meshB.empty() ? OneMesh(meshA, a, b) : TwoMeshes(meshA, meshB, tolerance, a, b, figures);
  } catch (const std::exception& e) {
    error = e.what();
  } catch (const std::string& e) { // Gmsh's own errors
    error = e;
  } catch (...) {
    error = "the mesh reader failed";
  }
  gmsh::finalize();
  figures.readMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() -
      figures.mergeMs;
  return error;
}
