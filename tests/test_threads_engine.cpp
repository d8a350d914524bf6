// The in-process engine itself: message order, collectives, and the failures it turns into
// reports instead of hangs.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "CCOM_BroadTools.h"
#include "CKRZPostingCom.h"
#include "KRZForwardingCom.h"
#include "KRZRunRanks.h"

namespace {

constexpr int kTag = 10000; // any tag: the engine alone is under test

KRZRunOptions Quick(int ms = 5000) {
  KRZRunOptions o;
  o.deadline = std::chrono::milliseconds(ms);
  o.captureOutput = true;
  return o;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

} // namespace

TEST(ThreadsEngine, MessagesMatchBySourceAndArriveInOrder) {
  const KRZRunResult r = KRZRunRanks(
      3,
      [](CKRZCom& com, int myid, int) {
        const int h = com.m_nCommHandle;
        if (myid == 0) {
          int v = 0;
          com.Recv(com.m_nTypeInt, &v, 1, 2, kTag, h); // rank 1 may have sent first
          EXPECT_EQ(v, 20);
          for (int k = 0; k < 3; ++k) {
            com.Recv(com.m_nTypeInt, &v, 1, 1, kTag, h);
            EXPECT_EQ(v, 10 + k);
          }
        } else if (myid == 1) {
          for (int k = 0; k < 3; ++k) {
            int v = 10 + k;
            com.Send(com.m_nTypeInt, &v, 1, 0, kTag, h);
          }
        } else {
          int v = 20;
          com.Send(com.m_nTypeInt, &v, 1, 0, kTag, h);
        }
      },
      Quick());
  EXPECT_TRUE(r.ok) << r.report;
}

TEST(ThreadsEngine, CollectivesCombineEveryRank) {
  const KRZRunResult r = KRZRunRanks(
      4,
      [](CKRZCom& com, int myid, int nproc) {
        const int h = com.m_nCommHandle;
        for (int root = 0; root < nproc; ++root) {
          double v[2] = {myid == root ? 1.5 * root : -1.0, myid == root ? 2.0 : -1.0};
          com.Broadcast(com.m_nTypeDouble, v, 2, root, h);
          EXPECT_EQ(v[0], 1.5 * root);
          EXPECT_EQ(v[1], 2.0);
        }
        int in = myid + 1, sum = 0, min = 0;
        com.AllSum(com.m_nTypeInt, &in, &sum, 1, h);
        com.AllMin(com.m_nTypeInt, &in, &min, 1, h);
        EXPECT_EQ(sum, nproc * (nproc + 1) / 2);
        EXPECT_EQ(min, 1);
        com.Barrier(h);
      },
      Quick());
  EXPECT_TRUE(r.ok) << r.report;
}

TEST(ThreadsEngine, TypeOrCountMismatchIsReportedByName) {
  const KRZRunResult r = KRZRunRanks(
      2,
      [](CKRZCom& com, int myid, int) {
        int i[3] = {1, 2, 3};
        double d[3] = {};
        if (myid == 1)
          com.Send(com.m_nTypeInt, i, 3, 0, kTag, com.m_nCommHandle);
        else
          com.Recv(com.m_nTypeDouble, d, 3, 1, kTag, com.m_nCommHandle);
      },
      Quick());
  ASSERT_FALSE(r.ok);
  EXPECT_TRUE(Contains(r.report, "message mismatch: rank 1 called Send(dest=0, tag=10000, "
                                 "type=int, count=3), rank 0 called Recv(source=1, tag=10000, "
                                 "type=double, count=3)"))
      << r.report;

  const KRZRunResult c = KRZRunRanks(
      2,
      [](CKRZCom& com, int myid, int) {
        int i[3] = {1, 2, 3};
        com.Broadcast(com.m_nTypeInt, i, myid == 0 ? 3 : 2, 0, com.m_nCommHandle);
      },
      Quick());
  ASSERT_FALSE(c.ok);
  EXPECT_TRUE(Contains(c.report, "collective mismatch")) << c.report;
  EXPECT_TRUE(Contains(c.report, "Broadcast(root=0, type=int, count=3)")) << c.report;
  EXPECT_TRUE(Contains(c.report, "Broadcast(root=0, type=int, count=2)")) << c.report;
}

TEST(ThreadsEngine, DifferentCollectivesAreAMismatch) {
  const KRZRunResult r = KRZRunRanks(
      3,
      [](CKRZCom& com, int myid, int) {
        int v = 1, out = 0;
        if (myid == 2)
          com.Barrier(com.m_nCommHandle);
        else
          com.AllSum(com.m_nTypeInt, &v, &out, 1, com.m_nCommHandle);
      },
      Quick());
  ASSERT_FALSE(r.ok);
  EXPECT_TRUE(Contains(r.report, "collective mismatch")) << r.report;
  EXPECT_TRUE(Contains(r.report, "Barrier()")) << r.report;
  EXPECT_TRUE(Contains(r.report, "AllSum(type=int, count=1)")) << r.report;
}

TEST(ThreadsEngine, ARankThatSkipsACollectiveIsADeadlockNotAHang) {
  const auto start = std::chrono::steady_clock::now();
  const KRZRunResult r = KRZRunRanks(
      3,
      [](CKRZCom& com, int myid, int) {
        if (myid != 1)
          com.Barrier(com.m_nCommHandle);
      },
      Quick(60000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  ASSERT_FALSE(r.ok);
  EXPECT_TRUE(Contains(r.report, "deadlock")) << r.report;
  EXPECT_TRUE(Contains(r.report, "rank 0: blocked in Barrier()")) << r.report;
  EXPECT_TRUE(Contains(r.report, "rank 1: finished")) << r.report;
}

TEST(ThreadsEngine, AWaitPastTheDeadlineAbortsTheWorld) {
  const KRZRunResult r = KRZRunRanks(
      2,
      [](CKRZCom& com, int myid, int) {
        int v = 0;
        if (myid == 0)
          com.Recv(com.m_nTypeInt, &v, 1, 1, kTag, com.m_nCommHandle);
        else {
          std::this_thread::sleep_for(std::chrono::milliseconds(600));
          com.Send(com.m_nTypeInt, &v, 1, 0, kTag, com.m_nCommHandle);
        }
      },
      Quick(100));
  ASSERT_FALSE(r.ok);
  EXPECT_TRUE(Contains(r.report, "deadline passed: rank 0 waited 100 ms in Recv(source=1, "
                                 "tag=10000, type=int, count=1)"))
      << r.report;
  EXPECT_TRUE(Contains(r.report, "rank 1: running")) << r.report;
}

TEST(ThreadsEngine, ARankThatThrowsFailsTheRunAndReleasesTheOthers) {
  const KRZRunResult r = KRZRunRanks(
      3,
      [](CKRZCom& com, int myid, int) {
        if (myid == 1)
          throw std::runtime_error("boom");
        int v = 0;
        com.Recv(com.m_nTypeInt, &v, 1, 1, kTag, com.m_nCommHandle);
      },
      Quick(60000));
  ASSERT_FALSE(r.ok);
  EXPECT_TRUE(Contains(r.report, "rank 1 failed: exception: boom")) << r.report;
}

TEST(ThreadsEngine, BadArgumentsAreReportedNotFollowed) {
  const KRZRunResult r = KRZRunRanks(
      2,
      [](CKRZCom& com, int myid, int) {
        int v = 0;
        if (myid == 0)
          com.Send(com.m_nTypeInt, &v, 1, 5, kTag, com.m_nCommHandle);
      },
      Quick());
  ASSERT_FALSE(r.ok);
  EXPECT_TRUE(Contains(r.report, "naming a rank outside 0..1")) << r.report;
}

TEST(ThreadsEngine, OutputIsCapturedPerRank) {
  const KRZRunResult r = KRZRunRanks(
      3,
      [](CKRZCom& com, int myid, int) {
        std::cout << "rank " << myid << " line" << std::endl;
        com.Barrier(com.m_nCommHandle);
      },
      Quick());
  ASSERT_TRUE(r.ok) << r.report;
  ASSERT_EQ(r.output.size(), 3u);
  for (int p = 0; p < 3; ++p)
    EXPECT_EQ(r.output[static_cast<size_t>(p)], "rank " + std::to_string(p) + " line\n");
}

namespace {

// Throws from the communicator at rank 1's first Send: a rank failing inside a transfer.
class ThrowingCom : public CKRZForwardingCom {
public:
  using CKRZForwardingCom::CKRZForwardingCom;
  int Send(int, void*, int, int, int, int) override { throw std::runtime_error("link lost"); }
};

// A gather of one double per rank on the default relation; the array the gather allocates on
// rank 0 is released even when the world's abort unwinds the rank.
void GatherOne(CKRZCom& com, int myid, int nproc) {
  CCOM_BroadTools tools;
  tools.SetInitialize(myid, nproc, &com);
  tools.SetMapRelation_DefaultRelation(1);
  double local[2] = {0, 1};
  double* global = nullptr;
  const std::unique_ptr<double*, void (*)(double**)> release(&global,
                                                             [](double** p) { delete[] * p; });
  tools.GetGlobalArrayFromLocalArray(local, global);
}

} // namespace

TEST(ThreadsEngine, ARankFailingInsideAGatherEndsTheRunWithItsReason) {
  const KRZRunResult r = KRZRunRanks(
      3,
      [](CKRZCom& com, int myid, int nproc) {
        // Every rank talks through a forwarding communicator (all of one kind, as the library
        // expects); rank 1's throws.
        CKRZForwardingCom plain(com);
        ThrowingCom throwing(com);
        GatherOne(myid == 1 ? throwing : plain, myid, nproc);
      },
      Quick(60000));
  ASSERT_FALSE(r.ok);
  EXPECT_TRUE(Contains(r.report, "rank 1 failed: exception: link lost")) << r.report;
  EXPECT_TRUE(Contains(r.report, "rank 1: failed")) << r.report;
}

TEST(ThreadsEngine, ARankReturningBeforeATransferIsReportedAtOnce) {
  const KRZRunResult r = KRZRunRanks(
      4,
      [](CKRZCom& com, int myid, int nproc) {
        if (myid != 3) // rank 3 leaves before the gather
          GatherOne(com, myid, nproc);
      },
      Quick(60000));
  ASSERT_FALSE(r.ok);
  EXPECT_TRUE(Contains(r.report, "deadlock")) << r.report;
  EXPECT_TRUE(Contains(r.report, "rank 3: finished")) << r.report;
}

// Posted operations: every rank sends to and receives from every other at once, mixed with a
// blocking exchange, and gathers one int from every rank.
TEST(ThreadsEngine, PostedOperationsMatchInOrderAndAllGatherCollectsEveryRank) {
  const KRZRunResult r = KRZRunRanks(
      4,
      [](CKRZCom& com, int myid, int nproc) {
        auto& post = dynamic_cast<CKRZPostingCom&>(com);
        std::vector<double> out(static_cast<size_t>(2 * nproc)), in(out.size(), -1.0);
        for (int p = 0; p < nproc; ++p) {
          out[static_cast<size_t>(2 * p)] = 100.0 * myid + p;
          out[static_cast<size_t>(2 * p + 1)] = -100.0 * myid - p;
          if (p == myid)
            continue;
          // Two messages with the same source and tag: first posted, first matched.
          post.PostRecv(com.m_nTypeDouble, &in[static_cast<size_t>(2 * p)], 1, p, kTag);
          post.PostRecv(com.m_nTypeDouble, &in[static_cast<size_t>(2 * p + 1)], 1, p, kTag);
          post.PostSend(com.m_nTypeDouble, &out[static_cast<size_t>(2 * p)], 1, p, kTag);
          post.PostSend(com.m_nTypeDouble, &out[static_cast<size_t>(2 * p + 1)], 1, p, kTag);
        }
        EXPECT_EQ(post.WaitAll(), 0);
        for (int p = 0; p < nproc; ++p)
          if (p != myid) {
            EXPECT_EQ(in[static_cast<size_t>(2 * p)], 100.0 * p + myid);
            EXPECT_EQ(in[static_cast<size_t>(2 * p + 1)], -100.0 * p - myid);
          }
        // A posted receive takes a blocking send.
        int v = myid;
        if (myid == 1)
          com.Send(com.m_nTypeInt, &v, 1, 0, kTag, com.m_nCommHandle);
        if (myid == 0) {
          post.PostRecv(com.m_nTypeInt, &v, 1, 1, kTag);
          post.WaitAll();
          EXPECT_EQ(v, 1);
        }
        std::vector<int> all(static_cast<size_t>(nproc), -1);
        EXPECT_EQ(post.AllGatherInt(10 * myid + 1, all.data()), 0);
        for (int p = 0; p < nproc; ++p)
          EXPECT_EQ(all[static_cast<size_t>(p)], 10 * p + 1);
      },
      Quick());
  EXPECT_TRUE(r.ok) << r.report;
}

TEST(ThreadsEngine, PostedOperationsThatCanNeverCompleteAreReportedByName) {
  // A posted send nobody receives, while the receiver waits for a message nobody sends.
  const KRZRunResult r = KRZRunRanks(
      2,
      [](CKRZCom& com, int myid, int) {
        auto& post = dynamic_cast<CKRZPostingCom&>(com);
        double d[2] = {1.0, 2.0};
        if (myid == 0)
          post.PostSend(com.m_nTypeDouble, d, 2, 1, kTag);
        else
          post.PostRecv(com.m_nTypeDouble, d, 2, 0, kTag + 1);
        post.WaitAll();
      },
      Quick());
  ASSERT_FALSE(r.ok);
  EXPECT_TRUE(Contains(r.report, "deadlock")) << r.report;
  EXPECT_TRUE(Contains(r.report, "rank 0: blocked in WaitAll(Send(dest=1, tag=10000, type=double, "
                                 "count=2) not yet received)"))
      << r.report;
  EXPECT_TRUE(Contains(r.report, "rank 1: blocked in WaitAll(Recv(source=0, tag=10001, "
                                 "type=double, count=2) not yet sent)"))
      << r.report;

  // Both sides agree on the count, and a rank may not leave with operations still posted.
  const KRZRunResult m = KRZRunRanks(
      2,
      [](CKRZCom& com, int myid, int) {
        auto& post = dynamic_cast<CKRZPostingCom&>(com);
        double d[3] = {};
        if (myid == 0)
          post.PostSend(com.m_nTypeDouble, d, 3, 1, kTag);
        else
          post.PostRecv(com.m_nTypeDouble, d, 2, 0, kTag);
        post.WaitAll();
      },
      Quick());
  ASSERT_FALSE(m.ok);
  EXPECT_TRUE(Contains(m.report, "message mismatch: rank 0 called Send(dest=1, tag=10000, "
                                 "type=double, count=3), rank 1 posted Recv(source=0, tag=10000, "
                                 "type=double, count=2)"))
      << m.report;
  // A mismatch found after other messages were already claimed by the same wait: every sender
  // is released (none waits for a copy that will never come).
  const KRZRunResult c = KRZRunRanks(
      3,
      [](CKRZCom& com, int myid, int) {
        auto& post = dynamic_cast<CKRZPostingCom&>(com);
        double d[4] = {};
        if (myid == 1) {
          post.PostRecv(com.m_nTypeDouble, d, 2, 0, kTag);
          post.PostRecv(com.m_nTypeDouble, d + 2, 2, 2, kTag);
        } else {
          post.PostSend(com.m_nTypeDouble, d, myid == 0 ? 2 : 1, 1, kTag);
        }
        post.WaitAll();
      },
      Quick());
  ASSERT_FALSE(c.ok);
  EXPECT_TRUE(Contains(c.report, "message mismatch: rank 2 called Send(dest=1")) << c.report;

  const KRZRunResult l = KRZRunRanks(
      2,
      [](CKRZCom& com, int myid, int) {
        static double d = 1.0;
        if (myid == 0)
          dynamic_cast<CKRZPostingCom&>(com).PostSend(com.m_nTypeDouble, &d, 1, 1, kTag);
      },
      Quick());
  ASSERT_FALSE(l.ok);
  EXPECT_TRUE(Contains(l.report, "rank 0 returned with posted operations it never waited for"))
      << l.report;
}
