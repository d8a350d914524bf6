#include "CKRZCom_Threads.h"

#include <sstream>

#include "KRZPerformanceLog.h"
#include "KRZTypeCodes.h"

using krz::detail::CKRZLogWait;
using krz::detail::KRZLogMessage;

namespace {
constexpr int kWorldHandle = 1;
} // namespace

CKRZCom_Threads::CKRZCom_Threads(CKRZThreadsWorld& world, int rank)
    : m_pWorld(&world), m_nRank(rank) {
  m_nCommHandle = kWorldHandle;
  krz::detail::KRZGiveTypeCodes(*this);
}

CKRZCom_Threads::~CKRZCom_Threads() = default;

void CKRZCom_Threads::CheckHandle(int comm) const {
  if (comm == m_nCommHandle)
    return;
  std::ostringstream s;
  s << "rank " << m_nRank << " passed communicator handle " << comm << ", expected "
    << m_nCommHandle;
  m_pWorld->Fail(m_nRank, s.str());
  throw KRZWorldAborted(m_pWorld->Report());
}

int CKRZCom_Threads::Send(int type, void* buf, int count, int dest, int tag, int comm) {
  KRZLogMessage(true, krz::detail::KRZTypeBytes(type, count));
  CKRZLogWait wait;
  CheckHandle(comm);
  m_pWorld->Send(m_nRank, type, buf, count, dest, tag);
  return 0;
}

int CKRZCom_Threads::Recv(int type, void* buf, int count, int source, int tag, int comm) {
  KRZLogMessage(false, krz::detail::KRZTypeBytes(type, count));
  CKRZLogWait wait;
  CheckHandle(comm);
  m_pWorld->Recv(m_nRank, type, buf, count, source, tag);
  return 0;
}

int CKRZCom_Threads::Broadcast(int type, void* buf, int count, int root, int comm) {
  CKRZLogWait wait;
  CheckHandle(comm);
  m_pWorld->Collective(m_nRank, KRZCollective::Broadcast, type, buf, buf, count, root);
  return 0;
}

int CKRZCom_Threads::AllSum(int type, void* in, void* out, int count, int comm) {
  CKRZLogWait wait;
  CheckHandle(comm);
  m_pWorld->Collective(m_nRank, KRZCollective::AllSum, type, in, out, count, 0);
  return 0;
}

int CKRZCom_Threads::AllMin(int type, void* in, void* out, int count, int comm) {
  CKRZLogWait wait;
  CheckHandle(comm);
  m_pWorld->Collective(m_nRank, KRZCollective::AllMin, type, in, out, count, 0);
  return 0;
}

int CKRZCom_Threads::Barrier(int comm) {
  CKRZLogWait wait;
  CheckHandle(comm);
  m_pWorld->Collective(m_nRank, KRZCollective::Barrier, m_nTypeInt, nullptr, nullptr, 0, 0);
  return 0;
}

int CKRZCom_Threads::PostSend(int type, const void* buf, int count, int dest, int tag) {
  KRZLogMessage(true, krz::detail::KRZTypeBytes(type, count));
  m_pWorld->PostSend(m_nRank, type, buf, count, dest, tag);
  return 0;
}

int CKRZCom_Threads::PostRecv(int type, void* buf, int count, int source, int tag) {
  KRZLogMessage(false, krz::detail::KRZTypeBytes(type, count));
  m_pWorld->PostRecv(m_nRank, type, buf, count, source, tag);
  return 0;
}

int CKRZCom_Threads::WaitAll() {
  CKRZLogWait wait;
  m_pWorld->WaitAll(m_nRank);
  return 0;
}

int CKRZCom_Threads::AllGatherInt(int value, int* all) {
  CKRZLogWait wait;
  m_pWorld->Collective(m_nRank, KRZCollective::AllGather, m_nTypeInt, &value, all, 1, 0);
  return 0;
}
