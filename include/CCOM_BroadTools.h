#ifndef KRZ3DCOMTOOLS_CCOM_BROADTOOLS_H
#define KRZ3DCOMTOOLS_CCOM_BROADTOOLS_H

#include <memory>

#include "KRZ3DCOMTools_export.h"

class CKRZCom;
class CCOM_BroadTools;

namespace krz::detail {
/// Internal to the library (the collector's row tables), not for callers: a gather whose rank 0
/// receives rank p's values straight into rows[p][1..n_p] (rows as the relation's counts).
/// Collective; returns what the gather returns.
template <class T> int GatherIntoRows(CCOM_BroadTools& tools, T* pLocal, T** rows);
} // namespace krz::detail

/// CCOM_BroadTools: the map relation between every rank's local numbering and one global
/// numbering, and the transfers through it.
///
/// Numbering: values arrays are 1-based. A local array of rank p holds n_p+1 elements (element 0
/// travels along but belongs to no item); the global array holds n_G+1. Global numbers are 1..n_G;
/// 0 addresses element 0 of the global array ("no global counterpart"). Rank numbers and the count
/// array are 0-based.
///
/// Life: SetInitialize, then the relation (SetMapRelation on rank 0, or
/// SetMapRelation_DefaultRelation on every rank), then queries and transfers. The first
/// GetDimension_Local or transfer of a multi-rank run is collective: it checks the relation on
/// every rank and hands the counts from rank 0 to the others. Later calls use them.
///
/// Two routes, one result. Through a communicator that also offers CKRZPostingCom (both engines
/// of this project) rank 0 posts every message of a transfer at once, the other ranks learn the
/// counts in one all-gather and hold no rows (memory per rank: its own items), and no transfer
/// ends in a barrier. Through a communicator with only CKRZCom's six operations (a caller's own)
/// the library makes the calls it always made: every rank receives a copy of every row, rank 0
/// relays one blocking message after the other, every transfer ends in a barrier. Arrays, return
/// values and lines are the same on both routes; every rank of a run uses the same kind.
///
/// Ownership: the communicator and a relation handed to SetMapRelation are borrowed (the caller
/// keeps and frees them, and they must outlive the object's use of them). Everything the object
/// allocates itself (the default relation, the copies received by ranks other than 0, the scratch
/// arrays, the orders of scattered relations) is owned and released by it. Arrays that a transfer
/// allocates for a null argument belong to the caller (release with delete[]). Copies duplicate
/// what the object owns and share what it borrows; not collective.
///
/// Rank 0 may edit the entries of its relation table in place between transfers (counts and row
/// pointers unchanged): every transfer uses the table as it is at that call.
///
/// Placement order: when the same relation scatters its items over a global array of 2^20
/// elements or more, rank 0 prepares at the second transfer an order in which every rank sends and
/// receives its values (sorted by global number), so that rank 0 writes and reads the global array
/// front to back; it is used from then on (same results as item by item, last writer included).
/// Rank 0 holds 8 bytes per item of all ranks, every rank 8 bytes per own item plus one staged
/// element per own item (and a block of at most 1/32 of them) per element type transferred, for
/// the object's life; the transfer that prepares it costs a few steady transfers (on this
/// project's engines every rank sorts its own items while rank 0 sorts its own). Only relations
/// that were that large when they were distributed get an order (a table rank 0 alone widens past
/// 2^20 later moves item by item until the relation is set anew on every rank), and they cost one
/// broadcast of an int per transfer.
///
/// Failures: nothing is thrown. A relation that rank 0 lacks, or whose counts or global numbers
/// are out of range, makes the check fail on every rank with a line on standard output; the
/// transfers then return 0 on every rank and move nothing. Without SetInitialize (or with myid
/// outside 0..nproc-1) a transfer says so and returns 0; such a rank still takes part in the first
/// check, so that every rank refuses with it instead of waiting. A negative global dimension, and
/// a default relation refused for its size, are refused at every call until a relation is set
/// again (after distribution rank 0 still exchanges the messages, moves no item and returns 0). A
/// null array of values where one is needed (pLocal of a gather, rank 0's pGlobal of a scatter):
/// the rank still takes part, with zeros, says so and returns 0. Messages always carry the counts
/// the check distributed: where rank 0's table no longer holds them (a relation replaced or a count
/// edited after the check), rank 0 names the process and both counts, moves only the items both
/// cover, and returns 0; to change counts, set the relation anew on every rank
/// (SetMapRelation_DefaultRelation, or a new object). A scatter item rank 0 cannot serve (global
/// number out of range) receives 0. A default relation whose counts sum past 2147483647 is refused
/// on every rank.
class KRZ3DCOMTOOLS_EXPORT CCOM_BroadTools {
public:
  CCOM_BroadTools();
  ~CCOM_BroadTools();
  ///@{
  /// Copies: what the object owns is duplicated, what it borrows is shared. Not collective.
  CCOM_BroadTools(const CCOM_BroadTools& other);
  CCOM_BroadTools& operator=(const CCOM_BroadTools& other);
  ///@}

  /// Stores this rank's number (0..nproc-1), the rank count and the borrowed communicator.
  void SetInitialize(int myid, int nproc, CKRZCom* com);

  /// Rank 0 (or a one-rank run): hands in the relation, borrowed, not copied.
  ///  nGlobal        global dimension n_G.
  ///  pNDimension_L  nproc counts, 0-based: n_p of rank p.
  ///  pL2GArray      nproc rows, 0-based; row p holds n_p+1 ints, entries 1..n_p are global
  ///                 numbers in 0..n_G.
  /// Other ranks of a multi-rank run: ignored (they receive rank 0's relation). Not collective.
  /// After the first successful check a new relation reaches rank 0 only.
  void SetMapRelation(int nGlobal, int* pNDimension_L, int** pL2GArray);
  /// Collective. Builds the relation where rank 0's items come first, then rank 1's, and so
  /// on; every rank passes its own count. The next transfer distributes it anew.
  void SetMapRelation_DefaultRelation(int nLocal);

  /// Local dimension of rank p (0..nproc-1; outside that range: 0 and a line). Collective
  /// until the relation has been distributed. In a one-rank run: n_G.
  int GetDimension_Local(int p);
  /// Global dimension n_G as known on this rank (0 on ranks other than 0 until distributed).
  int GetDimension_Global();
  /// Non-zero switches on the debug lines.
  void SetIfOpenDebugMode(int on);

  ///@{
  /// Gather. Collective. pLocal: this rank's n_myid+1 values (borrowed). pGlobal: on rank 0 the
  /// caller's n_G+1 array, or null to have one allocated (then owned by the caller); untouched
  /// elsewhere. Rank 0 writes rank by rank, local item by local item: the last writer wins.
  /// Returns 1 on every rank, or 0 on every rank when the relation check fails.
  int GetGlobalArrayFromLocalArray(double* pLocal, double*& pGlobal);
  int GetGlobalArrayFromLocalArray(float* pLocal, float*& pGlobal);
  int GetGlobalArrayFromLocalArray(int* pLocal, int*& pGlobal);
  int GetGlobalArrayFromLocalArray(bool* pLocal, bool*& pGlobal);
  int GetGlobalArrayFromLocalArray(char* pLocal, char*& pGlobal);
  ///@}

  ///@{
  /// Scatter. Collective. pGlobal: rank 0's n_G+1 values (borrowed; may be null elsewhere).
  /// pLocal: the caller's n_myid+1 array, or null to have one allocated on any rank (then owned
  /// by the caller). Element 0 of pLocal is not written. Returns 1 on every rank, or 0 on every
  /// rank when the relation check fails (pLocal untouched).
  int GetLocalArrayFromGlobalArray(double* pGlobal, double*& pLocal);
  int GetLocalArrayFromGlobalArray(float* pGlobal, float*& pLocal);
  int GetLocalArrayFromGlobalArray(int* pGlobal, int*& pLocal);
  int GetLocalArrayFromGlobalArray(bool* pGlobal, bool*& pLocal);
  int GetLocalArrayFromGlobalArray(char* pGlobal, char*& pLocal);
  ///@}

  ///@{
  /// Split gather and scatter, for computing while the values travel: _Begin(source, target)
  /// reads the source and posts the messages, _End with the same arguments waits and writes the
  /// target (and hands over an array allocated for a null target). Collective, the arguments,
  /// lengths, index base, ownership and results of the transfer of the same name; between the
  /// halves the caller must not write the source nor touch the target, and the arrays (an array
  /// allocated for a null argument included) stay the object's until _End. _Begin returns 1, or
  /// 0 where the transfer is refused (its _End then returns 0 too). Through a communicator
  /// without CKRZPostingCom the whole transfer runs in _Begin. One split transfer at a time per
  /// object, and no whole gather or scatter between its halves; misuse (an _End without _Begin,
  /// a second _Begin, a whole transfer in between, other arguments or type at _End, the object
  /// set up again in between) prints one line, completes what was begun, writes nothing more
  /// and returns 0. A copy has no transfer in flight; destroying the object
  /// completes its messages first (the communicator must still exist).
  int GetGlobalArrayFromLocalArray_Begin(double* pLocal, double*& pGlobal);
  int GetGlobalArrayFromLocalArray_Begin(float* pLocal, float*& pGlobal);
  int GetGlobalArrayFromLocalArray_Begin(int* pLocal, int*& pGlobal);
  int GetGlobalArrayFromLocalArray_Begin(bool* pLocal, bool*& pGlobal);
  int GetGlobalArrayFromLocalArray_Begin(char* pLocal, char*& pGlobal);
  int GetGlobalArrayFromLocalArray_End(double* pLocal, double*& pGlobal);
  int GetGlobalArrayFromLocalArray_End(float* pLocal, float*& pGlobal);
  int GetGlobalArrayFromLocalArray_End(int* pLocal, int*& pGlobal);
  int GetGlobalArrayFromLocalArray_End(bool* pLocal, bool*& pGlobal);
  int GetGlobalArrayFromLocalArray_End(char* pLocal, char*& pGlobal);
  int GetLocalArrayFromGlobalArray_Begin(double* pGlobal, double*& pLocal);
  int GetLocalArrayFromGlobalArray_Begin(float* pGlobal, float*& pLocal);
  int GetLocalArrayFromGlobalArray_Begin(int* pGlobal, int*& pLocal);
  int GetLocalArrayFromGlobalArray_Begin(bool* pGlobal, bool*& pLocal);
  int GetLocalArrayFromGlobalArray_Begin(char* pGlobal, char*& pLocal);
  int GetLocalArrayFromGlobalArray_End(double* pGlobal, double*& pLocal);
  int GetLocalArrayFromGlobalArray_End(float* pGlobal, float*& pLocal);
  int GetLocalArrayFromGlobalArray_End(int* pGlobal, int*& pLocal);
  int GetLocalArrayFromGlobalArray_End(bool* pGlobal, bool*& pLocal);
  int GetLocalArrayFromGlobalArray_End(char* pGlobal, char*& pLocal);
  ///@}

private:
  struct Impl; // everything else the object holds, and the steps behind the operations
  template <class T> friend int krz::detail::GatherIntoRows(CCOM_BroadTools&, T*, T**);

  int CheckMapDataCorrect();
  void COM_Barrier();
  template <class T> void SendArray(int nProc, T* pArray, int n);
  template <class T> void ReceiveArray(int nProc, T* pArray, int n);

  CKRZCom* m_pCom;
  int m_nMyid;
  int m_nNProc;
  int m_nDimension_G;
  int* m_pNDimension_L; ///< nproc counts, 0-based by rank (a one-rank run: 1)
  int** m_pL2GArray;    ///< nproc rows; row p has m_pNDimension_L[p]+1 entries, 1-based
  ///@{
  /// Scratch per element type, owned (null until first used): on rank 0 the largest other rank's
  /// array, elsewhere this rank's sorted message; n_p+1 elements of the largest such n_p.
  double* m_pBufferDouble;
  float* m_pBufferFloat;
  int* m_pBufferInt;
  bool* m_pBufferBool;
  char* m_pBufferChar;
  int m_nIfMapDataCorrect;
  bool m_bIfOwnMap;
  int m_nIfOpenDebugMode;
  std::unique_ptr<Impl> m_pImpl;
  ///@}
};

#endif
