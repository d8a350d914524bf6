#ifndef KRZ3DCOMTOOLS_CCOM_BROADTOOLS_COLLECTLOCALARRAYTOMYID0_H
#define KRZ3DCOMTOOLS_CCOM_BROADTOOLS_COLLECTLOCALARRAYTOMYID0_H

#include <cstdint>
#include <memory>

#include "CCOM_BroadTools.h"
#include "KRZ3DCOMTools_export.h"

class CKRZCom;

/// CCOM_BroadTools_CollectLocalArrayToMyid0: brings every rank's local array onto rank 0 without a
/// caller-supplied map.
///
/// Every rank states how many items its array holds; the items are numbered consecutively in rank
/// order (rank 0's first). The numbering and its CCOM_BroadTools are cached and reused while no
/// rank's count changes: a repeated collection then costs one int sum plus the gather.
///
/// Arrays handed in are 1-based and borrowed: nLocal+1 elements, entries 1..nLocal carry values
/// (a rank without items still passes one element). Arrays returned on rank 0 are new[], zero-
/// filled, and belong to the caller: a row table (nproc rows indexed by rank from 0, row p of
/// n_p+1 elements, element 0 zero; release every row, then the row array) or a flat array of
/// GetNumber_Global()+1 elements (element 0 zero, then rank 0's items, rank 1's, ...). Ranks
/// other than 0 receive null.
///
/// With fewer than two ranks both collections return null and communicate nothing. A row table
/// is received straight into the rows returned (every rank's message into its own row), so rank
/// 0 keeps no buffer for it: a repeated collection allocates only the rows it returns. A flat
/// array is gathered straight into the array returned.
class KRZ3DCOMTOOLS_EXPORT CCOM_BroadTools_CollectLocalArrayToMyid0 {
public:
  CCOM_BroadTools_CollectLocalArrayToMyid0();
  ~CCOM_BroadTools_CollectLocalArrayToMyid0();
  ///@{
  /// Deep copies of the counts, the numbering and the transfer object; the communicator is shared.
  CCOM_BroadTools_CollectLocalArrayToMyid0(const CCOM_BroadTools_CollectLocalArrayToMyid0& other);
  CCOM_BroadTools_CollectLocalArrayToMyid0&
  operator=(const CCOM_BroadTools_CollectLocalArrayToMyid0& other);
  ///@}

  /// Stores this rank's number, the rank count and the borrowed communicator. Not collective.
  void SetInitialize(int myid, int nproc, CKRZCom* com);

  ///@{
  /// Collective. Returns the row table on rank 0 (owned by the caller), null elsewhere.
  int** CreateMyid0ArrayFromLocalArray(int nLocal, int* pLocal);
  bool** CreateMyid0ArrayFromLocalArray(int nLocal, bool* pLocal);
  double** CreateMyid0ArrayFromLocalArray(int nLocal, double* pLocal);
  float** CreateMyid0ArrayFromLocalArray(int nLocal, float* pLocal);
  ///@}

  ///@{
  /// Collective. Returns the flat array on rank 0 (owned by the caller), null elsewhere.
  int* CreateMyid0Array1DFromLocalArray(int nLocal, int* pLocal);
  bool* CreateMyid0Array1DFromLocalArray(int nLocal, bool* pLocal);
  double* CreateMyid0Array1DFromLocalArray(int nLocal, double* pLocal);
  float* CreateMyid0Array1DFromLocalArray(int nLocal, float* pLocal);
  ///@}

  /// Item count of rank iProc at the last collection; 0 before the first collection and for
  /// iProc outside 0..nproc-1. Not collective.
  int GetNumber_Local(int iProc);
  /// Items over all ranks at the last collection (0 before). Not collective.
  int GetNumber_Global();

private:
  struct Impl; // the steps behind the collections

  void FreeMemory();
  static void free_imatrix(int**& table, std::int32_t nLast);
  void COM_Broadi(int& value, int root);
  int COM_AllSum(int& value);
  std::unique_ptr<int[]> CreateNumber_Local(int myid, int nproc, int nLocal);
  int** CreateDefault_L2GMapping();
  CCOM_BroadTools* ArrangeMapRelation_Org(int nLocal);

  CKRZCom* m_pCom;
  int m_nMyid;
  int m_nNProc;
  int m_nNumber_Global;
  std::unique_ptr<int[]> m_pNumber_Local; ///< nproc counts, 0-based by rank
  int** m_pL2GMapping; ///< default numbering, rank 0 only; owned: nproc rows of n_p+1 entries
  std::unique_ptr<CCOM_BroadTools> m_pBroadTools;
};

#endif
