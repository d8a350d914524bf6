#ifndef KRZCOM_CKRZCOM_MPI_H
#define KRZCOM_CKRZCOM_MPI_H

#ifndef OMPI_SKIP_MPICXX
#define OMPI_SKIP_MPICXX 1
#endif
#ifndef MPICH_SKIP_MPICXX
#define MPICH_SKIP_MPICXX 1
#endif
#include <mpi.h>

#include <vector>

#include "CKRZCom.h"
#include "CKRZPostingCom.h"
#include "krzcommpi_export.h"

/// How CKRZCom_MPI uses the communicator it is given.
enum class KRZComContext {
  Duplicate, ///< talk on a private duplicate (the default)
  Wrap       ///< talk on the communicator itself
};

/// CKRZCom_MPI: the communicator over an MPI communicator.
///
/// By default the object works on its own duplicate of the communicator it is given
/// (MPI_Comm_dup at construction, MPI_Comm_free at destruction; both collective over that
/// communicator), so the library's messages can never be matched by the program's own receives,
/// MPI_ANY_TAG and MPI_ANY_SOURCE included. KRZComContext::Wrap uses the communicator as given,
/// for programs that keep their traffic apart themselves; the communicator must then outlive this
/// object.
///
/// m_nCommHandle is the Fortran handle (MPI_Comm_c2f) of the communicator the library talks on
/// (the duplicate, unless wrapped); the type codes map to MPI_CHAR, MPI_INT, MPI_FLOAT and
/// MPI_DOUBLE. Each operation is the one MPI call it names (MPI_Send, MPI_Recv, MPI_Bcast,
/// MPI_Allreduce with MPI_SUM or MPI_MIN, MPI_Barrier) and returns its error code. The program
/// owns MPI_Init and MPI_Finalize, and destroys this object before MPI_Finalize (a destructor
/// that runs after it frees nothing).
///
/// Deadline (off by default): with one set, a blocking operation that has not completed after
/// that many seconds prints, on its rank, the operation, peer, type, count, tag and the number of
/// the call on this communicator, then aborts the job (MPI_Abort, error code 3): a hang under MPI
/// becomes a message, as on the threads engine. Set it with the constructor, or with the
/// environment variable KRZ3DCOMTOOLS_MPI_DEADLINE (seconds) when the constructor gets 0. With a
/// deadline the operations are MPI's non-blocking ones, polled until complete.
///
/// Received sizes are checked: a receive whose message holds another number of elements than it
/// expects (a shorter message, or one of another element type) prints a line naming source, tag
/// and both counts, and the call returns MPI_ERR_COUNT. (A longer message is MPI's own
/// MPI_ERR_TRUNCATE.)
///
/// Check mode (off by default; the environment variable KRZ3DCOMTOOLS_MPI_CHECK=1 at
/// construction): every collective first agrees with the other ranks on operation, root, element
/// type and count (one MPI_Allgather of four ints); a disagreement prints, on rank 0, the first
/// rank that differs from it, both calls, then aborts the job (MPI_Abort, error code 4), as the
/// threads engine reports a mismatched collective.
///
/// The posting interface (CKRZPostingCom) maps to MPI_Isend, MPI_Irecv, MPI_Waitall (polled with
/// MPI_Testall under a deadline) and MPI_Allgather.
///
/// Only MPI's C interface is used: this header never pulls in MPI's C++ bindings.
class KRZCOMMPI_EXPORT CKRZCom_MPI : public CKRZCom, public CKRZPostingCom {
public:
  /// Collective over `comm` when duplicating. deadlineSeconds: > 0 sets the deadline, 0 takes
  /// KRZ3DCOMTOOLS_MPI_DEADLINE from the environment (unset: off), < 0 turns it off.
  explicit CKRZCom_MPI(MPI_Comm comm = MPI_COMM_WORLD,
                       KRZComContext context = KRZComContext::Duplicate,
                       double deadlineSeconds = 0.0);
  ///@{
  /// Collective over the communicator when it was duplicated (MPI_Comm_free).
  ~CKRZCom_MPI() override;
  CKRZCom_MPI(const CKRZCom_MPI&) = delete;
  CKRZCom_MPI& operator=(const CKRZCom_MPI&) = delete;
  ///@}

  ///@{
  /// This rank's number and the rank count in the communicator. Not collective.
  int Rank() const;
  int Size() const;
  ///@}
  /// The communicator the library talks on (the duplicate unless wrapped).
  MPI_Comm Comm() const { return m_Comm; }
  /// The deadline of one blocking operation in seconds; 0 when off.
  double Deadline() const { return m_dDeadline; }

  int Send(int type, void* buf, int count, int dest, int tag, int comm) override;
  int Recv(int type, void* buf, int count, int source, int tag, int comm) override;
  int Broadcast(int type, void* buf, int count, int root, int comm) override;
  int AllSum(int type, void* in, void* out, int count, int comm) override;
  int AllMin(int type, void* in, void* out, int count, int comm) override;
  int Barrier(int comm) override;

  int PostSend(int type, const void* buf, int count, int dest, int tag) override;
  int PostRecv(int type, void* buf, int count, int source, int tag) override;
  int WaitAll() override;
  int AllGatherInt(int value, int* all) override;

private:
  struct PostedOp {
    const char* operation;
    int peer;
    int type;
    int count;
    int tag;
  };
  /// Completes `request` within the deadline, or reports the call and aborts the job.
  int Complete(MPI_Request& request, const char* operation, int peer, int type, int count, int tag,
               MPI_Status* status = MPI_STATUS_IGNORE);
  /// The deadline's report of one call, then MPI_Abort.
  void Expired(const char* operation, int peer, int type, int count, int tag);
  /// Check mode: every rank names its collective; the first disagreement aborts the job.
  void Agree(int operation, int root, int type, int count);
  /// Whether a completed receive got `count` elements of `type`; otherwise prints the line.
  bool ReceivedAsExpected(const MPI_Status& status, int source, int type, int count, int tag);

  MPI_Comm m_Comm;
  bool m_bOwnsComm;
  double m_dDeadline;                  ///< seconds; 0: blocking calls without deadline
  long long m_nCallCount;              ///< operations made so far on this communicator
  bool m_bCheck = false;               ///< check mode: collectives agree first
  std::vector<MPI_Request> m_Requests; ///< posted since the last WaitAll
  std::vector<PostedOp> m_PostedOps;   ///< what each of m_Requests is, for the checks and lines
};

#endif
