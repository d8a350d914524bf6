#ifndef KRZ3DCOMTOOLS_CKRZA2BEXCHANGE_BOUNDARYFACE_H
#define KRZ3DCOMTOOLS_CKRZA2BEXCHANGE_BOUNDARYFACE_H

#include <memory>
#include <vector>

#include "KRZ3DCOMTools_export.h"

class CKRZL2GBroadTools_Face;
class CKRZL2GBroadTools_BoundaryFace;

/// CKRZA2BExchange_BoundaryFace: couples two domains, A and B, across a shared boundary.
///
/// Borrows each domain's face object and boundary-face object (they must outlive this object).
/// On rank 0 it holds the relation that pairs every global boundary face of A with the global
/// boundary face of B that has the same node set (0: no partner), handed in or found by face
/// matching, and one work array of global face values per domain and element type.
///
/// Every transfer is collective. Through a communicator with only CKRZCom's six operations it runs
/// three steps: gather the source values into the source domain's global face array on rank 0,
/// pull them into the target numbering through the relation, scatter them into the target array.
/// Through one that also offers CKRZPostingCom (both engines of this project) the values go rank
/// to rank instead: rank 0 composes, once per relation (again after a face object is set up
/// anew or a new relation is set), which local values of each rank go to which rank and land on
/// which local face, and hands every rank only its own lists; each transfer then costs one
/// broadcast of an int plus the posted messages, rank 0 moving only its own share. The results
/// are the same, bit for bit (the last writer where local faces share a global face, 0 for an
/// unpaired face); relations the direct route does not serve (a local face without a global face
/// in 1..n, a global face without a local one) keep the three steps. Arrays: cell arrays are
/// indexed by the cell ids of the domain's boundary-face object; face arrays by the domain's local
/// faces (local count + 1 entries). The first array is read, the second written (the two-way
/// exchange reads and writes both); both belong to the caller.
///
/// A target face without partner receives 0. Without a relation on rank 0 every target face is
/// taken as unpaired (with one line), and so is every face once a face object has been set up
/// again since the relation was made (one line; SetA2BRelation makes it anew). A rank without
/// the two face objects cannot take part (it says so and moves nothing); a rank without a
/// boundary-face object still takes part in the face transfers, with zeros, and writes no cell
/// (one line).
class KRZ3DCOMTOOLS_EXPORT CKRZA2BExchange_BoundaryFace {
public:
  CKRZA2BExchange_BoundaryFace();
  ~CKRZA2BExchange_BoundaryFace();
  ///@{
  /// Copies the relation and share the borrowed objects; work arrays are the copy's own.
  CKRZA2BExchange_BoundaryFace(const CKRZA2BExchange_BoundaryFace& other);
  CKRZA2BExchange_BoundaryFace& operator=(const CKRZA2BExchange_BoundaryFace& other);
  ///@}

  /// Stores (borrows) the two face objects. Not collective.
  void SetL2G_Face(CKRZL2GBroadTools_Face* pFaceA, CKRZL2GBroadTools_Face* pFaceB);
  /// Stores (borrows) the two boundary-face objects. Not collective.
  void SetL2G_BoundaryFace(CKRZL2GBroadTools_BoundaryFace* pBoundaryFaceA,
                           CKRZL2GBroadTools_BoundaryFace* pBoundaryFaceB);
  /// Rank 0 (other ranks return at once); no communication. With both arrays (borrowed, only
  /// read): pA2B[1..nA] the B face of each global A face and pB2A[1..nB] the A face of each B
  /// face, 0 for none, entries outside 0..n of the other domain refused with a line (no relation
  /// is kept then). With either array null the relation is found by matching the node sets of
  /// the two face objects' global face tables. Replaces an earlier relation.
  void SetA2BRelation(int* pA2B, int* pB2A);

  ///@{
  /// Counts of the boundary-face objects; 0 while they are not set.
  int GetBoundaryFaceNumber_Global_A();
  int GetBoundaryFaceNumber_Global_B();
  int GetBoundaryFaceNumber_Local_A();
  int GetBoundaryFaceNumber_Local_B();
  ///@}

  ///@{
  /// Owner cells of A -> neighbour cells of B (cell arrays of A, then of B).
  void GetBoundaryCellValue_A2B_FromOwner2Neighbor(double* pCellA, double* pCellB);
  void GetBoundaryCellValue_A2B_FromOwner2Neighbor(int* pCellA, int* pCellB);
  ///@}
  ///@{
  /// Owner cells of B -> neighbour cells of A.
  void GetBoundaryCellValue_B2A_FromOwner2Neighbor(double* pCellB, double* pCellA);
  void GetBoundaryCellValue_B2A_FromOwner2Neighbor(int* pCellB, int* pCellA);
  ///@}
  ///@{
  /// A to B, then B to A, both from owner to neighbour cells: the results of the two transfers
  /// called one after the other. On the direct route both directions travel at once where no
  /// cell of B on this rank is both an owner and a neighbour cell (B to A then reads nothing A to
  /// B writes).
  void GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(double* pCellA, double* pCellB);
  void GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor(int* pCellA, int* pCellB);
  ///@}
  ///@{
  /// Local faces of A -> neighbour cells of B.
  void GetBoundaryCellValue_A2B_FromFace2Neighbor(double* pFaceA, double* pCellB);
  void GetBoundaryCellValue_A2B_FromFace2Neighbor(int* pFaceA, int* pCellB);
  ///@}
  ///@{
  /// Local faces of B -> neighbour cells of A.
  void GetBoundaryCellValue_B2A_FromFace2Neighbor(double* pFaceB, double* pCellA);
  void GetBoundaryCellValue_B2A_FromFace2Neighbor(int* pFaceB, int* pCellA);
  ///@}
  ///@{
  /// Owner cells of A -> local faces of B.
  void GetFaceValue_A2B_FromOwner2Face(double* pCellA, double* pFaceB);
  void GetFaceValue_A2B_FromOwner2Face(int* pCellA, int* pFaceB);
  ///@}
  ///@{
  /// Neighbour cells of A -> local faces of B.
  void GetFaceValue_A2B_FromNeighbor2Face(double* pCellA, double* pFaceB);
  void GetFaceValue_A2B_FromNeighbor2Face(int* pCellA, int* pFaceB);
  ///@}
  ///@{
  /// Owner cells of B -> local faces of A.
  void GetFaceValue_B2A_FromOwner2Face(double* pCellB, double* pFaceA);
  void GetFaceValue_B2A_FromOwner2Face(int* pCellB, int* pFaceA);
  ///@}
  ///@{
  /// Neighbour cells of B -> local faces of A.
  void GetFaceValue_B2A_FromNeighbor2Face(double* pCellB, double* pFaceA);
  void GetFaceValue_B2A_FromNeighbor2Face(int* pCellB, int* pFaceA);
  ///@}
  ///@{
  /// Local faces of A -> local faces of B.
  void GetFaceValue_A2B_FromFace2Face(double* pFaceA, double* pFaceB);
  void GetFaceValue_A2B_FromFace2Face(int* pFaceA, int* pFaceB);
  ///@}
  ///@{
  /// Local faces of B -> local faces of A.
  void GetFaceValue_B2A_FromFace2Face(double* pFaceB, double* pFaceA);
  void GetFaceValue_B2A_FromFace2Face(int* pFaceB, int* pFaceA);
  ///@}

  ///@{
  /// Split transfers, for computing while the values travel: name_Begin(pIn, pOut) reads the
  /// source and posts the messages, name_End(pIn, pOut) waits and writes the target; the caller
  /// may compute in between but must not write the source nor read or write the target. Both
  /// halves are collective, take the arrays of the blocking transfer of the same name (same
  /// lengths, index base and ownership) and give exactly its results. One split transfer at a
  /// time per object. Misuse gets one line and writes nothing: an _End without _Begin, a second
  /// _Begin before _End (ignored), an _End of another transfer, type or other arrays (what the
  /// _Begin started is still completed), a face object set up again in between; a copy of the
  /// object has no transfer in flight. On a communicator without the posting interface the
  /// halves run the route through rank 0 (gather and pull, then scatter).
  void GetBoundaryCellValue_A2B_FromOwner2Neighbor_Begin(double* pCellA, double* pCellB);
  void GetBoundaryCellValue_A2B_FromOwner2Neighbor_Begin(int* pCellA, int* pCellB);
  void GetBoundaryCellValue_A2B_FromOwner2Neighbor_End(double* pCellA, double* pCellB);
  void GetBoundaryCellValue_A2B_FromOwner2Neighbor_End(int* pCellA, int* pCellB);
  void GetBoundaryCellValue_B2A_FromOwner2Neighbor_Begin(double* pCellB, double* pCellA);
  void GetBoundaryCellValue_B2A_FromOwner2Neighbor_Begin(int* pCellB, int* pCellA);
  void GetBoundaryCellValue_B2A_FromOwner2Neighbor_End(double* pCellB, double* pCellA);
  void GetBoundaryCellValue_B2A_FromOwner2Neighbor_End(int* pCellB, int* pCellA);
  void GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor_Begin(double* pCellA, double* pCellB);
  void GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor_Begin(int* pCellA, int* pCellB);
  void GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor_End(double* pCellA, double* pCellB);
  void GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor_End(int* pCellA, int* pCellB);
  void GetBoundaryCellValue_A2B_FromFace2Neighbor_Begin(double* pFaceA, double* pCellB);
  void GetBoundaryCellValue_A2B_FromFace2Neighbor_Begin(int* pFaceA, int* pCellB);
  void GetBoundaryCellValue_A2B_FromFace2Neighbor_End(double* pFaceA, double* pCellB);
  void GetBoundaryCellValue_A2B_FromFace2Neighbor_End(int* pFaceA, int* pCellB);
  void GetBoundaryCellValue_B2A_FromFace2Neighbor_Begin(double* pFaceB, double* pCellA);
  void GetBoundaryCellValue_B2A_FromFace2Neighbor_Begin(int* pFaceB, int* pCellA);
  void GetBoundaryCellValue_B2A_FromFace2Neighbor_End(double* pFaceB, double* pCellA);
  void GetBoundaryCellValue_B2A_FromFace2Neighbor_End(int* pFaceB, int* pCellA);
  void GetFaceValue_A2B_FromOwner2Face_Begin(double* pCellA, double* pFaceB);
  void GetFaceValue_A2B_FromOwner2Face_Begin(int* pCellA, int* pFaceB);
  void GetFaceValue_A2B_FromOwner2Face_End(double* pCellA, double* pFaceB);
  void GetFaceValue_A2B_FromOwner2Face_End(int* pCellA, int* pFaceB);
  void GetFaceValue_A2B_FromNeighbor2Face_Begin(double* pCellA, double* pFaceB);
  void GetFaceValue_A2B_FromNeighbor2Face_Begin(int* pCellA, int* pFaceB);
  void GetFaceValue_A2B_FromNeighbor2Face_End(double* pCellA, double* pFaceB);
  void GetFaceValue_A2B_FromNeighbor2Face_End(int* pCellA, int* pFaceB);
  void GetFaceValue_B2A_FromOwner2Face_Begin(double* pCellB, double* pFaceA);
  void GetFaceValue_B2A_FromOwner2Face_Begin(int* pCellB, int* pFaceA);
  void GetFaceValue_B2A_FromOwner2Face_End(double* pCellB, double* pFaceA);
  void GetFaceValue_B2A_FromOwner2Face_End(int* pCellB, int* pFaceA);
  void GetFaceValue_B2A_FromNeighbor2Face_Begin(double* pCellB, double* pFaceA);
  void GetFaceValue_B2A_FromNeighbor2Face_Begin(int* pCellB, int* pFaceA);
  void GetFaceValue_B2A_FromNeighbor2Face_End(double* pCellB, double* pFaceA);
  void GetFaceValue_B2A_FromNeighbor2Face_End(int* pCellB, int* pFaceA);
  void GetFaceValue_A2B_FromFace2Face_Begin(double* pFaceA, double* pFaceB);
  void GetFaceValue_A2B_FromFace2Face_Begin(int* pFaceA, int* pFaceB);
  void GetFaceValue_A2B_FromFace2Face_End(double* pFaceA, double* pFaceB);
  void GetFaceValue_A2B_FromFace2Face_End(int* pFaceA, int* pFaceB);
  void GetFaceValue_B2A_FromFace2Face_Begin(double* pFaceB, double* pFaceA);
  void GetFaceValue_B2A_FromFace2Face_Begin(int* pFaceB, int* pFaceA);
  void GetFaceValue_B2A_FromFace2Face_End(double* pFaceB, double* pFaceA);
  void GetFaceValue_B2A_FromFace2Face_End(int* pFaceB, int* pFaceA);
  ///@}

private:
  struct Impl; // the steps of the transfers and the relation's bookkeeping

  void CreateA2BRelation();

  CKRZL2GBroadTools_BoundaryFace* m_pBoundaryFace_A;
  CKRZL2GBroadTools_BoundaryFace* m_pBoundaryFace_B;
  CKRZL2GBroadTools_Face* m_pFace_A;
  CKRZL2GBroadTools_Face* m_pFace_B;
  std::vector<int> m_pA2BRelation; ///< rank 0: nA+1 entries (empty: no relation)
  std::vector<int> m_pB2ARelation; ///< rank 0: nB+1 entries
  // Rank 0's global face values of each domain (global face count + 1 entries; empty elsewhere).
  std::vector<double> m_pFaceValueDouble_G_A;
  std::vector<double> m_pFaceValueDouble_G_B;
  std::vector<int> m_pFaceValueInt_G_A;
  std::vector<int> m_pFaceValueInt_G_B;
  std::unique_ptr<Impl> m_pImpl;
};

#endif
