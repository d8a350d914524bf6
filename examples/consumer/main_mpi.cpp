// A gather on MPI through the installed library, while the program has a receive of its own
// pending on MPI_COMM_WORLD with MPI_ANY_TAG: the library talks on its own duplicate of the
// communicator, so that receive is left for the program's message.
#include <CCOM_BroadTools.h>
#include <CKRZCom_MPI.h>

#include <iostream>

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  int ok = 1;
  {
    CKRZCom_MPI com(MPI_COMM_WORLD);
    const int myid = com.Rank(), nproc = com.Size();
    int mine = -1;
    MPI_Request request = MPI_REQUEST_NULL;
    if (myid == 0 && nproc > 1)
      MPI_Irecv(&mine, 1, MPI_INT, MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &request);

    CCOM_BroadTools tools;
    tools.SetInitialize(myid, nproc, &com);
    tools.SetMapRelation_DefaultRelation(2); // rank p holds global items 2p+1, 2p+2
    double local[3] = {0.0, 10.0 * myid + 1, 10.0 * myid + 2};
    for (int round = 0; round < 2; ++round) {
      double* global = nullptr;
      tools.GetGlobalArrayFromLocalArray(local, global);
      if (myid == 0)
        for (int p = 0; p < nproc; ++p)
          if (global[2 * p + 1] != 10.0 * p + 1 || global[2 * p + 2] != 10.0 * p + 2)
            ok = 0;
      delete[] global;
    }
    if (myid == 1) {
      int message = 42;
      MPI_Send(&message, 1, MPI_INT, 0, 7, MPI_COMM_WORLD);
    }
    if (myid == 0 && nproc > 1) {
      MPI_Wait(&request, MPI_STATUS_IGNORE);
      if (mine != 42)
        ok = 0;
    }
    if (myid == 0)
      std::cout << "consumer_mpi: " << nproc << " ranks, gathers and the program's own message "
                << (ok != 0 ? "ok" : "WRONG") << std::endl;
  }
  int all = 0;
  MPI_Allreduce(&ok, &all, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  MPI_Finalize();
  return all != 0 ? 0 : 1;
}
