// The A/B exchange's direct route: which local values of a domain go straight to which rank and
// which local face of the other domain each lands on, worked out once on rank 0 from the two face
// maps and the pairing (the composed relation: source local face -> global face -> partner ->
// target local faces), and kept per rank as its own send and receive lists only.
//
// The route through rank 0 gathers the source values into a global array (the last writer wins
// where several local faces share a global face), pulls them through the pairing (an unpaired
// target face takes 0) and scatters them. The plan reproduces exactly that: every target face
// receives the value of its partner's last writer, or 0. It serves relations where every local
// face of both domains has a global face in 1..n and every global face has a local one (then the
// route through rank 0 keeps no state between transfers that could show); others keep that route.
#ifndef KRZ3DCOMTOOLS_KRZDIRECTPLAN_H
#define KRZ3DCOMTOOLS_KRZDIRECTPLAN_H

#include <cstddef>
#include <vector>

class CKRZCom;
class CKRZPostingCom;

namespace krz::detail {

/// One domain's face relation as rank 0 holds it (the face object's map), borrowed.
struct KRZFaceMap {
  int nGlobal = 0;
  const int* counts = nullptr;      ///< nproc local counts
  const int* const* rows = nullptr; ///< nproc rows, row p 1-based with counts[p] global faces
};

/// The lists of one direction on one rank, each message's faces in one array (CSR).
struct CKRZDirectLists {
  std::vector<int> sendPeer, sendFirst, sendFace; ///< local source faces per destination
  std::vector<int> recvPeer, recvFirst, recvFace; ///< local target faces per source rank
  /// Reads the lists from wire[at...] as the plan's build writes them ([peers, then per peer:
  /// rank, count, faces...] for sends, then receives); false when they do not fit.
  bool Read(const std::vector<int>& wire, std::size_t& at);
  std::size_t Bytes() const;
};

class CKRZDirectPlan {
public:
  /// Rank 0: the lists of both directions (0: A to B, 1: B to A) for every rank, or false when
  /// the relations are not ones the plan serves (see above). toB[g] (g a global face of B) is the
  /// A face B's face g takes its value from, toA the reverse; empty: no pairing.
  static bool Build(int nproc, const KRZFaceMap& a, const KRZFaceMap& b,
                    const std::vector<int>& toB, const std::vector<int>& toA,
                    std::vector<std::vector<int>>& wire);
  /// Collective: rank 0 hands every rank its lists (`wire` from Build, on rank 0), each rank keeps
  /// its own. Returns false when a rank's lists do not arrive whole.
  bool Distribute(CKRZPostingCom& post, CKRZCom& com, int myid, int nproc,
                  const std::vector<std::vector<int>>& wire);

  /// One transfer of direction `d`, in two halves. Receive posts the receives. Send packs the
  /// source values of local faces 1..nSource (local face i's value is source[index[i]], or
  /// source[i] without `index`; a face of the lists past nSource sends 0), the values that stay
  /// on this rank straight into its receive buffer and the others into one message per
  /// destination, and posts the sends; it returns false, having sent nothing, when an index it
  /// read is negative (call it again with another source). Finish: waits and places every local
  /// face's value, its partner's or 0, into `target` (target[1..nTarget]; null: the plan's own
  /// buffer). Collective over the ranks of the plan; `T` double or int. Finish returns false
  /// when a message did not arrive as posted.
  ///
  /// Receive may be given the target of a blocking transfer (target[1..nTarget], a face array
  /// that overlaps no source and that nothing reads before Finish): where every block of faces
  /// this rank receives is one ascending run and no face is received twice, the messages land
  /// straight in it, Send writes the values kept on this rank there too, and Finish only zeroes
  /// the faces nobody sends (Finish must then be given the same target).
  template <class T>
  void Receive(CKRZPostingCom& post, CKRZCom& com, int myid, int d, T* target = nullptr,
               int nTarget = 0);
  template <class T>
  bool Send(CKRZPostingCom& post, CKRZCom& com, int myid, int d, const T* source, const int* index,
            int nSource);
  /// Whether direction d's send list names every local face 1..nSource (then Send reads every
  /// index of those faces).
  bool SendsEveryFace(int d, int nSource);
  template <class T> bool Finish(CKRZPostingCom& post, int d, T* target, int nTarget);
  /// Local face f's value as Finish would write it: its partner's value, or 0 (f in 1..n).
  template <class T> struct Arrived {
    const int* at;
    const T* values;
    int n;
    T operator()(int f) const { return f <= n && at[f] >= 0 ? values[at[f]] : T(); }
  };
  /// Instead of Finish, for writing the values elsewhere: Wait, then Values(d, nTarget) (valid
  /// until the next Start of T in direction `d`). The two directions have buffers of their own,
  /// so both may be in flight at once.
  bool Wait(CKRZPostingCom& post);
  template <class T> Arrived<T> Values(int d, int nTarget);

  int Generation() const { return m_nGeneration; }
  void SetGeneration(int generation) { m_nGeneration = generation; }
  /// Bytes this rank holds for the lists.
  std::size_t Bytes() const { return m_Lists[0].Bytes() + m_Lists[1].Bytes(); }
  const CKRZDirectLists& Lists(int d) const { return m_Lists[d]; }

private:
  template <class T> struct Buffers {
    std::vector<T> send, recv, target; ///< kept between transfers
  };
  template <class T> Buffers<T>& Of(int d);
  const int* Positions(int d, int nTarget);
  /// Whether direction d's receive blocks are ascending runs of distinct faces in 1..nTarget.
  bool Runs(int d, int nTarget);
  const int* SendPositions(int d, int nSource);

  /// Per direction, worked out with the positions: whether Runs holds, the faces nobody sends.
  bool m_bRuns[2] = {false, false};
  std::vector<int> m_Unsent[2];
  void* m_pStraight[2] = {nullptr, nullptr}; ///< the target received straight into, or null

  CKRZDirectLists m_Lists[2];
  std::vector<int> m_Positions[2]; ///< per direction: see Positions
  int m_nPositionsFor[2] = {-1, -1};
  bool m_bSendsEveryFace[2] = {false, false};
  std::vector<int> m_SendAt[2]; ///< per direction: see SendPositions
  bool m_bSendAt[2] = {false, false};
  int m_nSendsEveryFaceFor[2] = {-1, -1};
  int m_nGeneration = 0;
  Buffers<double> m_Double[2];
  Buffers<int> m_Int[2];
};

} // namespace krz::detail

#endif
