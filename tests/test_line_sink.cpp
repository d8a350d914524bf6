// The library's lines routed to a program's sink: whole, without the newline, each with the rank
// that printed it; back on standard output once the sink is removed. Both engines.
#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "CCOM_BroadTools.h"
#include "KRZLineSink.h"
#include "KRZTestHarness.h"

namespace {

struct Collected {
  std::mutex mutex;
  std::vector<std::pair<int, std::string>> lines; ///< (rank, line) as the sink got them
  std::vector<int> ranks;                         ///< the rank of every line the bodies printed
};

void Collect(int rank, const char* line, void* user) {
  auto* c = static_cast<Collected*>(user);
  std::lock_guard<std::mutex> lock(c->mutex);
  c->lines.emplace_back(rank, line);
}

// Removes the sink however the test ends.
struct SinkGuard {
  explicit SinkGuard(Collected& c) { KRZSetLineSink(&Collect, &c); }
  ~SinkGuard() { KRZSetLineSink(nullptr, nullptr); }
};

// One line on every rank: a split gather ended that never began.
void PrintOneLine(CKRZCom& com, int myid, int nproc) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  double local[2] = {0, 1};
  double* global = nullptr;
  tools.GetGlobalArrayFromLocalArray_End(local, global);
}

const char* const kLine = "GetGlobalArrayFromLocalArray_End: no _Begin before it (or the object "
                          "was copied since); nothing written";

} // namespace

TEST(LineSink, EveryLineGoesWholeToTheSinkWithItsRankAndBackToStandardOutput) {
  Collected c;
  {
    SinkGuard guard(c);
    KRZRunTestBody(
        [&c](CKRZCom& com, int myid, int nproc) {
          PrintOneLine(com, myid, nproc);
          EXPECT_EQ(KRZTakeOutput(), ""); // nothing on standard output
          std::lock_guard<std::mutex> lock(c.mutex);
          c.ranks.push_back(myid);
        },
        0);
  }
  std::vector<int> ranks;
  for (const auto& [rank, line] : c.lines) {
    EXPECT_EQ(line, kLine);
    ranks.push_back(rank);
  }
  std::sort(ranks.begin(), ranks.end());
  std::sort(c.ranks.begin(), c.ranks.end());
  EXPECT_EQ(ranks, c.ranks);

  KRZRunTestBody(
      [](CKRZCom& com, int myid, int nproc) {
        PrintOneLine(com, myid, nproc);
        EXPECT_EQ(KRZTakeOutput(), std::string(kLine) + "\n");
      },
      0);
  EXPECT_EQ(c.lines.size(), c.ranks.size()); // the sink got nothing more
}

TEST(LineSink, ALineWhoseSinkThrowsGoesToStandardOutput) {
  KRZSetLineSink([](int, const char*, void*) { throw 1; }, nullptr);
  KRZRunTestBody(
      [](CKRZCom& com, int myid, int nproc) {
        PrintOneLine(com, myid, nproc);
        EXPECT_EQ(KRZTakeOutput(), std::string(kLine) + "\n");
      },
      0);
  KRZSetLineSink(nullptr, nullptr);
}
