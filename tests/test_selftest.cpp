// The built-in self-test's report, line by line, on both engines; and a fault injected through
// the communicator showing up as exactly one report.
#include <algorithm>
#include <string>
#include <vector>

#include "CKRZL2GBroadTools_UnitTest.h"
#include "KRZForwardingCom.h"
#include "KRZTestHarness.h"

namespace {

using Lines = std::vector<std::string>;

void Append(Lines& to, const Lines& more) { to.insert(to.end(), more.begin(), more.end()); }

// The face listing of rank r of n: two faces of four nodes, local node i is global 8r + i.
Lines Listing(int r, int n, bool swapped) {
  auto face = [&](int f, int block) {
    std::string local, global;
    for (int j = 1; j <= 4; ++j) {
      const int v = 4 * block + j;
      local += (j > 1 ? " , " : "") + std::to_string(v);
      global += (j > 1 ? " , " : "") + std::to_string(8 * r + v);
    }
    return "iFace = " + std::to_string(f) + " : Local ID(" + local + ")  Global ID(" + global + ")";
  };
  const std::string id = std::to_string(r) + "/" + std::to_string(n) + ">";
  return {"",
          "< TEST class CKRZL2GBroadTools_Face myid=" + id,
          "Total face number     = 2",
          "Each face Node number = 4",
          "Total Node number     = 8",
          face(1, swapped ? 1 : 0),
          face(2, swapped ? 0 : 1),
          "</TEST class CKRZL2GBroadTools_Face myid=" + id,
          ""};
}

// The whole report of rank r of n when every class behaves.
Lines Report(int r, int n) {
  const std::string exchange = " Testing CKRZA2BExchange_BoundaryFace::";
  Lines lines{"", "<UnitTest - L2GBroadTools >", ""};
  Append(lines, Listing(r, n, false));
  Append(lines, {"(1) Testing CKRZL2GBroadTools_Face...",
                 " (1.1) Testing CKRZL2GBroadTools_Face::GetValue_FromLocalFaceToGloblaFace()...",
                 " (1.2) Testing CKRZL2GBroadTools_Face::GetValue_FromGlobalFaceToLocalFace()...",
                 "", "(2) Testing CKRZL2GBroadTools_BoundaryFace..."});
  if (r == 0)
    lines.push_back(" (2.1) Testing "
                    "CKRZL2GBroadTools_BoundaryFace::GetGlobalFaceValue_FromLocalOwnerCell()...");
  Append(lines,
         {" (2.2) Testing "
          "CKRZL2GBroadTools_BoundaryFace::GetGlobalFaceValue_FromLocalNeighborCell()...",
          " (2.3) Testing "
          "CKRZL2GBroadTools_BoundaryFace::GetLocalNeighborCellValue_FromGlobalFaceValue()..."});
  Append(lines, Listing(r, n, true));
  Append(lines, {"", "(3) Testing class CKRZA2BExchange_BoundaryFace..."});
  const char* cases[] = {"GetBoundaryCellValue_A2B_FromFace2Neighbor",
                         "GetBoundaryCellValue_A2B_FromOwner2Neighbor",
                         "GetBoundaryCellValue_B2A_FromFace2Neighbor",
                         "GetBoundaryCellValue_B2A_FromOwner2Neighbor",
                         "GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor",
                         "GetFaceValue_A2B_FromFace2Face",
                         "GetFaceValue_A2B_FromNeighbor2Face",
                         "GetFaceValue_A2B_FromOwner2Face",
                         "GetFaceValue_B2A_FromFace2Face",
                         "GetFaceValue_B2A_FromNeighbor2Face",
                         "GetFaceValue_A2B_FromOwner2Face"};
  for (int c = 0; c < 11; ++c)
    lines.push_back(" (3." + std::to_string(c + 1) + ")" + exchange + cases[c] + "()...");
  Append(lines, {"", "</UnitTest -  L2GBroadTools >", ""});
  return lines;
}

// Corrupts the first int message of three elements that rank 1 receives holding (x, 10, 10):
// the scatter of case (1.2).
class FaultyCom : public CKRZForwardingCom {
public:
  FaultyCom(CKRZCom& inner, bool active) : CKRZForwardingCom(inner), m_bDone(!active) {}
  int Recv(int t, void* b, int c, int s, int tag, int comm) override {
    const int rc = CKRZForwardingCom::Recv(t, b, c, s, tag, comm);
    int* v = static_cast<int*>(b);
    if (!m_bDone && t == m_nTypeInt && c == 3 && v[1] == 10 && v[2] == 10) {
      v[2] = 77;
      m_bDone = true;
    }
    return rc;
  }

private:
  bool m_bDone;
};

} // namespace

KRZ_RANKS_TEST(SelfTest, ReportIsExactlyTheExpectedOneAndRepeats) {
  CKRZL2GBroadTools_UnitTest test;
  test.SetInitialize(myid, nproc, &com);
  test.Test();
  EXPECT_EQ(KRZLines(KRZTakeOutput()), Report(myid, nproc));
  test.Test(); // the same object runs again
  EXPECT_EQ(KRZLines(KRZTakeOutput()), Report(myid, nproc));
}

KRZ_RANKS_TEST(SelfTest, AFaultyTransferGivesOneReportAndTheRunGoesOn) {
  if (nproc < 2)
    return;
  FaultyCom faulty(com, myid == 1);
  CKRZL2GBroadTools_UnitTest test;
  test.SetInitialize(myid, nproc, &faulty);
  test.Test();
  Lines expected = Report(myid, nproc);
  if (myid == 1) {
    auto heading = std::find(expected.begin(), expected.end(),
                             " (1.2) Testing "
                             "CKRZL2GBroadTools_Face::GetValue_FromGlobalFaceToLocalFace()...");
    expected.insert(heading + 1,
                    {"Error!! ", "global face value is 10 , but local face value is77"});
  }
  EXPECT_EQ(KRZLines(KRZTakeOutput()), expected);
}
