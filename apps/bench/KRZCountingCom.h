// Communicators that count what passes through them: point-to-point messages and their bytes
// each way, and collective calls. CKRZCountingCom offers only the six blocking operations (so
// the library takes the route through rank 0); CKRZCountingPostingCom also forwards the posting
// interface of the communicator it wraps (so the library posts, as on the engine itself).
#ifndef KRZ_APPS_BENCH_KRZCOUNTINGCOM_H
#define KRZ_APPS_BENCH_KRZCOUNTINGCOM_H

#include "CKRZPostingCom.h"
#include "KRZForwardingCom.h"

/// What one rank sent and received since the last Reset.
struct KRZTraffic {
  long long sent = 0, received = 0;           ///< point-to-point messages
  long long bytesSent = 0, bytesReceived = 0; ///< their bytes
  long long collectives = 0;                  ///< broadcasts, reductions, barriers, all-gathers
};

class CKRZCountingCom : public CKRZForwardingCom {
public:
  explicit CKRZCountingCom(CKRZCom& inner) : CKRZForwardingCom(inner) {}
  const KRZTraffic& Traffic() const { return m_Traffic; }
  void Reset() { m_Traffic = KRZTraffic(); }

  int Send(int t, void* b, int c, int d, int tag, int comm) override {
    Sent(t, c);
    return CKRZForwardingCom::Send(t, b, c, d, tag, comm);
  }
  int Recv(int t, void* b, int c, int s, int tag, int comm) override {
    Received(t, c);
    return CKRZForwardingCom::Recv(t, b, c, s, tag, comm);
  }
  int Broadcast(int t, void* b, int c, int root, int comm) override {
    ++m_Traffic.collectives;
    return CKRZForwardingCom::Broadcast(t, b, c, root, comm);
  }
  int AllSum(int t, void* in, void* out, int c, int comm) override {
    ++m_Traffic.collectives;
    return CKRZForwardingCom::AllSum(t, in, out, c, comm);
  }
  int AllMin(int t, void* in, void* out, int c, int comm) override {
    ++m_Traffic.collectives;
    return CKRZForwardingCom::AllMin(t, in, out, c, comm);
  }
  int Barrier(int comm) override {
    ++m_Traffic.collectives;
    return CKRZForwardingCom::Barrier(comm);
  }

protected:
  long long Bytes(int type, int count) const {
    const long long size = type == m_nTypeDouble  ? sizeof(double)
                           : type == m_nTypeFloat ? sizeof(float)
                           : type == m_nTypeInt   ? sizeof(int)
                                                  : sizeof(char);
    return size * count;
  }
  void Sent(int type, int count) {
    ++m_Traffic.sent;
    m_Traffic.bytesSent += Bytes(type, count);
  }
  void Received(int type, int count) {
    ++m_Traffic.received;
    m_Traffic.bytesReceived += Bytes(type, count);
  }
  KRZTraffic m_Traffic;
};

class CKRZCountingPostingCom : public CKRZCountingCom, public CKRZPostingCom {
public:
  CKRZCountingPostingCom(CKRZCom& inner, CKRZPostingCom& post)
      : CKRZCountingCom(inner), m_Post(post) {}
  int PostSend(int type, const void* buf, int count, int dest, int tag) override {
    Sent(type, count);
    return m_Post.PostSend(type, buf, count, dest, tag);
  }
  int PostRecv(int type, void* buf, int count, int source, int tag) override {
    Received(type, count);
    return m_Post.PostRecv(type, buf, count, source, tag);
  }
  int WaitAll() override { return m_Post.WaitAll(); }
  int AllGatherInt(int value, int* all) override {
    ++m_Traffic.collectives;
    return m_Post.AllGatherInt(value, all);
  }

private:
  CKRZPostingCom& m_Post;
};

#endif
