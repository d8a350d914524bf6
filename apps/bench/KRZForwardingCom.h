// A communicator that forwards every call to another one; tests derive from it to count calls
// or inject faults.
#ifndef KRZ_APPS_BENCH_KRZFORWARDINGCOM_H
#define KRZ_APPS_BENCH_KRZFORWARDINGCOM_H

#include "CKRZCom.h"

class CKRZForwardingCom : public CKRZCom {
public:
  explicit CKRZForwardingCom(CKRZCom& inner) : m_Inner(inner) {
    m_nCommHandle = inner.m_nCommHandle;
    m_nTypeChar = inner.m_nTypeChar;
    m_nTypeInt = inner.m_nTypeInt;
    m_nTypeFloat = inner.m_nTypeFloat;
    m_nTypeDouble = inner.m_nTypeDouble;
  }
  int Send(int t, void* b, int c, int d, int tag, int comm) override {
    return m_Inner.Send(t, b, c, d, tag, comm);
  }
  int Recv(int t, void* b, int c, int s, int tag, int comm) override {
    return m_Inner.Recv(t, b, c, s, tag, comm);
  }
  int Broadcast(int t, void* b, int c, int root, int comm) override {
    return m_Inner.Broadcast(t, b, c, root, comm);
  }
  int AllSum(int t, void* in, void* out, int c, int comm) override {
    return m_Inner.AllSum(t, in, out, c, comm);
  }
  int AllMin(int t, void* in, void* out, int c, int comm) override {
    return m_Inner.AllMin(t, in, out, c, comm);
  }
  int Barrier(int comm) override { return m_Inner.Barrier(comm); }

private:
  CKRZCom& m_Inner;
};

#endif
