// The performance log: each rank's calls and messages per operation, nothing counted while it is
// off, and rank 0's table over the ranks. Both engines.
#include <string>
#include <vector>

#include "CCOM_BroadTools.h"
#include "CKRZPostingCom.h"
#include "KRZPerformanceLog.h"
#include "KRZTestHarness.h"

namespace {

const KRZLogEntry& Entry(const std::vector<KRZLogEntry>& log, KRZLogged operation) {
  return log[static_cast<size_t>(operation)];
}

// Three gathers and two scatters of the default relation.
void Transfers(CKRZCom& com, int myid, int nproc) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(4);
  std::vector<double> local(5, 1.0), global(static_cast<size_t>(4 * nproc) + 1, 0.0);
  double* g = global.data();
  double* l = local.data();
  for (int k = 0; k < 3; ++k)
    tools.GetGlobalArrayFromLocalArray(local.data(), g);
  for (int k = 0; k < 2; ++k)
    tools.GetLocalArrayFromGlobalArray(global.data(), l);
}

// The table's row of an operation ("" when it has none).
std::string Row(const std::string& table, const std::string& name) {
  for (const std::string& line : KRZLines(table))
    if (line.rfind(name, 0) == 0)
      return line;
  return "";
}

// Switches the log on for a test and off again however it ends.
struct LogOn {
  LogOn() { KRZSetPerformanceLog(true); }
  ~LogOn() { KRZSetPerformanceLog(false); }
};

} // namespace

TEST(PerformanceLog, CountsEachRanksCallsAndMessagesAndRankZeroPrintsTheTable) {
  LogOn on;
  KRZRunTestBody(
      [](CKRZCom& com, int myid, int nproc) {
        KRZResetPerformanceLogOfThisRank();
        Transfers(com, myid, nproc);
        const std::vector<KRZLogEntry> log = KRZPerformanceLogOfThisRank();
        const KRZLogEntry& gather = Entry(log, KRZLogged::Gather);
        const KRZLogEntry& scatter = Entry(log, KRZLogged::Scatter);
        EXPECT_EQ(gather.calls, 3);
        EXPECT_EQ(scatter.calls, 2);
        EXPECT_GT(gather.seconds, 0.0);
        EXPECT_LE(gather.waitSeconds, gather.seconds);
        // Rank 0 receives one message from every other rank per gather and sends one per scatter.
        const long long others = nproc - 1;
        EXPECT_EQ(gather.messagesReceived, myid == 0 ? 3 * others : 0);
        EXPECT_EQ(gather.messagesSent, myid == 0 ? 0 : 3);
        EXPECT_EQ(scatter.messagesSent, myid == 0 ? 2 * others : 0);
        EXPECT_EQ(scatter.messagesReceived, myid == 0 ? 0 : 2);
        // Bytes exactly: four doubles per message (a blocking message carries element 0 too).
        const long long perMessage = (dynamic_cast<CKRZPostingCom*>(&com) != nullptr ? 4 : 5) * 8;
        EXPECT_EQ(gather.bytesSent, myid == 0 ? 0 : 3 * perMessage);
        EXPECT_EQ(gather.bytesReceived, myid == 0 ? 3 * others * perMessage : 0);
        EXPECT_EQ(scatter.bytesReceived, myid == 0 ? 0 : 2 * perMessage);
        EXPECT_EQ(Entry(log, KRZLogged::A2BTransfer).calls, 0);

        // Off (process-wide: in-process ranks switch it between barriers, which count nothing).
        com.Barrier(com.m_nCommHandle);
        KRZSetPerformanceLog(false);
        Transfers(com, myid, nproc);
        EXPECT_EQ(Entry(KRZPerformanceLogOfThisRank(), KRZLogged::Gather).calls, 3);
        com.Barrier(com.m_nCommHandle);
        KRZSetPerformanceLog(true);

        const std::string table = KRZPerformanceLogReport(com, myid, nproc, false);
        if (myid != 0) {
          EXPECT_EQ(table, "");
          return;
        }
        EXPECT_NE(Row(table, "CCOM_BroadTools gather").find(" 3/3 "), std::string::npos) << table;
        EXPECT_NE(Row(table, "CCOM_BroadTools scatter").find(" 2/2 "), std::string::npos) << table;
        EXPECT_EQ(Row(table, "A/B transfers"), "") << table;
        EXPECT_EQ(KRZTakeOutput(), ""); // not printed when asked not to
      },
      0);
}
