#include "KRZSelfTest.h"

#include <iostream>
#include <sstream>

#include "CKRZCom.h"
#include "CKRZL2GBroadTools_UnitTest.h"
#include "KRZEngine.h"
#include "KRZOutputRouter.h"

namespace {

bool StartsWith(const std::string& line, const char* prefix) {
  return line.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// The lines a passing report is made of.
bool Expected(const std::string& line) {
  static const char* const kFrame[] = {"<UnitTest - L2GBroadTools >",
                                       "</UnitTest -  L2GBroadTools >",
                                       "< TEST class CKRZL2GBroadTools_Face myid=",
                                       "</TEST class CKRZL2GBroadTools_Face myid=",
                                       "Total face number     = ",
                                       "Each face Node number = ",
                                       "Total Node number     = ",
                                       "iFace = ",
                                       "(1) Testing ",
                                       "(2) Testing ",
                                       "(3) Testing "};
  if (line.empty())
    return true;
  for (const char* prefix : kFrame)
    if (StartsWith(line, prefix))
      return true;
  return false;
}

bool Heading(const std::string& line) {
  return line.size() > 3 && line[0] == ' ' && line[1] == '(' &&
         line.find(") Testing ") != std::string::npos;
}

} // namespace

KRZSelfTestCount KRZScanSelfTestReport(const std::string& report) {
  KRZSelfTestCount count;
  std::istringstream in(report);
  for (std::string line; std::getline(in, line);) {
    if (Heading(line))
      ++count.cases;
    else if (!Expected(line))
      ++count.failures;
  }
  return count;
}

int KRZRunSelfTest(const std::string& engine, int ranks) {
  bool summarised = false;
  KRZSelfTestCount total;
  int size = 0;
  const int rc = KRZRunOnEngine(engine, ranks, [&](CKRZCom& com, int myid, int nproc) {
    CKRZL2GBroadTools_UnitTest test;
    test.SetInitialize(myid, nproc, &com);
    test.Test();
    const std::string report = KRZTakeCapturedOutput();
    std::cout << report << std::flush; // back into this rank's block
    KRZSelfTestCount mine = KRZScanSelfTestReport(report);
    int counts[2] = {mine.cases, mine.failures}, sums[2] = {0, 0};
    com.AllSum(com.m_nTypeInt, counts, sums, 2, com.m_nCommHandle);
    if (myid == 0) {
      total = {sums[0], sums[1]};
      size = nproc;
      summarised = true;
    }
    return sums[1] == 0;
  });
  if (summarised)
    std::cout << "selftest: " << size << (size == 1 ? " rank, " : " ranks, ") << total.cases
              << " cases run, " << total.failures << " failure lines"
              << (rc == 0 ? "" : " -- FAILED") << std::endl;
  return rc;
}
