#ifndef KRZCOM_CKRZPOSTINGCOM_H
#define KRZCOM_CKRZPOSTINGCOM_H

#include "krzcom_export.h"

/// CKRZPostingCom: the optional second interface of a communicator that can post many messages
/// at once.
///
/// CKRZCom stays the six blocking operations a solver's own communicator implements. The engines
/// shipped with this library (CKRZCom_Threads, CKRZCom_MPI) also derive from CKRZPostingCom; the
/// library finds it at run time (dynamic_cast from the CKRZCom it was given) and then posts every
/// message of a transfer at once instead of relaying them one blocking call at a time. A
/// communicator without it gets exactly the six operations, in the order the library always made
/// them.
///
/// Contract:
///  - PostSend and PostRecv return at once; the buffers belong to the caller and must stay valid
///    (and a send buffer unchanged) until the next WaitAll of this rank returns.
///  - WaitAll completes every operation this rank posted since its last WaitAll. A receive
///    matches by source and tag, first posted first matched, like MPI; posted and blocking
///    operations of one rank match each other in the order they were issued.
///  - Both sides of a message agree on type code and count; a receive that gets another count
///    (or a message of another size) makes WaitAll fail with a line naming source, tag and both
///    counts. WaitAll returns 0 when every operation completed as posted, non-zero otherwise.
///  - AllGatherInt is collective: `all` (nproc ints, 0-based by rank, owned by the caller)
///    receives every rank's `value`. Returns 0 on success.
/// Every rank of a run talks through communicators of one kind: all with this interface or all
/// without it (the route of a transfer follows it; a mix is a mismatch of the messages).
/// Every rank must call WaitAll before it posts operations of another transfer or returns.
class KRZCOM_EXPORT CKRZPostingCom {
public:
  virtual ~CKRZPostingCom();

  /// Not collective. Posts a send of `count` elements of `type` from `buf` to rank `dest`.
  virtual int PostSend(int type, const void* buf, int count, int dest, int tag) = 0;
  /// Not collective. Posts a receive of `count` elements of `type` into `buf` from `source`.
  virtual int PostRecv(int type, void* buf, int count, int source, int tag) = 0;
  /// Not collective. Completes every operation this rank posted; 0 when all completed as posted.
  virtual int WaitAll() = 0;
  /// Collective. all[p] = the value of rank p, for every rank p.
  virtual int AllGatherInt(int value, int* all) = 0;

protected:
  ///@{
  /// For subclasses: a communicator is made and copied as its subclass says.
  CKRZPostingCom() = default;
  CKRZPostingCom(const CKRZPostingCom&) = default;
  CKRZPostingCom& operator=(const CKRZPostingCom&) = default;
  ///@}
};

#endif
