// What a CCOM_BroadTools holds beyond the members its interface names: the map relation
// (communication/KRZMapRelation.h), the orders of scattered relations and the transfers' scratch
// arrays; and the steps of the relation's life and of the transfers.
//
// The interface's members stay views: Show points m_pNDimension_L, m_pL2GArray and
// m_nIfMapDataCorrect at the relation after every change of it, View points m_pBufferDouble, ...
// at the scratch. Every step takes the object it serves (`t`), so nothing here points back at it.
//
// The step from rank 0 to distributed is the check, CheckMapDataCorrect, the one collective
// set-up. Transfers with the relation distributed add the orders of scattered relations (built
// at the second transfer).
#ifndef KRZ3DCOMTOOLS_KRZRELATION_H
#define KRZ3DCOMTOOLS_KRZRELATION_H

#include <memory>
#include <tuple>
#include <vector>

#include "CCOM_BroadTools.h"
#include "CKRZPostingCom.h"
#include "KRZTypeCodes.h"
#include "base/KRZScratch.h"
#include "communication/KRZMapRelation.h"
#include "communication/KRZPlacementPlan.h"
#include "communication/KRZSortedOrder.h"

struct CCOM_BroadTools::Impl {
  /// `to` becomes a copy of `from`: what `from` owns is duplicated, what it borrows is shared;
  /// scratch arrays and orders are not copied (the copy builds its own when needed).
  static void Copy(CCOM_BroadTools& to, const CCOM_BroadTools& from);
  /// The scratch views (m_pBufferDouble, ...) show no scratch.
  static void NoScratchViews(CCOM_BroadTools& t);

  // The relation's life (CCOM_BroadTools_Relation.cpp).
  bool Initialized(const CCOM_BroadTools& t, const char* operation) const;
  bool ValidateRelation(const CCOM_BroadTools& t) const;
  bool InRange(const CCOM_BroadTools& t, int p, int i, int g, bool& reported,
               const char* consequence) const;
  /// The views show the relation as it is now.
  void Show(CCOM_BroadTools& t) const;
  void ReleaseCounts(CCOM_BroadTools& t);
  void ReleaseTable(CCOM_BroadTools& t);
  void OwnCounts(CCOM_BroadTools& t, int n);
  void OwnTable(CCOM_BroadTools& t);
  void Distributed(CCOM_BroadTools& t);
  void ForgetOrders();

  // The transfers (CCOM_BroadTools_Transfer.cpp).
  int JoinRefusal(CCOM_BroadTools& t);
  int Movable(const CCOM_BroadTools& t, int p, int inTable, const char* operation, int& ok) const;
  bool CountsAsDistributed(const CCOM_BroadTools& t) const;
  template <class T> int RunStart(const CCOM_BroadTools& t, int p, int n) const;
  krz::detail::CKRZPlacementPlan* Plan(CCOM_BroadTools& t);
  int AgreeOnOrder(CCOM_BroadTools& t, krz::detail::CKRZPlacementPlan* plan);
  void BuildOrder(CCOM_BroadTools& t);
  bool SendRows(CCOM_BroadTools& t, krz::detail::CKRZPlacementPlan& plan);
  static bool DebugLines(const CCOM_BroadTools& t);
  template <class T> static T*& View(CCOM_BroadTools& t);
  template <class T> T* Scratch(CCOM_BroadTools& t);
  template <class T> T* Staged(long long n);
  template <class T> T* Block(const krz::detail::CKRZSortedOrder& order);
  /// The gather. With `rows` (rank 0 of a collection, whose relation numbers rank by rank), every
  /// rank's values land in local order in rows[p][1..n_p] instead of a global array; rows[p]
  /// holds n_p+1 elements, element 0 set to 0. The other ranks take part as in any gather.
  template <class T> int Gather(CCOM_BroadTools& t, T* pLocal, T*& pGlobal, T** rows = nullptr);
  template <class T> int Scatter(CCOM_BroadTools& t, T* pGlobal, T*& pLocal);
  /// What a gather or scatter holds between its start (messages posted) and its finish.
  template <class T> struct Transit {
    CKRZPostingCom* post = nullptr; ///< the route: posted, or null (blocking)
    int ok = 1;
    bool debug = false;
    T* local = nullptr;         ///< gather: the values sent (pLocal or zeros); scatter: the target
    T* global = nullptr;        ///< rank 0: the global array written (gather) or read (scatter)
    T** rows = nullptr;         ///< gather into a collection's rows
    std::unique_ptr<T[]> zeros; ///< in the place of a null array of values
    std::unique_ptr<T[]> allocated; ///< for a null argument; the caller's at the finish
    const krz::detail::CKRZPlacementPlan* plan = nullptr;
    std::vector<long long> slots; ///< gather, rank 0: where each rank's message lands
    bool asDistributed = true;
    bool sorted = false;   ///< scatter, other ranks: values arrive in sorted order
    bool ownFirst = false; ///< scatter, rank 0: picked its own items before the others'
    int n0 = 0;            ///< scatter, rank 0: its own items to pick
    int count = 0;         ///< scatter: this rank's count (other ranks), or rank 0's in its table
  };
  template <class T>
  int GatherStart(CCOM_BroadTools& t, T* pLocal, T*& pGlobal, T** rows, Transit<T>& s);
  template <class T> int GatherFinish(CCOM_BroadTools& t, Transit<T>& s, T*& pGlobal);
  template <class T> int SendToRankZero(CCOM_BroadTools& t, Transit<T>& s);
  template <class T> int ReceiveIntoRows(CCOM_BroadTools& t, Transit<T>& s);
  template <class T> void PlaceSorted(CCOM_BroadTools& t, Transit<T>& s, int& ok);
  template <class T> void PlaceRank(CCOM_BroadTools& t, Transit<T>& s, int p, int& ok);
  template <class T> int ScatterStart(CCOM_BroadTools& t, T* pGlobal, T*& pLocal, Transit<T>& s);
  template <class T> int ScatterFinish(CCOM_BroadTools& t, Transit<T>& s, T*& pLocal);
  template <class T> void ReceiveFromRankZero(CCOM_BroadTools& t, T* pLocal, Transit<T>& s);
  template <class T> void SendToRanks(CCOM_BroadTools& t, Transit<T>& s);
  template <class T>
  void PickOut(CCOM_BroadTools& t, int p, int n, int expected, const T* global, T* target);
  template <class T> void PickOwn(CCOM_BroadTools& t, Transit<T>& s);

  // Split transfers (_Begin/_End): the transfer begun and not ended, with what its _End must be
  // given again. Its messages are completed before the object goes.
  struct Split {
    virtual ~Split() = default;
    bool gather = true;
    const void* source = nullptr; ///< gather: pLocal; scatter: pGlobal
    const void* target = nullptr; ///< the target pointer as _Begin left it
    int result = -1;              ///< done at _Begin already (blocking route), or -1
    long long setUps = 0;         ///< the object's set-ups when it began
    CKRZPostingCom* post = nullptr;
  };
  template <class T> struct SplitOf : Split { Transit<T> s; };
  template <class T> int Begin(CCOM_BroadTools& t, bool gather, T* source, T*& target);
  template <class T> int End(CCOM_BroadTools& t, bool gather, T* source, T*& target);
  bool InFlight(const char* name) const;
  std::unique_ptr<Split> m_pSplit;
  long long m_nSetUps = 0; ///< SetInitialize and relation hand-ins so far
  ~Impl();
  /// Through the posting interface, or null for T = bool and communicators without it.
  template <class T> CKRZPostingCom* Posting() const;
  /// Rank 0's posted receives of the other ranks' values (every rank's counts as distributed):
  /// straight into the global array where every rank's items are one run, disjoint from all
  /// others (so no arrival order can change the last writer); otherwise into slots of `posted`
  /// scratch, placed after the wait in rank order. Returns the slots' first elements (0-based
  /// slot p holds element 0 at first[p], rank p's items after it) or -1 for a run received.
  template <class T>
  std::vector<long long> PostGatherReceives(CCOM_BroadTools& t, T* global, bool inPlace);
  template <class T>
  void PlaceWithLines(CCOM_BroadTools& t, int p, int n, const T* source, T* pGlobal);

  krz::detail::CKRZMapRelation m_Relation;
  // Whether the distributed relation was large enough for a placement order (alike on every
  // rank); the generation of the plan whose order this rank holds (rank 0: last sent), 0 for
  // none; rank 0's plan; the other ranks' order of their own items under it.
  bool m_bSortedTransfers = false;
  int m_nOrderGeneration = 0;
  std::unique_ptr<krz::detail::CKRZPlacementPlan> m_pPlan;
  std::unique_ptr<krz::detail::CKRZSortedOrder> m_pOrder;
  // The communicator's posting interface (chosen at SetInitialize), or null: then every transfer
  // makes the six blocking operations a caller's communicator always saw. With it, rank 0 posts
  // every message of a transfer at once, the other ranks hold no rows (the counts suffice), and
  // no transfer ends in a barrier. bool values always take the blocking route.
  CKRZPostingCom* m_pPost = nullptr;
  // bool values as int 1/0 on the wire (n_p+1 of them), kept between messages.
  std::vector<int> m_WireInts;
  // Scratch per element type (every listed type, and bool), behind the views m_pBufferDouble,
  // ...: `data` the largest other rank's array (n_p+1 elements), `staged` this rank's items between
  // local and sorted order (other ranks: n+1 elements, their message), `block` one block of them.
#define KRZ_SCRATCH_OF(e, c, T, text, Name) krz::detail::CKRZScratch<T>,
  std::tuple<KRZ_TYPE_CODE_LIST(KRZ_SCRATCH_OF) krz::detail::CKRZScratch<bool>> m_Scratch;
#undef KRZ_SCRATCH_OF
};

#endif
