#include "CKRZCom_MPI.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "KRZLineSink.h"
#include "KRZPerformanceLog.h"
#include "KRZTypeCodes.h"

using namespace krz::detail;

namespace {

MPI_Datatype ToMPI(int type) {
  switch (type) {
  case kTypeChar: return MPI_CHAR;
  case kTypeInt: return MPI_INT;
  case kTypeFloat: return MPI_FLOAT;
  case kTypeDouble: return MPI_DOUBLE;
  default: return MPI_DATATYPE_NULL;
  }
}

MPI_Comm ToComm(int handle) { return MPI_Comm_f2c(handle); }

double DeadlineFrom(double given) {
  if (given != 0.0)
    return given > 0.0 ? given : 0.0;
  const char* text = std::getenv("KRZ3DCOMTOOLS_MPI_DEADLINE");
  const double seconds = text != nullptr ? std::atof(text) : 0.0;
  return seconds > 0.0 ? seconds : 0.0;
}
} // namespace

CKRZCom_MPI::CKRZCom_MPI(MPI_Comm comm, KRZComContext context, double deadlineSeconds)
    : m_Comm(comm), m_bOwnsComm(context == KRZComContext::Duplicate),
      m_dDeadline(DeadlineFrom(deadlineSeconds)), m_nCallCount(0) {
  if (m_bOwnsComm)
    MPI_Comm_dup(comm, &m_Comm);
  m_nCommHandle = static_cast<int>(MPI_Comm_c2f(m_Comm));
  int initialized = 0;
  MPI_Initialized(&initialized);
  if (initialized != 0 && m_Comm != MPI_COMM_NULL)
    KRZSetLineRank(Rank()); // this thread's lines are this rank's
  const char* check = std::getenv("KRZ3DCOMTOOLS_MPI_CHECK");
  m_bCheck = check != nullptr && std::atoi(check) != 0;
  KRZGiveTypeCodes(*this);
}

CKRZCom_MPI::~CKRZCom_MPI() {
  int finalized = 0;
  MPI_Finalized(&finalized);
  if (m_bOwnsComm && finalized == 0)
    MPI_Comm_free(&m_Comm);
}

int CKRZCom_MPI::Rank() const {
  int rank = 0;
  MPI_Comm_rank(m_Comm, &rank);
  return rank;
}

int CKRZCom_MPI::Size() const {
  int size = 0;
  MPI_Comm_size(m_Comm, &size);
  return size;
}

void CKRZCom_MPI::Expired(const char* operation, int peer, int type, int count, int tag) {
  std::ostringstream line;
  line << "CKRZCom_MPI: rank " << Rank() << " waited more than " << m_dDeadline << " s in "
       << operation << "(";
  if (peer >= 0)
    line << (tag >= 0 ? "peer " : "root ") << peer << ", ";
  line << "type " << (KRZTypeName(type) != nullptr ? KRZTypeName(type) : "unknown") << ", count "
       << count;
  if (tag >= 0)
    line << ", tag " << tag;
  line << "), call " << m_nCallCount << " on this communicator; aborting the job";
  KRZEmitLine(line.str());
  MPI_Abort(m_Comm, 3);
}

int CKRZCom_MPI::Complete(MPI_Request& request, const char* operation, int peer, int type,
                          int count, int tag, MPI_Status* status) {
  const auto start = std::chrono::steady_clock::now();
  const auto limit = std::chrono::duration<double>(m_dDeadline);
  int done = 0;
  for (long long polls = 0;; ++polls) {
    const int rc = MPI_Test(&request, &done, status);
    if (rc != MPI_SUCCESS || done != 0)
      return rc;
    if (std::chrono::steady_clock::now() - start > limit) {
      Expired(operation, peer, type, count, tag);
      return MPI_ERR_OTHER;
    }
    if (polls > 1000) // after a short spin, leave the core to the other ranks
      std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

namespace {
const char* const kCollectives[] = {"Broadcast", "AllSum", "AllMin", "Barrier", "AllGather"};
enum { kBroadcast, kAllSum, kAllMin, kBarrier, kAllGather };

// "Broadcast(root=0, type=int, count=3)", as the threads engine writes a call.
std::string Describe(const int* call) {
  std::ostringstream s;
  s << kCollectives[call[0]] << "(";
  if (call[0] == kBroadcast)
    s << "root=" << call[1] << ", ";
  if (call[0] != kBarrier) {
    const char* type = KRZTypeName(call[2]);
    (type != nullptr ? s << "type=" << type : s << "type code " << call[2])
        << ", count=" << call[3];
  }
  s << ")";
  return s.str();
}
} // namespace

void CKRZCom_MPI::Agree(int operation, int root, int type, int count) {
  if (!m_bCheck)
    return;
  const int mine[4] = {operation, root, type, count};
  std::vector<int> all(4 * static_cast<size_t>(Size()));
  MPI_Allgather(mine, 4, MPI_INT, all.data(), 4, MPI_INT, m_Comm);
  for (size_t r = 1; r < all.size() / 4; ++r) {
    if (std::equal(all.begin(), all.begin() + 4, all.begin() + static_cast<long>(4 * r)))
      continue;
    if (Rank() == 0) {
      std::ostringstream line;
      line << "CKRZCom_MPI check: collective mismatch: rank 0 called " << Describe(all.data())
           << ", rank " << r << " called " << Describe(all.data() + 4 * r) << "; aborting the job";
      KRZEmitLine(line.str());
    }
    MPI_Barrier(m_Comm); // rank 0's line first
    MPI_Abort(m_Comm, 4);
  }
}

bool CKRZCom_MPI::ReceivedAsExpected(const MPI_Status& status, int source, int type, int count,
                                     int tag) {
  int got = 0;
  MPI_Get_count(&status, ToMPI(type), &got);
  if (got == count)
    return true;
  int bytes = 0;
  MPI_Get_count(&status, MPI_BYTE, &bytes);
  std::ostringstream line;
  const char* name = KRZTypeName(type) != nullptr ? KRZTypeName(type) : "unknown";
  line << "CKRZCom_MPI: rank " << Rank() << " expected " << count << " elements of type " << name
       << " from source " << source << ", tag " << tag << ", but received ";
  if (got == MPI_UNDEFINED)
    line << bytes << " bytes (not a whole number of " << name << ")";
  else
    line << got;
  KRZEmitLine(line.str());
  return false;
}

int CKRZCom_MPI::Send(int type, void* buf, int count, int dest, int tag, int comm) {
  KRZLogMessage(true, KRZTypeBytes(type, count));
  CKRZLogWait wait;
  ++m_nCallCount;
  if (m_dDeadline <= 0.0)
    return MPI_Send(buf, count, ToMPI(type), dest, tag, ToComm(comm));
  MPI_Request request;
  MPI_Isend(buf, count, ToMPI(type), dest, tag, ToComm(comm), &request);
  return Complete(request, "Send", dest, type, count, tag);
}

int CKRZCom_MPI::Recv(int type, void* buf, int count, int source, int tag, int comm) {
  KRZLogMessage(false, KRZTypeBytes(type, count));
  CKRZLogWait wait;
  ++m_nCallCount;
  MPI_Status status;
  int rc = MPI_SUCCESS;
  if (m_dDeadline <= 0.0) {
    rc = MPI_Recv(buf, count, ToMPI(type), source, tag, ToComm(comm), &status);
  } else {
    MPI_Request request;
    MPI_Irecv(buf, count, ToMPI(type), source, tag, ToComm(comm), &request);
    rc = Complete(request, "Recv", source, type, count, tag, &status);
  }
  if (rc == MPI_SUCCESS && !ReceivedAsExpected(status, source, type, count, tag))
    return MPI_ERR_COUNT;
  return rc;
}

int CKRZCom_MPI::Broadcast(int type, void* buf, int count, int root, int comm) {
  CKRZLogWait wait;
  ++m_nCallCount;
  Agree(kBroadcast, root, type, count);
  if (m_dDeadline <= 0.0)
    return MPI_Bcast(buf, count, ToMPI(type), root, ToComm(comm));
  MPI_Request request;
  MPI_Ibcast(buf, count, ToMPI(type), root, ToComm(comm), &request);
  return Complete(request, "Broadcast", root, type, count, -1);
}

namespace {
int Reduce(void* in, void* out, int count, int type, MPI_Op op, MPI_Comm comm, bool blocking,
           MPI_Request& request) {
  void* send = in == out ? MPI_IN_PLACE : in;
  if (blocking)
    return MPI_Allreduce(send, out, count, ToMPI(type), op, comm);
  return MPI_Iallreduce(send, out, count, ToMPI(type), op, comm, &request);
}
} // namespace

int CKRZCom_MPI::AllSum(int type, void* in, void* out, int count, int comm) {
  CKRZLogWait wait;
  ++m_nCallCount;
  Agree(kAllSum, 0, type, count);
  MPI_Request request;
  const int rc = Reduce(in, out, count, type, MPI_SUM, ToComm(comm), m_dDeadline <= 0.0, request);
  return m_dDeadline <= 0.0 ? rc : Complete(request, "AllSum", -1, type, count, -1);
}

int CKRZCom_MPI::AllMin(int type, void* in, void* out, int count, int comm) {
  CKRZLogWait wait;
  ++m_nCallCount;
  Agree(kAllMin, 0, type, count);
  MPI_Request request;
  const int rc = Reduce(in, out, count, type, MPI_MIN, ToComm(comm), m_dDeadline <= 0.0, request);
  return m_dDeadline <= 0.0 ? rc : Complete(request, "AllMin", -1, type, count, -1);
}

int CKRZCom_MPI::Barrier(int comm) {
  CKRZLogWait wait;
  ++m_nCallCount;
  Agree(kBarrier, 0, kTypeInt, 0);
  if (m_dDeadline <= 0.0)
    return MPI_Barrier(ToComm(comm));
  MPI_Request request;
  MPI_Ibarrier(ToComm(comm), &request);
  return Complete(request, "Barrier", -1, kTypeInt, 0, -1);
}

int CKRZCom_MPI::PostSend(int type, const void* buf, int count, int dest, int tag) {
  KRZLogMessage(true, KRZTypeBytes(type, count));
  ++m_nCallCount;
  m_Requests.emplace_back();
  m_PostedOps.push_back(PostedOp{"Send", dest, type, count, tag});
  return MPI_Isend(buf, count, ToMPI(type), dest, tag, m_Comm, &m_Requests.back());
}

int CKRZCom_MPI::PostRecv(int type, void* buf, int count, int source, int tag) {
  KRZLogMessage(false, KRZTypeBytes(type, count));
  ++m_nCallCount;
  m_Requests.emplace_back();
  m_PostedOps.push_back(PostedOp{"Recv", source, type, count, tag});
  return MPI_Irecv(buf, count, ToMPI(type), source, tag, m_Comm, &m_Requests.back());
}

int CKRZCom_MPI::WaitAll() {
  CKRZLogWait wait;
  ++m_nCallCount;
  const int n = static_cast<int>(m_Requests.size());
  std::vector<MPI_Status> statuses(m_Requests.size());
  int rc = MPI_SUCCESS;
  if (m_dDeadline <= 0.0) {
    rc = MPI_Waitall(n, m_Requests.data(), statuses.data());
  } else {
    const auto start = std::chrono::steady_clock::now();
    const auto limit = std::chrono::duration<double>(m_dDeadline);
    for (long long polls = 0;; ++polls) {
      int done = 0;
      rc = MPI_Testall(n, m_Requests.data(), &done, statuses.data());
      if (rc != MPI_SUCCESS || done != 0)
        break;
      if (std::chrono::steady_clock::now() - start > limit) {
        // Name the first operation still open.
        for (int k = 0; k < n; ++k)
          if (m_Requests[static_cast<size_t>(k)] != MPI_REQUEST_NULL) {
            const PostedOp& op = m_PostedOps[static_cast<size_t>(k)];
            Expired(op.operation, op.peer, op.type, op.count, op.tag);
            break;
          }
        rc = MPI_ERR_OTHER;
        break;
      }
      if (polls > 1000)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
  }
  for (int k = 0; rc == MPI_SUCCESS && k < n; ++k) {
    const PostedOp& op = m_PostedOps[static_cast<size_t>(k)];
    if (op.operation[0] == 'R' &&
        !ReceivedAsExpected(statuses[static_cast<size_t>(k)], op.peer, op.type, op.count, op.tag))
      rc = MPI_ERR_COUNT;
  }
  m_Requests.clear();
  m_PostedOps.clear();
  return rc;
}

int CKRZCom_MPI::AllGatherInt(int value, int* all) {
  CKRZLogWait wait;
  ++m_nCallCount;
  Agree(kAllGather, 0, kTypeInt, 1);
  if (m_dDeadline <= 0.0)
    return MPI_Allgather(&value, 1, MPI_INT, all, 1, MPI_INT, m_Comm);
  MPI_Request request;
  MPI_Iallgather(&value, 1, MPI_INT, all, 1, MPI_INT, m_Comm, &request);
  return Complete(request, "AllGather", -1, kTypeInt, 1, -1);
}
