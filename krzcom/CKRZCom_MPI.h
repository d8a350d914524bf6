// CKRZCom_MPI: the communicator over an MPI communicator.
//
// m_nCommHandle is the communicator's Fortran handle (MPI_Comm_c2f); the type codes map to
// MPI_CHAR, MPI_INT, MPI_FLOAT and MPI_DOUBLE. Each operation is the one MPI call it names
// (MPI_Send, MPI_Recv, MPI_Bcast, MPI_Allreduce with MPI_SUM or MPI_MIN, MPI_Barrier) and
// returns its error code. The program owns MPI_Init and MPI_Finalize; the communicator passed
// in must outlive this object, which neither duplicates nor frees it.
#ifndef KRZCOM_CKRZCOM_MPI_H
#define KRZCOM_CKRZCOM_MPI_H

#include <mpi.h>

#include "CKRZCom.h"
#include "krzcommpi_export.h"

class KRZCOMMPI_EXPORT CKRZCom_MPI : public CKRZCom {
public:
  explicit CKRZCom_MPI(MPI_Comm comm = MPI_COMM_WORLD);
  ~CKRZCom_MPI() override;

  int Rank() const;
  int Size() const;

  int Send(int type, void* buf, int count, int dest, int tag, int comm) override;
  int Recv(int type, void* buf, int count, int source, int tag, int comm) override;
  int Broadcast(int type, void* buf, int count, int root, int comm) override;
  int AllSum(int type, void* in, void* out, int count, int comm) override;
  int AllMin(int type, void* in, void* out, int count, int comm) override;
  int Barrier(int comm) override;
};

#endif
