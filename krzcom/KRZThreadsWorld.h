// CKRZThreadsWorld: the shared state of N ranks that run as threads of one process.
//
// Each rank talks to the world through its own CKRZCom_Threads object. Messages are a
// rendezvous: the receiver copies straight from the sender's buffer, so a message costs one
// copy and Send returns once the copy is done. A broadcast is the same: once every rank has
// arrived, each copies the root's buffer itself (in parallel) and the root returns when all
// copies are done. The world checks what MPI does not:
//  - both sides of a message agree on type code and count;
//  - all ranks of a collective call the same operation with the same root, type and count;
//  - no rank waits for ever: a wait longer than the deadline, or a state where every rank
//    that has not finished waits and none can proceed, aborts the world.
// An aborted world keeps one report (the reason, then what every rank was doing); every
// blocked rank leaves its call by throwing KRZWorldAborted, and so does every later call.
// All members are thread-safe.
#ifndef KRZCOM_KRZTHREADSWORLD_H
#define KRZCOM_KRZTHREADSWORLD_H

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include "krzcom_export.h"

/// Thrown out of a communicator call of a rank whose world was aborted. Carries the report.
class KRZCOM_EXPORT KRZWorldAborted : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
  ~KRZWorldAborted() override;
};

enum class KRZCollective { Broadcast, AllSum, AllMin, Barrier, AllGather };

class KRZCOM_EXPORT CKRZThreadsWorld {
public:
  /// A world of `nproc` ranks (at least 1). The default deadline is generous (120 s).
  explicit CKRZThreadsWorld(int nproc);
  ~CKRZThreadsWorld();
  CKRZThreadsWorld(const CKRZThreadsWorld&) = delete;
  CKRZThreadsWorld& operator=(const CKRZThreadsWorld&) = delete;

  int Size() const;
  /// Longest time one blocking call may wait before the world is aborted.
  void SetDeadline(std::chrono::milliseconds deadline);

  // Entry points of the rank objects; `rank` is the calling rank.
  void Send(int rank, int type, const void* buf, int count, int dest, int tag);
  void Recv(int rank, int type, void* buf, int count, int source, int tag);
  void Collective(int rank, KRZCollective op, int type, const void* in, void* out, int count,
                  int root);
  // Posted operations: queued at once, completed by the rank's next WaitAll. A wait that can
  // never finish (a posted send nobody receives, a receive nobody sends) is reported like any
  // other deadlock, naming what every rank posted and waits for.
  void PostSend(int rank, int type, const void* buf, int count, int dest, int tag);
  void PostRecv(int rank, int type, void* buf, int count, int source, int tag);
  void WaitAll(int rank);

  /// The rank's function returned; a rank waiting for it can then never proceed. A rank that
  /// returns with posted operations it never waited for fails instead.
  void Finish(int rank);
  /// The rank's function failed (threw); aborts the world with `why`.
  void Fail(int rank, const std::string& why);

  bool Aborted() const;
  /// Empty until the world is aborted; then the reason and one line per rank.
  std::string Report() const;

private:
  struct Impl;
  std::unique_ptr<Impl> m_pImpl;
};

#endif
