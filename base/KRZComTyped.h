// Typed operations over a CKRZCom: the type code of an element type, arrays on the wire (bool as
// int 1/0 through a buffer the caller keeps between messages), and the one-int collectives the
// classes use. A null communicator or a one-rank run makes the collectives keep the value.
#ifndef KRZ_BASE_KRZCOMTYPED_H
#define KRZ_BASE_KRZCOMTYPED_H

#include <cstddef>
#include <type_traits>
#include <vector>

#include "CKRZCom.h"
#include "CKRZPostingCom.h"
#include "KRZTypeCodes.h"

namespace krz::detail {

/// The type code `com` expects for T; bool travels as int. Any other type is refused at compile
/// time (a wider type sent as int would lose bytes).
template <class T> int TypeCode(const CKRZCom& com) {
  using Wire = std::conditional_t<std::is_same_v<T, bool>, int, T>;
#define KRZ_TYPE_MEMBER(e, c, type, name, Name)                                                    \
  if constexpr (std::is_same_v<Wire, type>)                                                        \
    return com.m_nType##Name;
  KRZ_TYPE_CODE_LIST(KRZ_TYPE_MEMBER)
#undef KRZ_TYPE_MEMBER
  static_assert(KRZTypeListed<Wire>(), "TypeCode: not an element type of the library");
  return 0;
}

/// Sends `count` elements of `data`. bool goes as int 1/0 through `wire` (element 0 as 0).
template <class T>
void SendArray(CKRZCom& com, const T* data, int count, int dest, int tag, std::vector<int>& wire) {
  if constexpr (std::is_same_v<T, bool>) {
    wire.assign(static_cast<size_t>(count), 0);
    for (int i = 1; i < count; ++i)
      wire[static_cast<size_t>(i)] = data[i] ? 1 : 0;
    com.Send(com.m_nTypeInt, wire.data(), count, dest, tag, com.m_nCommHandle);
  } else {
    com.Send(TypeCode<T>(com), const_cast<T*>(data), count, dest, tag, com.m_nCommHandle);
  }
}

/// Receives `count` elements into `data`. bool arrives as int through `wire`; its element 0 is
/// not written.
template <class T>
void RecvArray(CKRZCom& com, T* data, int count, int source, int tag, std::vector<int>& wire) {
  if constexpr (std::is_same_v<T, bool>) {
    wire.resize(static_cast<size_t>(count));
    com.Recv(com.m_nTypeInt, wire.data(), count, source, tag, com.m_nCommHandle);
    for (int i = 1; i < count; ++i)
      data[i] = wire[static_cast<size_t>(i)] == 1;
  } else {
    com.Recv(TypeCode<T>(com), data, count, source, tag, com.m_nCommHandle);
  }
}

/// The posting interface of `com` when it has one and the run has more than one rank; null
/// otherwise (the library then makes only the six blocking operations).
inline CKRZPostingCom* PostingOf(CKRZCom* com, int nproc) {
  return nproc > 1 ? dynamic_cast<CKRZPostingCom*>(com) : nullptr;
}

/// Collective: counts[p] = rank p's `value` for every rank p. Through the posting interface in
/// one all-gather; otherwise one broadcast per rank (the calls a caller's communicator always
/// saw).
inline void GatherCounts(CKRZCom* com, int nproc, int myid, int value, int* counts) {
  if (CKRZPostingCom* post = PostingOf(com, nproc)) {
    post->AllGatherInt(value, counts);
    return;
  }
  for (int p = 0; p < nproc; ++p) {
    counts[p] = p == myid ? value : 0;
    if (com != nullptr && nproc > 1)
      com->Broadcast(com->m_nTypeInt, &counts[p], 1, p, com->m_nCommHandle);
  }
}

/// Collective: rank `root`'s `value` on every rank.
inline void BroadcastInt(CKRZCom* com, int nproc, int& value, int root) {
  if (com != nullptr && nproc > 1)
    com->Broadcast(com->m_nTypeInt, &value, 1, root, com->m_nCommHandle);
}

/// Collective: the sum of `value` over the ranks.
inline int SumInt(CKRZCom* com, int nproc, int value) {
  if (com == nullptr || nproc <= 1)
    return value;
  int sum = 0;
  com->AllSum(com->m_nTypeInt, &value, &sum, 1, com->m_nCommHandle);
  return sum;
}

/// Collective: returns once every rank has entered it.
inline void Barrier(CKRZCom* com) {
  if (com != nullptr)
    com->Barrier(com->m_nCommHandle);
}

} // namespace krz::detail

#endif
