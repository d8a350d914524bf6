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

// Appends the steps, grouped by `peer` of each rank `owner`, as CSR lists (faces: `face`).
template <class Owner, class Peer, class Face>
void Group(std::vector<Step> steps, Owner owner, Peer peer, Face face,
           std::vector<std::vector<int>>& peers, std::vector<std::vector<int>>& firsts,
           std::vector<std::vector<int>>& faces) {
  // Stable: inside one pair of ranks the steps keep the target's face order, alike on both sides.
  std::stable_sort(steps.begin(), steps.end(), [&](const Step& s, const Step& t) {
    return owner(s) != owner(t) ? owner(s) < owner(t) : peer(s) < peer(t);
  });
  for (size_t k = 0; k < steps.size(); ++k) {
    const size_t r = static_cast<size_t>(owner(steps[k]));
    if (peers[r].empty() || peers[r].back() != peer(steps[k])) {
      peers[r].push_back(peer(steps[k]));
      firsts[r].push_back(static_cast<int>(faces[r].size()));
    }
    faces[r].push_back(face(steps[k]));
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
  for (int d = 0; d < 2; ++d) { // worked out for the lists these replace
    m_Pack[d] = m_Unpack[d] = Composed();
    m_Coverage[d] = Coverage();
  }
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

template <class T> const T* CKRZDirectPlan::Target(int d) const {
  return const_cast<CKRZDirectPlan*>(this)->Of<T>(d).target.data();
}

template <class T>
void CKRZDirectPlan::Start(CKRZPostingCom& post, CKRZCom& com, int myid, int d, const T* source,
                           const int* index, int nSource) {
  const CKRZDirectLists& l = m_Lists[d];
  Buffers<T>& b = Of<T>(d);
  const int type = TypeCode<T>(com);
  b.recv.resize(l.recvFace.size());
  b.send.resize(l.sendFace.size());
  for (size_t k = 0; k < l.recvPeer.size(); ++k)
    if (l.recvPeer[k] != myid)
      post.PostRecv(type, b.recv.data() + l.recvFirst[k], l.recvFirst[k + 1] - l.recvFirst[k],
                    l.recvPeer[k], kA2BTag);
  const int* face = l.sendFace.data();
  const int* at = index != nullptr ? Packing(d, index, nSource) : nullptr;
  T* out = b.send.data();
  for (size_t k = 0; k < l.sendPeer.size(); ++k) {
    const int first = l.sendFirst[k], last = l.sendFirst[k + 1];
    // A face past this rank's count (face objects changed behind the plan's back) sends 0.
    if (at != nullptr)
      for (int m = first; m < last; ++m)
        out[m] = at[m] >= 0 ? source[at[m]] : T();
    else
      for (int m = first; m < last; ++m)
        out[m] = face[m] <= nSource ? source[face[m]] : T();
    if (l.sendPeer[k] != myid)
      post.PostSend(type, out + first, last - first, l.sendPeer[k], kA2BTag);
  }
  // What stays on this rank: its send block to itself lines up with its receive block from itself.
  const auto self = std::find(l.sendPeer.begin(), l.sendPeer.end(), myid);
  const auto back = std::find(l.recvPeer.begin(), l.recvPeer.end(), myid);
  if (self != l.sendPeer.end() && back != l.recvPeer.end()) {
    const int s = l.sendFirst[static_cast<size_t>(self - l.sendPeer.begin())];
    const size_t r = static_cast<size_t>(back - l.recvPeer.begin());
    std::copy(b.send.begin() + s, b.send.begin() + s + (l.recvFirst[r + 1] - l.recvFirst[r]),
              b.recv.begin() + l.recvFirst[r]);
  }
}

template <class T>
bool CKRZDirectPlan::Finish(CKRZPostingCom& post, int d, T* target, int nTarget) {
  const CKRZDirectLists& l = m_Lists[d];
  Buffers<T>& b = Of<T>(d);
  const bool ok = post.WaitAll() == 0;
  if (target == nullptr) {
    b.target.resize(static_cast<size_t>(std::max(nTarget, 0)) + 1);
    target = b.target.data();
  }
  if (!EveryFaceOnce(d, nTarget)) // otherwise every entry is written below
    std::fill(target + 1, target + std::max(nTarget, 0) + 1, T());
  const int* face = l.recvFace.data();
  const T* in = b.recv.data();
  for (size_t m = 0; m < l.recvFace.size(); ++m)
    if (face[m] <= nTarget)
      target[face[m]] = in[m];
  return ok;
}

bool CKRZDirectPlan::Composed::Current(const int* given, int n) const {
  return ids.size() == static_cast<size_t>(n) + 1 &&
         std::equal(given + 1, given + n + 1, ids.begin() + 1);
}

void CKRZDirectPlan::Composed::Keep(const int* given, int n) {
  ids.assign(given, given + n + 1);
  ids[0] = 0;
}

// The cell index of every send list entry for source cells named by ids[1..nSource].
const int* CKRZDirectPlan::Packing(int d, const int* ids, int nSource) {
  Composed& c = m_Pack[d];
  if (!c.Current(ids, nSource)) {
    const std::vector<int>& face = m_Lists[d].sendFace;
    c.Keep(ids, nSource);
    c.at.resize(face.size());
    for (size_t m = 0; m < face.size(); ++m)
      c.at[m] = face[m] <= nSource ? ids[face[m]] : -1;
  }
  return c.at.data();
}

bool CKRZDirectPlan::EveryFaceOnce(int d, int nTarget) {
  Coverage& c = m_Coverage[d];
  if (c.n == nTarget)
    return c.once;
  const std::vector<int>& face = m_Lists[d].recvFace;
  c.n = nTarget;
  c.once = face.size() == static_cast<size_t>(std::max(nTarget, 0));
  std::vector<char> received(static_cast<size_t>(std::max(nTarget, 0)) + 1, 0);
  for (size_t m = 0; c.once && m < face.size(); ++m) {
    const int f = face[m];
    c.once = f >= 1 && f <= nTarget && received[static_cast<size_t>(f)] == 0;
    if (c.once)
      received[static_cast<size_t>(f)] = 1;
  }
  return c.once;
}

bool CKRZDirectPlan::CellsServed(int d, const int* ids, int nTarget) {
  Composed& c = m_Unpack[d];
  if (c.Current(ids, nTarget))
    return c.served;
  c.Keep(ids, nTarget);
  const std::vector<int>& face = m_Lists[d].recvFace;
  c.served = EveryFaceOnce(d, nTarget);
  std::vector<int> sorted(c.ids.begin() + 1, c.ids.end());
  std::sort(sorted.begin(), sorted.end());
  c.served = c.served && (sorted.empty() || sorted.front() >= 0) &&
             std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
  c.at.resize(face.size());
  for (size_t m = 0; c.served && m < face.size(); ++m)
    c.at[m] = ids[face[m]];
  return c.served;
}

template <class T> bool CKRZDirectPlan::FinishIntoCells(CKRZPostingCom& post, int d, T* cells) {
  const bool ok = post.WaitAll() == 0;
  const std::vector<int>& at = m_Unpack[d].at;
  const T* in = Of<T>(d).recv.data();
  for (size_t m = 0; m < at.size(); ++m)
    cells[at[m]] = in[m];
  return ok;
}

template bool CKRZDirectPlan::FinishIntoCells<double>(CKRZPostingCom&, int, double*);
template bool CKRZDirectPlan::FinishIntoCells<int>(CKRZPostingCom&, int, int*);
template void CKRZDirectPlan::Start<double>(CKRZPostingCom&, CKRZCom&, int, int, const double*,
                                            const int*, int);
template void CKRZDirectPlan::Start<int>(CKRZPostingCom&, CKRZCom&, int, int, const int*,
                                         const int*, int);
template bool CKRZDirectPlan::Finish<double>(CKRZPostingCom&, int, double*, int);
template bool CKRZDirectPlan::Finish<int>(CKRZPostingCom&, int, int*, int);
template const double* CKRZDirectPlan::Target<double>(int) const;
template const int* CKRZDirectPlan::Target<int>(int) const;

} // namespace krz::detail
