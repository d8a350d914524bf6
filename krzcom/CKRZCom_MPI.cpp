#include "CKRZCom_MPI.h"

namespace {
constexpr int kTypeChar = 1;
constexpr int kTypeInt = 2;
constexpr int kTypeFloat = 3;
constexpr int kTypeDouble = 4;

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
} // namespace

CKRZCom_MPI::CKRZCom_MPI(MPI_Comm comm, KRZComContext context)
    : m_Comm(comm), m_bOwnsComm(context == KRZComContext::Duplicate) {
  if (m_bOwnsComm)
    MPI_Comm_dup(comm, &m_Comm);
  m_nCommHandle = static_cast<int>(MPI_Comm_c2f(m_Comm));
  m_nTypeChar = kTypeChar;
  m_nTypeInt = kTypeInt;
  m_nTypeFloat = kTypeFloat;
  m_nTypeDouble = kTypeDouble;
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

int CKRZCom_MPI::Send(int type, void* buf, int count, int dest, int tag, int comm) {
  return MPI_Send(buf, count, ToMPI(type), dest, tag, ToComm(comm));
}

int CKRZCom_MPI::Recv(int type, void* buf, int count, int source, int tag, int comm) {
  return MPI_Recv(buf, count, ToMPI(type), source, tag, ToComm(comm), MPI_STATUS_IGNORE);
}

int CKRZCom_MPI::Broadcast(int type, void* buf, int count, int root, int comm) {
  return MPI_Bcast(buf, count, ToMPI(type), root, ToComm(comm));
}

int CKRZCom_MPI::AllSum(int type, void* in, void* out, int count, int comm) {
  return MPI_Allreduce(in == out ? MPI_IN_PLACE : in, out, count, ToMPI(type), MPI_SUM,
                       ToComm(comm));
}

int CKRZCom_MPI::AllMin(int type, void* in, void* out, int count, int comm) {
  return MPI_Allreduce(in == out ? MPI_IN_PLACE : in, out, count, ToMPI(type), MPI_MIN,
                       ToComm(comm));
}

int CKRZCom_MPI::Barrier(int comm) { return MPI_Barrier(ToComm(comm)); }
