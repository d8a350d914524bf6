// The direct route's plan: built on rank 0, handed out, executed by every rank.
#include "exchange/KRZDirectPlan.h"

#include <algorithm>

#include "CKRZCom.h"
#include "CKRZPostingCom.h"
#include "base/KRZComTyped.h"
#include "base/KRZTags.h"

namespace krz::detail {
namespace {

// Whether every local face has a global face in 1..n and every global face a local one.
bool Serves(int nproc, const KRZFaceMap& m) {
  if (m.counts == nullptr || m.rows == nullptr || m.nGlobal < 1)
    return false; // no face at all: the route through rank 0 refuses the transfer
  std::vector<char> seen(static_cast<size_t>(m.nGlobal) + 1, 0);
  for (int p = 0; p < nproc; ++p) {
    const int n = m.counts[p];
    if (n < 0 || (n > 0 && m.rows[p] == nullptr))
      return false;
    for (int i = 1; i <= n; ++i) {
      const int g = m.rows[p][i];
      if (g < 1 || g > m.nGlobal)
        return false;
      seen[static_cast<size_t>(g)] = 1;
    }
  }
  return std::find(seen.begin() + 1, seen.end(), 0) == seen.end();
}

// One value on its way: from local face `face` of rank `from` to local face `target` of `to`.
struct Step {
  int from, to, face, target;
};

// The steps of direction X -> Y: every target face takes the value of the last local face (rank
// by rank, face by face) that writes its partner's global face; unpaired faces get none.
std::vector<Step> Steps(int nproc, const KRZFaceMap& x, const KRZFaceMap& y,
                        const std::vector<int>& partner) {
  std::vector<int> lastRank(static_cast<size_t>(x.nGlobal) + 1, -1);
  std::vector<int> lastFace(lastRank.size(), 0);
  for (int p = 0; p < nproc; ++p)
    for (int i = 1; i <= x.counts[p]; ++i) {
      lastRank[static_cast<size_t>(x.rows[p][i])] = p;
      lastFace[static_cast<size_t>(x.rows[p][i])] = i;
    }
  std::vector<Step> steps;
  for (int q = 0; q < nproc; ++q)
    for (int j = 1; j <= y.counts[q]; ++j) {
      const size_t g = static_cast<size_t>(y.rows[q][j]);
      const int from = g < partner.size() ? partner[g] : 0;
      if (from > 0 && from <= x.nGlobal)
        steps.push_back(
            Step{lastRank[static_cast<size_t>(from)], q, lastFace[static_cast<size_t>(from)], j});
    }
  return steps;
}

// The steps reordered by key(step) in 0..nproc-1, stable (a counting sort).
template <class Key>
std::vector<Step> SortedBy(const std::vector<Step>& steps, int nproc, Key key) {
  std::vector<size_t> start(static_cast<size_t>(nproc) + 1, 0);
  for (const Step& s : steps)
    ++start[static_cast<size_t>(key(s)) + 1];
  for (size_t r = 1; r < start.size(); ++r)
    start[r] += start[r - 1];
  std::vector<Step> sorted(steps.size());
  for (const Step& s : steps)
    sorted[start[static_cast<size_t>(key(s))]++] = s;
  return sorted;
}

// Appends the steps, grouped by `peer` of each rank `owner`, as CSR lists (faces: `face`).
template <class Owner, class Peer, class Face>
void Group(const std::vector<Step>& steps, Owner owner, Peer peer, Face face,
           std::vector<std::vector<int>>& peers, std::vector<std::vector<int>>& firsts,
           std::vector<std::vector<int>>& faces) {
  // By owner, then peer, both stable: inside one pair of ranks the steps keep the target's face
  // order, alike on both sides.
  const int nproc = static_cast<int>(peers.size());
  const std::vector<Step> sorted = SortedBy(SortedBy(steps, nproc, peer), nproc, owner);
  for (size_t k = 0; k < sorted.size(); ++k) {
    const size_t r = static_cast<size_t>(owner(sorted[k]));
    if (peers[r].empty() || peers[r].back() != peer(sorted[k])) {
      peers[r].push_back(peer(sorted[k]));
      firsts[r].push_back(static_cast<int>(faces[r].size()));
    }
    faces[r].push_back(face(sorted[k]));
  }
  for (size_t r = 0; r < peers.size(); ++r)
    firsts[r].push_back(static_cast<int>(faces[r].size()));
}

void AppendBlocks(const std::vector<int>& peer, const std::vector<int>& first,
                  const std::vector<int>& face, std::vector<int>& wire) {
  wire.push_back(static_cast<int>(peer.size()));
  for (size_t k = 0; k < peer.size(); ++k) {
    wire.push_back(peer[k]);
    wire.push_back(first[k + 1] - first[k]);
    wire.insert(wire.end(), face.begin() + first[k], face.begin() + first[k + 1]);
  }
}

bool ReadBlocks(const std::vector<int>& wire, size_t& at, std::vector<int>& peer,
                std::vector<int>& first, std::vector<int>& face) {
  peer.clear();
  face.clear();
  first.assign(1, 0);
  if (at >= wire.size() || wire[at] < 0)
    return false;
  const int blocks = wire[at++];
  for (int k = 0; k < blocks; ++k) {
    if (at + 2 > wire.size() || wire[at + 1] < 0 ||
        wire.size() - at - 2 < static_cast<size_t>(wire[at + 1]))
      return false;
    peer.push_back(wire[at]);
    const size_t n = static_cast<size_t>(wire[at + 1]);
    face.insert(face.end(), wire.begin() + static_cast<long>(at + 2),
                wire.begin() + static_cast<long>(at + 2 + n));
    first.push_back(static_cast<int>(face.size()));
    at += 2 + n;
  }
  return true;
}

} // namespace

bool CKRZDirectLists::Read(const std::vector<int>& wire, size_t& at) {
  return ReadBlocks(wire, at, sendPeer, sendFirst, sendFace) &&
         ReadBlocks(wire, at, recvPeer, recvFirst, recvFace);
}

size_t CKRZDirectLists::Bytes() const {
  return sizeof(int) * (sendPeer.size() + sendFirst.size() + sendFace.size() + recvPeer.size() +
                        recvFirst.size() + recvFace.size());
}

bool CKRZDirectPlan::Build(int nproc, const KRZFaceMap& a, const KRZFaceMap& b,
                           const std::vector<int>& toB, const std::vector<int>& toA,
                           std::vector<std::vector<int>>& wire) {
  wire.assign(static_cast<size_t>(nproc), {});
  if (!Serves(nproc, a) || !Serves(nproc, b))
    return false;
  for (int d = 0; d < 2; ++d) {
    const std::vector<Step> steps = d == 0 ? Steps(nproc, a, b, toB) : Steps(nproc, b, a, toA);
    const size_t n = static_cast<size_t>(nproc);
    std::vector<std::vector<int>> sendPeer(n), sendFirst(n), sendFace(n);
    std::vector<std::vector<int>> recvPeer(n), recvFirst(n), recvFace(n);
    Group(
        steps, [](const Step& s) { return s.from; }, [](const Step& s) { return s.to; },
        [](const Step& s) { return s.face; }, sendPeer, sendFirst, sendFace);
    Group(
        steps, [](const Step& s) { return s.to; }, [](const Step& s) { return s.from; },
        [](const Step& s) { return s.target; }, recvPeer, recvFirst, recvFace);
    for (size_t r = 0; r < n; ++r) {
      AppendBlocks(sendPeer[r], sendFirst[r], sendFace[r], wire[r]);
      AppendBlocks(recvPeer[r], recvFirst[r], recvFace[r], wire[r]);
    }
  }
  return true;
}

bool CKRZDirectPlan::Distribute(CKRZPostingCom& post, CKRZCom& com, int myid, int nproc,
                                const std::vector<std::vector<int>>& wire) {
  const int type = com.m_nTypeInt;
  for (int d = 0; d < 2; ++d) // worked out for the lists these replace
    m_nPositionsFor[d] = m_nSendsEveryFaceFor[d] = -1;
  std::vector<int> mine;
  if (myid == 0) {
    std::vector<int> lengths(static_cast<size_t>(nproc));
    for (int r = 1; r < nproc; ++r) {
      lengths[static_cast<size_t>(r)] = static_cast<int>(wire[static_cast<size_t>(r)].size());
      post.PostSend(type, &lengths[static_cast<size_t>(r)], 1, r, kA2BTag);
    }
    bool ok = post.WaitAll() == 0;
    for (int r = 1; r < nproc; ++r)
      post.PostSend(type, wire[static_cast<size_t>(r)].data(), lengths[static_cast<size_t>(r)], r,
                    kA2BTag);
    ok = post.WaitAll() == 0 && ok;
    mine = wire[0];
    size_t at = 0;
    return m_Lists[0].Read(mine, at) && m_Lists[1].Read(mine, at) && ok;
  }
  int length = 0;
  post.PostRecv(type, &length, 1, 0, kA2BTag);
  bool ok = post.WaitAll() == 0 && length >= 0;
  mine.assign(static_cast<size_t>(std::max(length, 0)), 0);
  post.PostRecv(type, mine.data(), static_cast<int>(mine.size()), 0, kA2BTag);
  ok = post.WaitAll() == 0 && ok;
  size_t at = 0;
  return m_Lists[0].Read(mine, at) && m_Lists[1].Read(mine, at) && ok;
}

template <> CKRZDirectPlan::Buffers<double>& CKRZDirectPlan::Of<double>(int d) {
  return m_Double[d];
}
template <> CKRZDirectPlan::Buffers<int>& CKRZDirectPlan::Of<int>(int d) { return m_Int[d]; }

template <class T>
void CKRZDirectPlan::Receive(CKRZPostingCom& post, CKRZCom& com, int myid, int d, T* target,
                             int nTarget) {
  const CKRZDirectLists& l = m_Lists[d];
  Buffers<T>& b = Of<T>(d);
  const bool straight = target != nullptr && Runs(d, nTarget);
  m_pStraight[d] = straight ? target : nullptr;
  if (!straight)
    b.recv.resize(l.recvFace.size());
  for (size_t k = 0; k < l.recvPeer.size(); ++k) {
    const int first = l.recvFirst[k], count = l.recvFirst[k + 1] - first;
    if (l.recvPeer[k] == myid)
      continue;
    T* into = !straight   ? b.recv.data() + first
              : count > 0 ? target + l.recvFace[static_cast<size_t>(first)]
                          : target;
    post.PostRecv(TypeCode<T>(com), into, count, l.recvPeer[k], kA2BTag);
  }
}

template <class T>
bool CKRZDirectPlan::Send(CKRZPostingCom& post, CKRZCom& com, int myid, int d, const T* source,
                          const int* index, int nSource) {
  const CKRZDirectLists& l = m_Lists[d];
  Buffers<T>& b = Of<T>(d);
  b.send.resize(l.sendFace.size());
  // The values that stay on this rank go straight where they are received from itself (its send
  // block to itself lines up with its receive block from itself); the others into the messages.
  const auto self = std::find(l.recvPeer.begin(), l.recvPeer.end(), myid);
  const size_t r = static_cast<size_t>(self - l.recvPeer.begin());
  auto into = [&](size_t k) {
    const int first = l.sendFirst[k], count = l.sendFirst[k + 1] - first;
    const bool stays = l.sendPeer[k] == myid && self != l.recvPeer.end() &&
                       l.recvFirst[r + 1] - l.recvFirst[r] == count;
    if (stays && count > 0 && m_pStraight[d] != nullptr)
      return static_cast<T*>(m_pStraight[d]) + l.recvFace[static_cast<size_t>(l.recvFirst[r])];
    return stays ? b.recv.data() + l.recvFirst[r] : b.send.data() + first;
  };
  // Every value packed first: a negative index leaves nothing posted. Where every face is sent
  // once, face by face in local order (the source and its index read in sequence), then the
  // values that stay copied where they are received.
  int least = 0;
  const int* at = SendPositions(d, nSource);
  T* send = b.send.data();
  if (at != nullptr) {
    for (int i = 1; i <= nSource; ++i) {
      if (at[i] < 0)
        continue;
      const int from = index != nullptr ? index[i] : i;
      least = std::min(least, from);
      send[at[i]] = source[std::max(from, 0)];
    }
    for (size_t k = 0; least == 0 && k < l.sendPeer.size(); ++k)
      if (into(k) != send + l.sendFirst[k])
        std::copy(send + l.sendFirst[k], send + l.sendFirst[k + 1], into(k));
  }
  // Otherwise entry by entry; a face past this rank's count (face objects changed behind the
  // plan's back) sends 0.
  const int* face = l.sendFace.data();
  for (size_t k = 0; at == nullptr && k < l.sendPeer.size(); ++k) {
    T* out = into(k);
    const int first = l.sendFirst[k], count = l.sendFirst[k + 1] - first;
    const int* f = face + first;
    for (int m = 0; m < count; ++m) {
      const int from = f[m] > nSource ? 0 : index != nullptr ? index[f[m]] : f[m];
      least = std::min(least, from);
      out[m] = f[m] <= nSource ? source[std::max(from, 0)] : T();
    }
  }
  if (least < 0)
    return false;
  for (size_t k = 0; k < l.sendPeer.size(); ++k)
    if (l.sendPeer[k] != myid)
      post.PostSend(TypeCode<T>(com), send + l.sendFirst[k], l.sendFirst[k + 1] - l.sendFirst[k],
                    l.sendPeer[k], kA2BTag);
  return true;
}

bool CKRZDirectPlan::SendsEveryFace(int d, int nSource) {
  SendPositions(d, nSource);
  return m_bSendsEveryFace[d];
}

// Where in the send buffer local face i's value goes, for i in 1..nSource (-1: not sent), or null
// where a face is sent twice or lies past nSource (then the lists are followed entry by entry).
const int* CKRZDirectPlan::SendPositions(int d, int nSource) {
  if (m_nSendsEveryFaceFor[d] != nSource) {
    std::vector<int>& at = m_SendAt[d];
    at.assign(static_cast<size_t>(std::max(nSource, 0)) + 1, -1);
    bool distinct = true;
    const std::vector<int>& face = m_Lists[d].sendFace;
    for (size_t m = 0; m < face.size(); ++m) {
      const int f = face[m];
      if (f < 1 || f > nSource || at[static_cast<size_t>(f)] >= 0) {
        distinct = false;
        continue;
      }
      at[static_cast<size_t>(f)] = static_cast<int>(m);
    }
    m_bSendsEveryFace[d] = std::count(at.begin() + 1, at.end(), -1) == 0;
    m_bSendAt[d] = distinct;
    m_nSendsEveryFaceFor[d] = nSource;
  }
  return m_bSendAt[d] ? m_SendAt[d].data() : nullptr;
}

template <class T>
bool CKRZDirectPlan::Finish(CKRZPostingCom& post, int d, T* target, int nTarget) {
  const bool ok = post.WaitAll() == 0;
  if (target != nullptr && target == m_pStraight[d]) { // the values are in place already
    m_pStraight[d] = nullptr;
    for (const int f : m_Unsent[d])
      target[f] = T();
    return ok;
  }
  if (target == nullptr) {
    Buffers<T>& b = Of<T>(d);
    b.target.resize(static_cast<size_t>(std::max(nTarget, 0)) + 1);
    target = b.target.data();
  }
  const Arrived<T> value = Values<T>(d, nTarget);
  for (int f = 1; f <= nTarget; ++f)
    target[f] = value(f);
  return ok;
}

bool CKRZDirectPlan::Wait(CKRZPostingCom& post) { return post.WaitAll() == 0; }

template <class T> CKRZDirectPlan::Arrived<T> CKRZDirectPlan::Values(int d, int nTarget) {
  return Arrived<T>{Positions(d, nTarget), Of<T>(d).recv.data(), nTarget};
}

// Where in the received values local face f's value lies, for f in 1..nTarget (-1: none); where
// several entries name one face, the last (as placing them in list order leaves it).
const int* CKRZDirectPlan::Positions(int d, int nTarget) {
  std::vector<int>& at = m_Positions[d];
  if (m_nPositionsFor[d] != nTarget) {
    const CKRZDirectLists& l = m_Lists[d];
    const std::vector<int>& face = l.recvFace;
    at.assign(static_cast<size_t>(std::max(nTarget, 0)) + 1, -1);
    bool runs = true;
    for (size_t m = 0; m < face.size(); ++m) {
      if (face[m] < 1 || face[m] > nTarget) {
        runs = false;
        continue;
      }
      runs = runs && at[static_cast<size_t>(face[m])] < 0; // no face twice
      at[static_cast<size_t>(face[m])] = static_cast<int>(m);
    }
    for (size_t k = 0; runs && k + 1 < l.recvFirst.size(); ++k)
      for (int m = l.recvFirst[k] + 1; runs && m < l.recvFirst[k + 1]; ++m)
        runs = face[static_cast<size_t>(m)] == face[static_cast<size_t>(m) - 1] + 1;
    m_bRuns[d] = runs;
    m_Unsent[d].clear();
    for (int f = 1; f <= nTarget; ++f)
      if (at[static_cast<size_t>(f)] < 0)
        m_Unsent[d].push_back(f);
    m_nPositionsFor[d] = nTarget;
  }
  return at.data();
}

bool CKRZDirectPlan::Runs(int d, int nTarget) {
  Positions(d, nTarget);
  return m_bRuns[d];
}

template CKRZDirectPlan::Arrived<double> CKRZDirectPlan::Values<double>(int, int);
template CKRZDirectPlan::Arrived<int> CKRZDirectPlan::Values<int>(int, int);
template void CKRZDirectPlan::Receive<double>(CKRZPostingCom&, CKRZCom&, int, int, double*, int);
template void CKRZDirectPlan::Receive<int>(CKRZPostingCom&, CKRZCom&, int, int, int*, int);
template bool CKRZDirectPlan::Send<double>(CKRZPostingCom&, CKRZCom&, int, int, const double*,
                                           const int*, int);
template bool CKRZDirectPlan::Send<int>(CKRZPostingCom&, CKRZCom&, int, int, const int*, const int*,
                                        int);
template bool CKRZDirectPlan::Finish<double>(CKRZPostingCom&, int, double*, int);
template bool CKRZDirectPlan::Finish<int>(CKRZPostingCom&, int, int*, int);

} // namespace krz::detail
