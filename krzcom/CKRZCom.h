#ifndef KRZCOM_CKRZCOM_H
#define KRZCOM_CKRZCOM_H

#include "krz3dcomtools_version.h"
#include "krzcom_export.h"

/// CKRZCom: the communicator that every KRZ3DCOMTools class talks through.
///
/// The library never creates, copies or frees a communicator: the caller owns it and hands a
/// pointer to each object through SetInitialize. A solver may bring its own subclass; this
/// project ships two engines, CKRZCom_Threads (ranks as threads of one process) and
/// CKRZCom_MPI (an MPI communicator).
///
/// Contract the library relies on:
///  - m_nCommHandle is passed as the last argument of every operation;
///  - the type codes name the element type of a buffer (bool travels as int 1/0);
///  - every operation is blocking, and every collective (Broadcast, AllSum, AllMin, Barrier)
///    is entered by all ranks in the same order;
///  - Send returns once its buffer may be reused; Recv matches by source and tag, first sent
///    first received. Counts are in elements, not bytes.
/// Results are informational; the library does not read them.
class KRZCOM_EXPORT CKRZCom {
public:
  int m_nCommHandle = 0; ///< group handle passed to every operation
  int m_nTypeChar = 0;   ///< type code of char
  int m_nTypeInt = 0;    ///< type code of int (and of bool, sent as int 1/0)
  int m_nTypeFloat = 0;  ///< type code of float
  int m_nTypeDouble = 0; ///< type code of double

  virtual ~CKRZCom();

  /// Point to point, blocking. `buf` holds `count` elements of `type`; returns once it may be
  /// reused.
  virtual int Send(int type, void* buf, int count, int dest, int tag, int comm) = 0;
  /// Point to point, blocking. On return `buf` holds the `count` elements of the matching Send.
  virtual int Recv(int type, void* buf, int count, int source, int tag, int comm) = 0;
  /// Collective. On return `buf` holds the root's `count` elements on every rank.
  virtual int Broadcast(int type, void* buf, int count, int root, int comm) = 0;
  /// Collective. `out` receives the element-wise sum of `in` over all ranks.
  virtual int AllSum(int type, void* in, void* out, int count, int comm) = 0;
  /// Collective. `out` receives the element-wise minimum of `in` over all ranks.
  virtual int AllMin(int type, void* in, void* out, int count, int comm) = 0;
  /// Collective. Returns once every rank has entered it.
  virtual int Barrier(int comm) = 0;

protected:
  ///@{
  /// For subclasses: a communicator is made and copied as its subclass says.
  CKRZCom() = default;
  CKRZCom(const CKRZCom&) = default;
  CKRZCom& operator=(const CKRZCom&) = default;
  ///@}
};

#endif
