// The MPI engine checks the size of what it received: a message of another element type or a
// shorter one than the receive expects is reported (source, tag, both counts) and the call fails,
// blocking or posted. Run under mpiexec -n 2; prints "size check: ok" when every case was caught.
// With the argument "collective" (and KRZ3DCOMTOOLS_MPI_CHECK=1) the two ranks broadcast
// different counts instead: check mode reports it and aborts the job.
#include <mpi.h>

#include <cstdio>
#include <string>

#include "CKRZCom_MPI.h"

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  int failed = 0;
  if (argc > 1 && std::string(argv[1]) == "collective") {
    CKRZCom_MPI com(MPI_COMM_WORLD);
    int values[3] = {1, 2, 3};
    com.Broadcast(com.m_nTypeInt, values, com.Rank() == 0 ? 3 : 2, 0, com.m_nCommHandle);
    std::printf("check mode let a mismatched broadcast through\n");
    MPI_Finalize();
    return 1;
  }
  {
    CKRZCom_MPI com(MPI_COMM_WORLD);
    const int h = com.m_nCommHandle;
    float f[3] = {11, 12, 13};
    double d[3] = {1, 2, 3};
    if (com.Rank() == 1) {
      com.Send(com.m_nTypeFloat, f, 3, 0, 7, h);  // float where double is expected
      com.Send(com.m_nTypeDouble, d, 2, 0, 8, h); // two where three are expected
      com.PostSend(com.m_nTypeDouble, d, 2, 0, 9);
      failed |= com.WaitAll() != 0;
      com.Send(com.m_nTypeDouble, d, 3, 0, 10, h); // as expected
    } else if (com.Rank() == 0) {
      double in[3] = {};
      failed |= com.Recv(com.m_nTypeDouble, in, 3, 1, 7, h) != MPI_ERR_COUNT;
      failed |= com.Recv(com.m_nTypeDouble, in, 3, 1, 8, h) != MPI_ERR_COUNT;
      com.PostRecv(com.m_nTypeDouble, in, 3, 1, 9);
      failed |= com.WaitAll() == 0;
      failed |= com.Recv(com.m_nTypeDouble, in, 3, 1, 10, h) != MPI_SUCCESS;
    }
  }
  int all = 0;
  MPI_Allreduce(&failed, &all, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
  int rank = 0;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  if (rank == 0)
    std::printf("size check: %s\n", all != 0 ? "FAILED" : "ok");
  MPI_Finalize();
  return all;
}
