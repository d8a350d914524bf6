/// \file
/// KRZPerformanceLog: what the library's operations cost, per operation and rank.
///
/// Off by default, and then one test of a flag per operation and per message. Switched on by
/// KRZSetPerformanceLog(true) or by the environment (KRZ3DCOMTOOLS_LOG_VIEW=1, read at the first
/// operation), it counts for every operation of the calling rank: calls, time inside the call,
/// messages and bytes sent and received by this project's engines, and time spent waiting in them
/// (for messages, collectives, posted operations). An operation called inside another (a face
/// gather inside an A/B transfer) counts as part of the outer one.
///
/// Each rank's counts live with the thread that runs it (an in-process rank's thread, an MPI
/// process's thread): read them there, with KRZPerformanceLogOfThisRank, or let rank 0 print one
/// table with the spread over ranks with KRZPerformanceLogReport (collective), as KRZRunRanks and
/// KRZRunMPI do by themselves at the end of a run when the log is on.
#ifndef KRZCOM_KRZPERFORMANCELOG_H
#define KRZCOM_KRZPERFORMANCELOG_H

#include <string>
#include <vector>

#include "krzcom_export.h"

class CKRZCom;

/// The operations the log counts, in the order of its table.
#define KRZ_LOGGED_OPERATIONS(X)                                                                   \
  X(Gather, "CCOM_BroadTools gather")                                                              \
  X(Scatter, "CCOM_BroadTools scatter")                                                            \
  X(Collect, "collection on rank 0")                                                               \
  X(NodeMapping, "FV/MFE node mappings")                                                           \
  X(FaceSetUp, "face numbering set-up")                                                            \
  X(FaceTransfer, "face value transfers")                                                          \
  X(BoundaryFaceTransfer, "boundary-face transfers")                                               \
  X(A2BRelation, "A/B relation set-up")                                                            \
  X(A2BTransfer, "A/B transfers")

/// The operations the log counts (KRZ_LOGGED_OPERATIONS), and their number.
enum class KRZLogged : int {
#define KRZ_LOGGED_ENUM(id, text) id,
  KRZ_LOGGED_OPERATIONS(KRZ_LOGGED_ENUM)
#undef KRZ_LOGGED_ENUM
      Count
};

/// One operation's counts on one rank.
struct KRZLogEntry {
  const char* operation = "";     ///< its name in the table (static text)
  long long calls = 0;            ///< calls counted
  double seconds = 0;             ///< inside the calls
  double waitSeconds = 0;         ///< of which waiting in the engine
  long long messagesSent = 0;     ///< messages this rank sent
  long long messagesReceived = 0; ///< messages this rank received
  long long bytesSent = 0;        ///< their bytes
  long long bytesReceived = 0;    ///< their bytes
};

/// Not collective; process-wide. Switches the log on or off (the counts so far stay).
KRZCOM_EXPORT void KRZSetPerformanceLog(bool on);
/// Whether the log is on (the first call reads KRZ3DCOMTOOLS_LOG_VIEW).
KRZCOM_EXPORT bool KRZPerformanceLogOn();
///@{
/// Not collective. The calling rank's counts, one entry per operation of the list (0-based in its
/// order), and their reset.
KRZCOM_EXPORT std::vector<KRZLogEntry> KRZPerformanceLogOfThisRank();
KRZCOM_EXPORT void KRZResetPerformanceLogOfThisRank();
///@}
/// Collective over `com` (every rank, the same order as other collectives). Rank 0 receives the
/// table (every operation some rank called: calls, seconds, wait, messages and MB sent, each as
/// the minimum and maximum over ranks and their ratio) as text, and prints it unless `print` is
/// false; other ranks receive "". Communicates through `com` with the log paused.
KRZCOM_EXPORT std::string KRZPerformanceLogReport(CKRZCom& com, int myid, int nproc,
                                                  bool print = true);

namespace krz::detail {

/// The scope of one logged operation: counts the call and its time on the calling rank unless an
/// operation is already being counted there (then it is part of that one).
class KRZCOM_EXPORT CKRZLogScope {
public:
  explicit CKRZLogScope(KRZLogged operation) {
    if (KRZPerformanceLogOn())
      Open(operation);
  }
  ~CKRZLogScope() {
    if (m_pEntry != nullptr)
      Close();
  }
  CKRZLogScope(const CKRZLogScope&) = delete;
  CKRZLogScope& operator=(const CKRZLogScope&) = delete;

private:
  void Open(KRZLogged operation);
  void Close();
  KRZLogEntry* m_pEntry = nullptr;
  double m_dStart = 0;
};

/// The engines' part: a message of `bytes` sent or received inside the current operation.
KRZCOM_EXPORT void KRZLogMessage(bool sent, long long bytes);

/// The engines' part: time spent waiting inside the current operation, from construction on.
class KRZCOM_EXPORT CKRZLogWait {
public:
  CKRZLogWait();
  ~CKRZLogWait();
  CKRZLogWait(const CKRZLogWait&) = delete;
  CKRZLogWait& operator=(const CKRZLogWait&) = delete;

private:
  KRZLogEntry* m_pEntry = nullptr;
  double m_dStart = 0;
};

} // namespace krz::detail

#endif
