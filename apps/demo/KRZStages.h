// The stages of a checked run (the demo, `krz3d couple`): each stage is timed between barriers,
// its wrong-value count is summed over the ranks, and rank 0 prints a line as the stage ends and
// keeps a row for the report.
#ifndef KRZ_APPS_DEMO_KRZSTAGES_H
#define KRZ_APPS_DEMO_KRZSTAGES_H

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "CKRZCom.h"
#include "KRZMeasure.h"

struct KRZStageRow {
  std::string what;
  double ms = 0;
  std::string check; ///< "ok", "-", or what was wrong
};

class KRZStages {
public:
  KRZStages(CKRZCom& com, int myid, std::vector<KRZStageRow>& rows)
      : m_Com(com), m_nMyid(myid), m_Rows(rows) {}

  void Start() {
    m_Com.Barrier(m_Com.m_nCommHandle);
    m_Start = krz::measure::Clock::now();
  }
  double Stop() {
    m_Com.Barrier(m_Com.m_nCommHandle);
    return krz::measure::Ms(m_Start, krz::measure::Clock::now());
  }
  /// Collective: sums `wrong` over the ranks; rank 0 prints and keeps the row.
  bool Record(const std::string& what, double ms, int wrong, bool checked = true) {
    int all = 0;
    m_Com.AllSum(m_Com.m_nTypeInt, &wrong, &all, 1, m_Com.m_nCommHandle);
    const std::string check = !checked ? "-" : all == 0 ? "ok" : std::to_string(all) + " wrong";
    if (m_nMyid == 0) {
      m_Rows.push_back({what, ms, check});
      char line[200];
      std::snprintf(line, sizeof line, "%-56s %10.2f ms  %s", what.c_str(), ms, check.c_str());
      std::cout << line << std::endl;
    }
    m_bOk = m_bOk && all == 0;
    return all == 0;
  }
  bool Ok() const { return m_bOk; }

private:
  CKRZCom& m_Com;
  int m_nMyid;
  std::vector<KRZStageRow>& m_Rows;
  krz::measure::Clock::time_point m_Start;
  bool m_bOk = true;
};

#endif
