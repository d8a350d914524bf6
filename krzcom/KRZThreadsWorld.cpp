#include "KRZThreadsWorld.h"

#include "KRZTypeCodes.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <sstream>
#include <type_traits>
#include <vector>

using namespace krz::detail;

KRZWorldAborted::~KRZWorldAborted() = default;

namespace {

enum class Op { Send, Recv, Broadcast, AllSum, AllMin, Barrier, AllGather, WaitAll };

struct Call {
  Op op = Op::Barrier;
  int type = 0;
  int count = 0;
  int peer = 0; // dest of a Send, source of a Recv, root of a Broadcast
  int tag = 0;
};

struct Message {
  int source;
  int tag;
  int type;
  int count;
  const void* buf;
  bool done;
  bool copying = false; ///< a posted receive copies it outside the lock
  int dest = -1;        ///< the receiving rank
};

// What a rank posted since its last WaitAll: its sends (queued in the receivers' inboxes until
// received) and its receives (matched by WaitAll, in the order they were posted).
struct PostedRecv {
  int type;
  int count;
  int source;
  int tag;
  void* buf;
  bool matched;
};

struct Posted {
  std::vector<std::unique_ptr<Message>> sends;
  std::vector<PostedRecv> recvs;
  bool Empty() const { return sends.empty() && recvs.empty(); }
};

struct CollectiveCall {
  Call call;
  const void* in;
  void* out;
};

enum class RankStatus { Running, Blocked, Finished, Failed };

struct RankState {
  RankStatus status = RankStatus::Running;
  Call call;
  std::function<bool()> ready;
};

// "Send(dest=1, tag=10000, type=double, count=3)", "Barrier()", ...
std::string Describe(const Call& c) {
  static const char* const opening[] = {
      "Send(dest=", "Recv(source=", "Broadcast(root=", "AllSum(",
      "AllMin(",    "Barrier(",     "AllGather(",      "WaitAll("};
  std::ostringstream s;
  s << opening[static_cast<int>(c.op)];
  if (c.op == Op::Send || c.op == Op::Recv)
    s << c.peer << ", tag=" << c.tag << ", ";
  else if (c.op == Op::Broadcast)
    s << c.peer << ", ";
  if (c.op != Op::Barrier && c.op != Op::WaitAll) {
    const char* type = KRZTypeName(c.type);
    (type != nullptr ? s << "type=" << type : s << "type code " << c.type) << ", count=" << c.count;
  }
  s << ")";
  return s.str();
}

Op ToOp(KRZCollective op) {
  switch (op) {
  case KRZCollective::Broadcast: return Op::Broadcast;
  case KRZCollective::AllSum: return Op::AllSum;
  case KRZCollective::AllMin: return Op::AllMin;
  case KRZCollective::AllGather: return Op::AllGather;
  case KRZCollective::Barrier: break;
  }
  return Op::Barrier;
}

// Sums of integers wrap as two's complement (what MPI gives in practice) instead of overflowing.
template <class T> T Add(T a, T b) {
  if constexpr (std::is_integral_v<T>) {
    using U = std::make_unsigned_t<T>;
    return static_cast<T>(static_cast<U>(static_cast<U>(a) + static_cast<U>(b)));
  } else {
    return a + b;
  }
}

template <class T> void Reduce(Op op, const std::vector<const CollectiveCall*>& calls, int count) {
  std::vector<T> acc(static_cast<const T*>(calls[0]->in),
                     static_cast<const T*>(calls[0]->in) + count);
  for (size_t r = 1; r < calls.size(); ++r) {
    const T* in = static_cast<const T*>(calls[r]->in);
    for (int i = 0; i < count; ++i)
      acc[i] = op == Op::AllSum ? Add(acc[i], in[i]) : std::min(acc[i], in[i]);
  }
  for (const CollectiveCall* c : calls)
    std::copy(acc.begin(), acc.end(), static_cast<T*>(c->out));
}

} // namespace

struct CKRZThreadsWorld::Impl {
  int n;
  std::chrono::milliseconds deadline{std::chrono::seconds(120)};
  mutable std::mutex mu;
  std::condition_variable cv;
  std::vector<std::deque<Message*>> inbox;
  std::vector<RankState> ranks;
  std::vector<Posted> posted;
  std::vector<const CollectiveCall*> collective;
  int arrived = 0;
  unsigned long long generation = 0;
  // The broadcast last completed: every other rank copies from the root's buffer itself, and the
  // root leaves once `copying` is back at 0.
  const void* broadcastFrom = nullptr;
  size_t broadcastBytes = 0;
  int copying = 0;
  bool aborted = false;
  std::string report;

  explicit Impl(int nproc)
      : n(nproc), inbox(static_cast<size_t>(nproc)), ranks(static_cast<size_t>(nproc)),
        posted(static_cast<size_t>(nproc)), collective(static_cast<size_t>(nproc), nullptr) {}

  // All members below are called with `mu` held.

  void Abort(const std::string& reason) {
    if (aborted)
      return;
    aborted = true;
    std::ostringstream s;
    s << reason;
    for (int r = 0; r < n; ++r) {
      const RankState& st = ranks[static_cast<size_t>(r)];
      s << "\n  rank " << r << ": ";
      switch (st.status) {
      case RankStatus::Running: s << "running"; break;
      case RankStatus::Blocked:
        // A rank released by the last event but not yet awake is on its way out of the call.
        s << (st.ready() ? "leaving " : "blocked in ")
          << (st.call.op == Op::WaitAll ? DescribeWait(r) : Describe(st.call));
        break;
      case RankStatus::Finished: s << "finished"; break;
      case RankStatus::Failed: s << "failed"; break;
      }
    }
    report = s.str();
    cv.notify_all();
  }

  // "WaitAll(Recv(source=1, tag=7, type=double, count=3) not yet sent; Send(dest=2, ...) not yet
  // received)": what rank r posted and still waits for.
  std::string DescribeWait(int r) const {
    const Posted& p = posted[static_cast<size_t>(r)];
    std::ostringstream s;
    s << "WaitAll(";
    const char* sep = "";
    for (const PostedRecv& q : p.recvs)
      if (!q.matched) {
        s << sep << Describe(Call{Op::Recv, q.type, q.count, q.source, q.tag}) << " not yet sent";
        sep = "; ";
      }
    for (const std::unique_ptr<Message>& m : p.sends)
      if (!m->done) {
        s << sep << Describe(Call{Op::Send, m->type, m->count, m->dest, m->tag})
          << " not yet received";
        sep = "; ";
      }
    s << ")";
    return s.str();
  }

  // Takes back what `rank` posted and nobody received; waits for copies in progress (they cannot
  // block) so that no other rank reads its buffers once it leaves.
  void Cancel(std::unique_lock<std::mutex>& lock, int rank) {
    Posted& p = posted[static_cast<size_t>(rank)];
    for (std::deque<Message*>& box : inbox)
      box.erase(std::remove_if(box.begin(), box.end(),
                               [rank](const Message* m) { return m->source == rank && !m->done; }),
                box.end());
    cv.wait(lock, [&] {
      return std::none_of(p.sends.begin(), p.sends.end(),
                          [](const std::unique_ptr<Message>& m) { return m->copying; });
    });
    p.sends.clear();
    p.recvs.clear();
  }

  [[noreturn]] void AbortAndThrow(const std::string& reason) {
    Abort(reason);
    throw KRZWorldAborted(report);
  }

  void ThrowIfAborted() const {
    if (aborted)
      throw KRZWorldAborted(report);
  }

  void CheckDeadlock() {
    bool anyBlocked = false;
    for (const RankState& st : ranks) {
      if (st.status == RankStatus::Running)
        return;
      if (st.status == RankStatus::Blocked) {
        if (st.ready())
          return;
        anyBlocked = true;
      }
    }
    if (anyBlocked)
      Abort("deadlock: every rank that has not finished is waiting and none can proceed");
  }

  // Blocks until ready() holds. Throws KRZWorldAborted when the world is (or gets) aborted
  // before that, including by this wait's own deadline.
  void Wait(std::unique_lock<std::mutex>& lock, int rank, const Call& call,
            const std::function<bool()>& ready) {
    if (ready())
      return;
    RankState& st = ranks[static_cast<size_t>(rank)];
    st.status = RankStatus::Blocked;
    st.call = call;
    st.ready = ready;
    CheckDeadlock();
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (!aborted && !ready()) {
      if (cv.wait_until(lock, until) == std::cv_status::timeout && !aborted && !ready()) {
        std::ostringstream s;
        s << "deadline passed: rank " << rank << " waited " << deadline.count() << " ms in "
          << Describe(call);
        Abort(s.str());
      }
    }
    st.status = RankStatus::Running;
    st.ready = nullptr;
    if (!ready())
      throw KRZWorldAborted(report);
  }

  void CheckArguments(int rank, const Call& call, std::initializer_list<const void*> buffers) {
    std::ostringstream s;
    const bool nullBuffer =
        call.count > 0 && std::find(buffers.begin(), buffers.end(), nullptr) != buffers.end();
    if (nullBuffer)
      s << "rank " << rank << " called " << Describe(call) << " with a null buffer";
    else if (KRZTypeSize(call.type) == 0)
      s << "rank " << rank << " called " << Describe(call) << " with an unknown type code";
    else if (call.count < 0)
      s << "rank " << rank << " called " << Describe(call) << " with a negative count";
    else if (call.peer < 0 || call.peer >= n)
      s << "rank " << rank << " called " << Describe(call) << " naming a rank outside 0.." << n - 1;
    else if ((call.op == Op::Send || call.op == Op::Recv) && call.peer == rank)
      s << "rank " << rank << " called " << Describe(call) << " naming itself";
    const std::string error = s.str();
    if (!error.empty())
      AbortAndThrow(error);
  }

  std::deque<Message*>::iterator FindMessage(int rank, int source, int tag) {
    auto& box = inbox[static_cast<size_t>(rank)];
    return std::find_if(box.begin(), box.end(),
                        [&](const Message* m) { return m->source == source && m->tag == tag; });
  }

  void Perform(const Call& call) {
    const size_t bytes = KRZTypeSize(call.type) * static_cast<size_t>(call.count);
    switch (call.op) {
    case Op::Broadcast:
      broadcastFrom = collective[static_cast<size_t>(call.peer)]->in;
      broadcastBytes = bytes;
      copying = 0;
      for (const CollectiveCall* c : collective)
        copying += c->out != broadcastFrom && bytes > 0;
      break;
    case Op::AllGather:
      for (size_t r = 0; r < collective.size(); ++r)
        for (const CollectiveCall* c : collective)
          if (bytes > 0)
            std::memcpy(static_cast<char*>(c->out) + r * bytes, collective[r]->in, bytes);
      break;
    case Op::AllSum:
    case Op::AllMin:
      switch (call.type) { // an unknown code was refused above
#define KRZ_REDUCE(e, c, type, name, Name)                                                         \
  case e: Reduce<type>(call.op, collective, call.count); break;
        KRZ_TYPE_CODE_LIST(KRZ_REDUCE)
#undef KRZ_REDUCE
      default: break;
      }
      break;
    default: break;
    }
  }
};

CKRZThreadsWorld::CKRZThreadsWorld(int nproc) : m_pImpl(new Impl(nproc < 1 ? 1 : nproc)) {}

CKRZThreadsWorld::~CKRZThreadsWorld() = default;

int CKRZThreadsWorld::Size() const { return m_pImpl->n; }

void CKRZThreadsWorld::SetDeadline(std::chrono::milliseconds deadline) {
  // Saturated at a century, so that the moment it ends stays within the clock's range.
  const std::chrono::milliseconds century = std::chrono::hours(24 * 365 * 100);
  std::lock_guard<std::mutex> lock(m_pImpl->mu);
  m_pImpl->deadline = std::max(std::chrono::milliseconds(0), std::min(deadline, century));
}

void CKRZThreadsWorld::Send(int rank, int type, const void* buf, int count, int dest, int tag) {
  Impl& w = *m_pImpl;
  std::unique_lock<std::mutex> lock(w.mu);
  w.ThrowIfAborted();
  const Call call{Op::Send, type, count, dest, tag};
  w.CheckArguments(rank, call, {buf});
  Message message{rank, tag, type, count, buf, false};
  auto& box = w.inbox[static_cast<size_t>(dest)];
  box.push_back(&message);
  w.cv.notify_all();
  try {
    w.Wait(lock, rank, call, [&] { return message.done; });
  } catch (...) {
    // The message lives on this stack frame: take it back (or let a copy in progress end) before
    // leaving.
    box.erase(std::remove(box.begin(), box.end(), &message), box.end());
    w.cv.wait(lock, [&] { return !message.copying; });
    throw;
  }
}

void CKRZThreadsWorld::PostSend(int rank, int type, const void* buf, int count, int dest, int tag) {
  Impl& w = *m_pImpl;
  std::unique_lock<std::mutex> lock(w.mu);
  w.ThrowIfAborted();
  w.CheckArguments(rank, Call{Op::Send, type, count, dest, tag}, {buf});
  Posted& p = w.posted[static_cast<size_t>(rank)];
  p.sends.emplace_back(new Message{rank, tag, type, count, buf, false});
  p.sends.back()->dest = dest;
  w.inbox[static_cast<size_t>(dest)].push_back(p.sends.back().get());
  w.cv.notify_all();
}

void CKRZThreadsWorld::PostRecv(int rank, int type, void* buf, int count, int source, int tag) {
  Impl& w = *m_pImpl;
  std::unique_lock<std::mutex> lock(w.mu);
  w.ThrowIfAborted();
  w.CheckArguments(rank, Call{Op::Recv, type, count, source, tag}, {buf});
  w.posted[static_cast<size_t>(rank)].recvs.push_back(
      PostedRecv{type, count, source, tag, buf, false});
}

void CKRZThreadsWorld::WaitAll(int rank) {
  Impl& w = *m_pImpl;
  std::unique_lock<std::mutex> lock(w.mu);
  w.ThrowIfAborted();
  Posted& p = w.posted[static_cast<size_t>(rank)];
  auto& box = w.inbox[static_cast<size_t>(rank)];
  auto matchable = [&] {
    return std::any_of(p.recvs.begin(), p.recvs.end(), [&](const PostedRecv& q) {
      return !q.matched && w.FindMessage(rank, q.source, q.tag) != box.end();
    });
  };
  auto complete = [&] {
    return std::all_of(p.recvs.begin(), p.recvs.end(),
                       [](const PostedRecv& q) { return q.matched; }) &&
           std::all_of(p.sends.begin(), p.sends.end(),
                       [](const std::unique_ptr<Message>& m) { return m->done; });
  };
  std::vector<std::pair<PostedRecv*, Message*>> claimed;
  try {
    while (!complete()) {
      // Claim every receive whose message is there, in the order they were posted; copy
      // outside the lock, so that ranks copy side by side.
      for (PostedRecv& q : p.recvs) {
        auto it = q.matched ? box.end() : w.FindMessage(rank, q.source, q.tag);
        if (it == box.end())
          continue;
        Message* m = *it;
        if (m->type != q.type || m->count != q.count) {
          std::ostringstream s;
          s << "message mismatch: rank " << q.source << " called "
            << Describe(Call{Op::Send, m->type, m->count, rank, q.tag}) << ", rank " << rank
            << " posted " << Describe(Call{Op::Recv, q.type, q.count, q.source, q.tag});
          w.AbortAndThrow(s.str());
        }
        box.erase(it);
        m->copying = true;
        q.matched = true;
        claimed.emplace_back(&q, m);
      }
      if (!claimed.empty()) {
        lock.unlock();
        for (const auto& c : claimed)
          if (c.first->count > 0)
            std::memcpy(c.first->buf, c.second->buf,
                        KRZTypeSize(c.first->type) * static_cast<size_t>(c.first->count));
        lock.lock();
        for (const auto& c : claimed) {
          c.second->copying = false;
          c.second->done = true;
        }
        claimed.clear();
        w.cv.notify_all();
        continue;
      }
      w.Wait(lock, rank, Call{Op::WaitAll, kTypeInt, 0, 0, 0},
             [&] { return matchable() || complete(); });
      w.ThrowIfAborted();
    }
  } catch (...) {
    // Messages claimed but not copied (a mismatch found among them) go back to their senders.
    for (const auto& c : claimed)
      c.second->copying = false;
    w.cv.notify_all();
    w.Cancel(lock, rank);
    throw;
  }
  p.sends.clear();
  p.recvs.clear();
}

void CKRZThreadsWorld::Recv(int rank, int type, void* buf, int count, int source, int tag) {
  Impl& w = *m_pImpl;
  std::unique_lock<std::mutex> lock(w.mu);
  w.ThrowIfAborted();
  const Call call{Op::Recv, type, count, source, tag};
  w.CheckArguments(rank, call, {buf});
  auto& box = w.inbox[static_cast<size_t>(rank)];
  w.Wait(lock, rank, call, [&] { return w.FindMessage(rank, source, tag) != box.end(); });
  auto it = w.FindMessage(rank, source, tag);
  Message& m = **it;
  if (m.type != type || m.count != count) {
    std::ostringstream s;
    s << "message mismatch: rank " << source << " called "
      << Describe(Call{Op::Send, m.type, m.count, rank, tag}) << ", rank " << rank << " called "
      << Describe(call);
    w.AbortAndThrow(s.str());
  }
  if (count > 0)
    std::memcpy(buf, m.buf, KRZTypeSize(type) * static_cast<size_t>(count));
  box.erase(it);
  m.done = true;
  w.cv.notify_all();
}

void CKRZThreadsWorld::Collective(int rank, KRZCollective op, int type, const void* in, void* out,
                                  int count, int root) {
  Impl& w = *m_pImpl;
  std::unique_lock<std::mutex> lock(w.mu);
  w.ThrowIfAborted();
  const Op o = ToOp(op);
  const bool rooted = o == Op::Broadcast;
  const Call call{o, o == Op::Barrier ? kTypeInt : type, o == Op::Barrier ? 0 : count,
                  rooted ? root : 0, 0};
  w.CheckArguments(rank, call, {in, out});

  if (w.arrived > 0) {
    const CollectiveCall* first = nullptr;
    int firstRank = 0;
    for (int r = 0; r < w.n && first == nullptr; ++r)
      if (w.collective[static_cast<size_t>(r)] != nullptr) {
        first = w.collective[static_cast<size_t>(r)];
        firstRank = r;
      }
    const Call& f = first->call;
    if (f.op != call.op || f.type != call.type || f.count != call.count || f.peer != call.peer) {
      std::ostringstream s;
      s << "collective mismatch: rank " << firstRank << " called " << Describe(f) << ", rank "
        << rank << " called " << Describe(call);
      w.AbortAndThrow(s.str());
    }
  }
  const CollectiveCall mine{call, in, out};
  w.collective[static_cast<size_t>(rank)] = &mine;
  if (++w.arrived == w.n) {
    w.Perform(call);
    std::fill(w.collective.begin(), w.collective.end(), nullptr);
    w.arrived = 0;
    ++w.generation;
    w.cv.notify_all();
  } else {
    const unsigned long long generation = w.generation;
    w.Wait(lock, rank, call, [&] { return w.generation != generation; });
  }
  if (o != Op::Broadcast)
    return;
  // The ranks copy their broadcast in parallel. No later collective can complete before the root
  // leaves, so the root's buffer and the broadcast's fields stay as they are until every copy is
  // done; the copies cannot block, so the root waits for them even in an aborted world.
  if (out != w.broadcastFrom && w.broadcastBytes > 0) {
    const void* from = w.broadcastFrom;
    const size_t bytes = w.broadcastBytes;
    lock.unlock();
    std::memcpy(out, from, bytes);
    lock.lock();
    if (--w.copying == 0)
      w.cv.notify_all();
  } else if (rank == root) {
    w.cv.wait(lock, [&] { return w.copying == 0; });
  }
}

void CKRZThreadsWorld::Finish(int rank) {
  std::unique_lock<std::mutex> lock(m_pImpl->mu);
  if (!m_pImpl->posted[static_cast<size_t>(rank)].Empty()) {
    std::ostringstream s;
    s << "rank " << rank
      << " returned with posted operations it never waited for: " << m_pImpl->DescribeWait(rank);
    lock.unlock();
    Fail(rank, s.str());
    return;
  }
  m_pImpl->ranks[static_cast<size_t>(rank)].status = RankStatus::Finished;
  m_pImpl->CheckDeadlock();
}

void CKRZThreadsWorld::Fail(int rank, const std::string& why) {
  std::unique_lock<std::mutex> lock(m_pImpl->mu);
  m_pImpl->Cancel(lock, rank);
  m_pImpl->ranks[static_cast<size_t>(rank)].status = RankStatus::Failed;
  std::ostringstream s;
  s << "rank " << rank << " failed: " << why;
  m_pImpl->Abort(s.str());
}

bool CKRZThreadsWorld::Aborted() const {
  std::lock_guard<std::mutex> lock(m_pImpl->mu);
  return m_pImpl->aborted;
}

std::string CKRZThreadsWorld::Report() const {
  std::lock_guard<std::mutex> lock(m_pImpl->mu);
  return m_pImpl->report;
}
