#ifndef KRZCOM_CKRZCOM_THREADS_H
#define KRZCOM_CKRZCOM_THREADS_H

#include "CKRZCom.h"
#include "CKRZPostingCom.h"
#include "KRZThreadsWorld.h"

/// CKRZCom_Threads: the communicator of one rank of a CKRZThreadsWorld.
///
/// Also a CKRZPostingCom: posted operations are checked like blocking ones.
/// Not copyable between ranks: each rank thread uses its own object, and the world must
/// outlive it. Every call may throw KRZWorldAborted when the world is aborted (a mismatch, a
/// deadlock, a passed deadline or a failed rank); KRZRunRanks catches it.
class KRZCOM_EXPORT CKRZCom_Threads : public CKRZCom, public CKRZPostingCom {
public:
  /// Rank `rank` of `world` (borrowed; it must outlive this communicator). Not collective.
  CKRZCom_Threads(CKRZThreadsWorld& world, int rank);
  ~CKRZCom_Threads() override;

  ///@{
  /// This rank's number and the rank count. Not collective.
  int Rank() const { return m_nRank; }
  int Size() const { return m_pWorld->Size(); }
  ///@}

  int Send(int type, void* buf, int count, int dest, int tag, int comm) override;
  int Recv(int type, void* buf, int count, int source, int tag, int comm) override;
  int Broadcast(int type, void* buf, int count, int root, int comm) override;
  int AllSum(int type, void* in, void* out, int count, int comm) override;
  int AllMin(int type, void* in, void* out, int count, int comm) override;
  int Barrier(int comm) override;

  int PostSend(int type, const void* buf, int count, int dest, int tag) override;
  int PostRecv(int type, void* buf, int count, int source, int tag) override;
  int WaitAll() override;
  int AllGatherInt(int value, int* all) override;

private:
  void CheckHandle(int comm) const;

  CKRZThreadsWorld* m_pWorld;
  int m_nRank;
};

#endif
