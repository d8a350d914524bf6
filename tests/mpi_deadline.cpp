// A rank that skips a gather under MPI: with a deadline set, the waiting rank reports the call it
// is stuck in and aborts the job, instead of hanging. Run under mpiexec -n 2 with
// KRZ3DCOMTOOLS_MPI_DEADLINE set; CTest checks the line.
#include <mpi.h>

#include "CCOM_BroadTools.h"
#include "CKRZCom_MPI.h"

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  {
    CKRZCom_MPI com(MPI_COMM_WORLD);
    CCOM_BroadTools tools;
    tools.SetInitialize(com.Rank(), com.Size(), &com);
    tools.SetMapRelation_DefaultRelation(2);
    double local[3] = {0, 1, 2};
    double* global = nullptr;
    tools.GetDimension_Local(0); // every rank takes part in the relation's distribution
    if (com.Rank() != 1)
      tools.GetGlobalArrayFromLocalArray(local, global); // rank 1 never sends
    delete[] global;
    MPI_Barrier(MPI_COMM_WORLD); // rank 1 waits here for rank 0, which is aborted
  }
  MPI_Finalize();
  return 0;
}
