// A coupled pair of domains, built one way for everything that drives the A/B exchange end to end:
// the demo, `krz3d couple`, `krz3d bench exchange` and the tests. Two meshes as rank 0 holds them
// (read by Gmsh, or generated boxes), each rank's share of a domain in local numbering with its
// face and boundary-face objects, the exchange between the two, the known values the transfers
// move, and the serial computations on the whole meshes that the results are checked against.
#ifndef KRZ_APPS_COUPLING_KRZCOUPLEDPAIR_H
#define KRZ_APPS_COUPLING_KRZCOUPLEDPAIR_H

#include <array>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "CKRZA2BExchange_BoundaryFace.h"
#include "CKRZCom.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"

namespace krz::coupling {

/// VTK cell types of the supported cells.
enum KRZCellType { kTetra = 10, kHexahedron = 12, kWedge = 13, kPyramid = 14 };

/// One domain's mesh as rank 0 holds it: volume cells, node coordinates, and the interface faces
/// with their owner cells. Node numbers are the domain's own (1..Nodes()); `common` gives every
/// node the number both domains agree on, so coinciding nodes of the two interfaces share one.
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

/// Domain A (isB false): a box of nx x n x n hexahedra; domain B: the same box beside it, sharing
/// A's plane x = nx, whose nodes carry A's numbers in `common`. The n x n interface quads are
/// numbered 1 + j + n*k by their position (j, k) on the plane, each owned by its box's layer at
/// the plane; B turns its faces the other way round.
KRZCoupleDomain KRZBoxMesh(int nx, int n, bool isB);

/// Collective: rank 0's vector (length and values) to every rank.
template <class T> void KRZShareFromRoot(CKRZCom& com, std::vector<T>& v);

/// One domain as this rank holds it. Cells 1..Cells() are its own; cell Cells()+f is the ghost
/// (neighbour) cell of local interface face f. Local interface faces follow the mesh's order on
/// domain A and the reverse order on B, so the two domains number their shared faces differently.
/// With one rank, local node numbers are the common ones (there is no node table to convert them).
struct KRZPairSide {
  const KRZCoupleDomain* mesh = nullptr; ///< borrowed, alike on every rank
  bool isB = false;
  std::vector<int> part;      ///< rank of every mesh cell c at c-1, alike on every rank
  std::vector<int> cells{0};  ///< local cell -> mesh cell
  std::vector<int> nodes{0};  ///< local node -> common node number
  std::vector<int> localNode; ///< mesh node -> local node (0: not here)
  std::vector<int> faces{0};  ///< local face -> mesh face
  std::vector<std::array<int, 5>> records{{0, 0, 0, 0, 0}}; ///< local faces as Face20 records
  std::vector<int*> table;                                  ///< rows of `records`, entry 0 null
  std::vector<int> owner{0}, neighbor{0};                   ///< cells of each local face
  CKRZL2GBroadTools_Face face;
  CKRZL2GBroadTools_BoundaryFace boundary;

  KRZPairSide() = default;
  KRZPairSide(const KRZPairSide&) = delete; // the table and the objects point into this side
  KRZPairSide& operator=(const KRZPairSide&) = delete;

  int Cells() const { return static_cast<int>(cells.size()) - 1; }
  int Faces() const { return static_cast<int>(faces.size()) - 1; }
  int CellArraySize() const { return Cells() + Faces() + 1; }
  int OwnerOf(int meshFace) const { return mesh->faceOwner[static_cast<size_t>(meshFace) - 1]; }
  int RankOf(int meshFace) const { return part[static_cast<size_t>(OwnerOf(meshFace)) - 1]; }
  /// The interface faces (mesh numbers) of rank p in its local order.
  std::vector<int> FacesOf(int p) const;
  /// This rank's local numbering of its cells, nodes and interface faces.
  void Number(int myid, int nproc);
  /// Collective: the node numbering collected on rank 0, the face object over the local
  /// interface faces and the boundary-face object over their owner and ghost cells.
  void SetUp(CKRZCom& com, int myid, int nproc);
};

/// Ties the exchange to both sides' objects (borrowed) and pairs the faces on rank 0.
void KRZPairDomains(CKRZA2BExchange_BoundaryFace& exchange, KRZPairSide& a, KRZPairSide& b);

/// Serial pairing: for every face of `from`, the face of `to` with the same common node set, or 0.
std::vector<int> KRZPartners(const KRZCoupleDomain& from, const KRZCoupleDomain& to);

/// Counts wrong values on this rank and prints the first one.
struct KRZChecker {
  int myid;
  int wrong = 0;
  template <class T> void Expect(T got, T expected, const std::string& what) {
    if (got == expected)
      return;
    if (wrong++ == 0) {
      std::ostringstream line;
      line << "rank " << myid << ": " << what << ": got " << got << ", expected " << expected;
      std::cout << line.str() << std::endl;
    }
  }
};

/// Collective: every face learns its partner's global face number (0: unpaired) through the
/// face-to-face transfers, checked against the serial pairing. `globalNumber[s]` and
/// `partnerNumber[s]` (entries 1..Faces() of side s) are filled; returns this rank's wrong count.
int KRZCheckPairing(CKRZA2BExchange_BoundaryFace& exchange, KRZPairSide* side[2],
                    const std::vector<int> partner[2], int myid, int nproc,
                    std::vector<int> globalNumber[2], std::vector<int> partnerNumber[2]);

/// What a transfer reads: owner cells, ghost (neighbour) cells or faces.
enum KRZValueKind { kOwner = 0, kGhost = 1, kFace = 2 };

/// One one-way A/B transfer: where it reads and writes, and its member for each element type.
struct KRZTransferKind {
  const char* name;
  bool fromB;
  KRZValueKind source;
  bool toFace;
  void (CKRZA2BExchange_BoundaryFace::*asDouble)(double*, double*);
  void (CKRZA2BExchange_BoundaryFace::*asInt)(int*, int*);

  template <class T> void Run(CKRZA2BExchange_BoundaryFace& exchange, T* in, T* out) const {
    if constexpr (std::is_same_v<T, double>)
      (exchange.*asDouble)(in, out);
    else
      (exchange.*asInt)(in, out);
  }
};

/// The ten one-way transfers, in the exchange's order (the two-way exchange is run on its own).
const KRZTransferKind* KRZTransferKindsBegin();
const KRZTransferKind* KRZTransferKindsEnd();

/// Wraps the transfer alone (the caller times it, between barriers); empty: just runs it.
using KRZTimed = std::function<void(const std::function<void()>&)>;

/// Runs one transfer (T double or int) on known values (owner cells carry their mesh cell
/// number, ghosts and faces their mesh face number, coded by domain and kind) and counts the
/// values it left wrong on this rank: a paired target holds its partner's value, an unpaired one
/// 0, and no other cell changes.
template <class T>
int KRZCheckTransfer(CKRZA2BExchange_BoundaryFace& exchange, const KRZTransferKind& kind,
                     KRZPairSide& a, KRZPairSide& b, const std::vector<int> partner[2], int myid,
                     const KRZTimed& timed = {});
/// The same for the two-way owner-to-ghost exchange.
template <class T>
int KRZCheckExchangeAB(CKRZA2BExchange_BoundaryFace& exchange, KRZPairSide& a, KRZPairSide& b,
                       const std::vector<int> partner[2], int myid, const KRZTimed& timed = {});

/// The toy conjugate problem's start: A's cells 1 + (c % 97) / 100, B's (c % 89) / 100 by mesh
/// cell c; an array of CellArraySize() values (ghosts 0).
std::vector<double> KRZInitialCells(const KRZPairSide& side);
/// One step of it on one side after the exchange: every interface cell relaxes half-way to its
/// ghost, face by face in local order.
void KRZRelax(const KRZPairSide& side, std::vector<double>& cells);
/// Counts this rank's cells whose values `t[s]` (side s, after `steps` steps) differ from the
/// same steps run serially on the whole meshes (ghosts take their partners' owner values, 0 when
/// unpaired; every rank's faces relax in its local order).
int KRZCheckCoupling(KRZPairSide* const side[2], const std::vector<double> t[2],
                     const std::vector<int> partner[2], int myid, int nproc, int steps);

/// Collective: how many ranks hold interface faces of A and of B.
void KRZRanksWithFaces(CKRZCom& com, const KRZPairSide& a, const KRZPairSide& b, int ranks[2]);

} // namespace krz::coupling

#endif
