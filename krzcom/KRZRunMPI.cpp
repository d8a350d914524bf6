#include "KRZRunMPI.h"

#include <iostream>
#include <sstream>

#include "CKRZCom_MPI.h"
#include "KRZPerformanceLog.h"

KRZMPIRunResult KRZRunOnMPIWorld(const KRZMPIRankFunction& fn, bool capture) {
  KRZMPIRunResult result;
  {
    CKRZCom_MPI com(MPI_COMM_WORLD);
    std::stringbuf captured;
    std::streambuf* previous = capture ? std::cout.rdbuf(&captured) : nullptr;
    try {
      result.mine = fn(com, com.Rank(), com.Size());
      if (KRZPerformanceLogOn()) // the run's table, printed by rank 0
        KRZPerformanceLogReport(com, com.Rank(), com.Size());
    } catch (...) {
      if (capture)
        std::cout.rdbuf(previous);
      throw;
    }
    if (capture) {
      std::cout.rdbuf(previous);
      result.output = captured.str();
    }
  }
  int mine = result.mine ? 1 : 0, all = 0;
  MPI_Allreduce(&mine, &all, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  result.ok = all != 0;
  return result;
}
