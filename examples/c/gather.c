/* A gather and a scatter from C on MPI: rank p owns global items 2p+1 and 2p+2. */
#include <mpi.h>
#include <stdio.h>
#include <stdlib.h>

#include <krz3dcomtools.h>

#define CHECK(call)                                                                                \
  do {                                                                                             \
    if ((call) != KRZ_OK) {                                                                        \
      fprintf(stderr, "%s\n", krz_last_error());                                                   \
      MPI_Abort(MPI_COMM_WORLD, 1);                                                                \
    }                                                                                              \
  } while (0)

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  krz_com* com = NULL;
  CHECK(krz_com_create_mpi(MPI_COMM_WORLD, &com)); /* the library's own duplicate */
  int myid = 0, nproc = 1;
  CHECK(krz_com_rank(com, &myid));
  CHECK(krz_com_size(com, &nproc));

  krz_broadtools* tools = NULL;
  CHECK(krz_broadtools_create(&tools));
  CHECK(krz_broadtools_SetInitialize(tools, myid, nproc, com));
  CHECK(krz_broadtools_SetMapRelation_DefaultRelation(tools, 2));

  double local[3] = {0.0, 10.0 * myid + 1, 10.0 * myid + 2}; /* element 0 belongs to no item */
  double* global = myid == 0 ? calloc((size_t)(2 * nproc + 1), sizeof(double)) : NULL;
  CHECK(krz_broadtools_gather_double(tools, local, global));
  int ok = 1;
  if (myid == 0)
    for (int i = 1; i <= 2 * nproc; ++i)
      global[i] *= 2.0; /* work on the global array */
  double back[3] = {0.0, 0.0, 0.0};
  CHECK(krz_broadtools_scatter_double(tools, global, back));
  ok = back[1] == 2.0 * local[1] && back[2] == 2.0 * local[2];

  int all = 0;
  MPI_Allreduce(&ok, &all, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  if (myid == 0)
    printf("gather.c: %d ranks, %s\n", nproc, all ? "ok" : "WRONG");
  free(global);
  CHECK(krz_broadtools_destroy(tools));
  CHECK(krz_com_destroy(com));
  MPI_Finalize();
  return all ? 0 : 1;
}
