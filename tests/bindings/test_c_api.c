/* The C API on every engine: `test_c_api threads` runs the cases on 1 to 5 in-process ranks,
 * `mpiexec -n N test_c_api mpi` on MPI. Cases: gather and scatter of all five element types
 * through a random relation, node collection, face numbering, one A/B transfer each way, and
 * bad input (null handles and arrays, negative counts, ranks out of range, unknown kinds).
 * Exit status 0 when every rank passed. */
#ifdef KRZ_TEST_WITH_MPI
#include <mpi.h>
#endif
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <krz3dcomtools.h>

typedef struct {
  int failures;
  int myid;
} Check;

#define EXPECT(c, cond)                                                                            \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      printf("rank %d: %s:%d: %s (%s)\n", (c)->myid, __FILE__, __LINE__, #cond, krz_last_error()); \
      (c)->failures++;                                                                             \
    }                                                                                              \
  } while (0)

/* A permutation of 1..n, the same on every rank. */
static void Permutation(int n, int* perm) {
  unsigned s = 12345u;
  for (int i = 0; i < n; ++i)
    perm[i] = i + 1;
  for (int i = n - 1; i > 0; --i) {
    s = s * 1103515245u + 12345u;
    int j = (int)((s >> 8) % (unsigned)(i + 1));
    int t = perm[i];
    perm[i] = perm[j];
    perm[j] = t;
  }
}

static int Offset(int p) { return p * (p + 5) / 2; } /* rank p holds 3 + p items */

#define TRANSFER_CASE(T, suffix, VALUE)                                                            \
  static void Transfer_##suffix(Check* c, krz_broadtools* tools, int myid, int nproc,              \
                                const int* perm) {                                                 \
    int n = 3 + myid, nG = Offset(nproc);                                                          \
    T* local = calloc((size_t)n + 1, sizeof(T));                                                   \
    T* global = calloc((size_t)nG + 1, sizeof(T));                                                 \
    for (int i = 1; i <= n; ++i)                                                                   \
      local[i] = (T)(VALUE(myid, i));                                                              \
    EXPECT(c, krz_broadtools_gather_##suffix(tools, local, global) == KRZ_OK);                     \
    if (myid == 0)                                                                                 \
      for (int p = 0; p < nproc; ++p)                                                              \
        for (int i = 1; i <= 3 + p; ++i)                                                           \
          EXPECT(c, global[perm[Offset(p) + i - 1]] == (T)(VALUE(p, i)));                          \
    T* back = calloc((size_t)n + 1, sizeof(T));                                                    \
    EXPECT(c, krz_broadtools_scatter_##suffix(tools, global, back) == KRZ_OK);                     \
    for (int i = 1; i <= n; ++i)                                                                   \
      EXPECT(c, back[i] == local[i]);                                                              \
    /* The same split in two halves, with a null target allocated and released inside. */          \
    T* global2 = calloc((size_t)nG + 1, sizeof(T));                                                \
    T* back2 = calloc((size_t)n + 1, sizeof(T));                                                   \
    EXPECT(c, krz_broadtools_gather_begin_##suffix(tools, local, global2) == KRZ_OK);              \
    EXPECT(c, krz_broadtools_gather_end_##suffix(tools, local, global2) == KRZ_OK);                \
    EXPECT(c, memcmp(global2, global, sizeof(T) * (size_t)(myid == 0 ? nG + 1 : 0)) == 0);         \
    EXPECT(c, krz_broadtools_scatter_begin_##suffix(tools, global2, back2) == KRZ_OK);             \
    EXPECT(c, krz_broadtools_scatter_end_##suffix(tools, global2, back2) == KRZ_OK);               \
    EXPECT(c, memcmp(back2 + 1, local + 1, sizeof(T) * (size_t)n) == 0);                           \
    EXPECT(c, krz_broadtools_scatter_begin_##suffix(tools, global2, NULL) == KRZ_ERR_NULL_ARRAY);  \
    EXPECT(c, krz_broadtools_scatter_end_##suffix(tools, global2, NULL) == KRZ_ERR_NULL_ARRAY);    \
    EXPECT(c, krz_broadtools_gather_end_##suffix(tools, local, global2) == KRZ_ERR_FAILED);        \
    EXPECT(c, strstr(krz_last_error(), "gather_end") != NULL);                                     \
    free(local);                                                                                   \
    free(global);                                                                                  \
    free(back);                                                                                    \
    free(global2);                                                                                 \
    free(back2);                                                                                   \
  }
#define NUMBER(p, i) (100 * (p) + (i))
#define FLAG(p, i) (((p) + (i)) % 2 == 0)
#define LETTER(p, i) ('a' + (p) + (i))
TRANSFER_CASE(double, double, NUMBER)
TRANSFER_CASE(float, float, NUMBER)
TRANSFER_CASE(int, int, NUMBER)
TRANSFER_CASE(bool, bool, FLAG)
TRANSFER_CASE(char, char, LETTER)

static void Transfers(Check* c, krz_com* com, int myid, int nproc) {
  int nG = Offset(nproc);
  int* perm = malloc(sizeof(int) * (size_t)nG);
  int* counts = malloc(sizeof(int) * (size_t)nproc);
  Permutation(nG, perm);
  for (int p = 0; p < nproc; ++p)
    counts[p] = 3 + p;
  krz_broadtools* tools = NULL;
  EXPECT(c, krz_broadtools_create(&tools) == KRZ_OK);
  EXPECT(c, krz_broadtools_SetInitialize(tools, myid, nproc, com) == KRZ_OK);
  EXPECT(c, krz_broadtools_SetMapRelation_Flat(tools, nG, counts, perm) == KRZ_OK);
  Transfer_double(c, tools, myid, nproc, perm);
  Transfer_float(c, tools, myid, nproc, perm);
  Transfer_int(c, tools, myid, nproc, perm);
  Transfer_bool(c, tools, myid, nproc, perm);
  Transfer_char(c, tools, myid, nproc, perm);
  int n = -1;
  EXPECT(c, krz_broadtools_GetDimension_Local(tools, myid, &n) == KRZ_OK && n == 3 + myid);

  /* A null local array on the last rank: every rank completes, that rank is told. */
  double* local = calloc((size_t)(3 + myid) + 1, sizeof(double));
  double* global = calloc((size_t)nG + 1, sizeof(double));
  for (int i = 1; i <= 3 + myid; ++i)
    local[i] = 7.0;
  int status = krz_broadtools_gather_double(tools, myid == nproc - 1 ? NULL : local, global);
  EXPECT(c, status == (myid == nproc - 1 ? KRZ_ERR_NULL_ARRAY : KRZ_OK));
  if (myid == 0)
    for (int i = 1; i <= 3 + nproc - 1; ++i)
      EXPECT(c, global[perm[Offset(nproc - 1) + i - 1]] == (nproc == 1 ? 0.0 : 0.0));
  free(local);
  free(global);
  EXPECT(c, krz_broadtools_destroy(tools) == KRZ_OK);
  free(perm);
  free(counts);
}

/* Two quadrilaterals per rank on a strip; every rank numbers nodes globally (identity map).
 * Domain A: rank p holds faces 2p+1, 2p+2. Domain B: the same faces, rank p holding those of
 * rank nproc-1-p in reverse order. Face f has nodes 2f-1, 2f, 2f+1, 2f+2 shifted apart by f. */
static void FaceRecord(int f, int* r) {
  r[0] = 4;
  r[1] = 4 * f - 3;
  r[2] = 4 * f - 2;
  r[3] = 4 * f - 1;
  r[4] = 4 * f;
}

static void Faces(Check* c, krz_com* com, int myid, int nproc) {
  const int nNodes = 8 * nproc, q = nproc - 1 - myid;
  int* identity = malloc(sizeof(int) * (size_t)(nNodes + 1));
  for (int i = 0; i <= nNodes; ++i)
    identity[i] = i;
  krz_nodecollect* nodes = NULL;
  int** nodeMap = NULL;
  EXPECT(c, krz_nodecollect_create(&nodes) == KRZ_OK);
  EXPECT(c, krz_nodecollect_SetInitialize(nodes, myid, nproc, com) == KRZ_OK);
  EXPECT(c, krz_nodecollect_SetMappinArrayCollectToMyid0(nodes, nNodes, identity) == KRZ_OK);
  EXPECT(c, krz_nodecollect_GetMappinArrayCollectToMyid0(nodes, &nodeMap) == KRZ_OK);
  if (nproc > 1) {
    int n = 0;
    EXPECT(c, krz_nodecollect_GetNumber_Global(nodes, &n) == KRZ_OK && n == nNodes * nproc);
    EXPECT(c, (myid == 0) == (nodeMap != NULL));
  }

  int recA[10], recB[10];
  for (int i = 1; i <= 2; ++i) {
    FaceRecord(2 * myid + i, recA + 5 * (i - 1));
    FaceRecord(2 * q + 3 - i, recB + 5 * (i - 1));
  }
  krz_face *faceA = NULL, *faceB = NULL;
  krz_face_create(&faceA);
  krz_face_create(&faceB);
  EXPECT(c, krz_face_SetInitialize(faceA, myid, nproc, com) == KRZ_OK);
  EXPECT(c, krz_face_SetInitialize(faceB, myid, nproc, com) == KRZ_OK);
  EXPECT(c, krz_face_SetLocalFace20_Flat(faceA, 2, recA) == KRZ_OK);
  EXPECT(c, krz_face_SetLocalFace20_Flat(faceB, 2, recB) == KRZ_OK);
  EXPECT(c, krz_face_SetL2GMapRelation(faceA, nodeMap, NULL) == KRZ_OK);
  EXPECT(c, krz_face_SetL2GMapRelation(faceB, nodeMap, NULL) == KRZ_OK);
  int nFace = 0, **table = NULL;
  EXPECT(c, krz_face_GetGlobalFace20(faceA, &nFace, &table) == KRZ_OK && nFace == 2 * nproc);
  if (myid == 0)
    for (int f = 1; f <= nFace; ++f)
      EXPECT(c, table[f][0] == 4 && table[f][1] == 4 * f - 3 && table[f][4] == 4 * f);

  /* Boundary faces: cells 1..4, face i owned by cell i, neighbour cell i+2. */
  int owner[3] = {0, 1, 2}, neighbor[3] = {0, 3, 4};
  krz_bface *bA = NULL, *bB = NULL;
  krz_bface_create(&bA);
  krz_bface_create(&bB);
  EXPECT(c, krz_bface_SetBoundaryFaceRelation(bA, faceA) == KRZ_OK);
  EXPECT(c, krz_bface_SetBoundaryFaceRelation(bB, faceB) == KRZ_OK);
  EXPECT(c, krz_bface_SetLocalFace_BoundaryCellID(bA, 2, owner, neighbor) == KRZ_OK);
  EXPECT(c, krz_bface_SetLocalFace_BoundaryCellID(bB, 2, owner, neighbor) == KRZ_OK);
  EXPECT(c, krz_bface_SetLocalFace_BoundaryCellID(bB, 3, owner, neighbor) == KRZ_ERR_INVALID);

  krz_a2b* x = NULL;
  krz_a2b_create(&x);
  EXPECT(c, krz_a2b_SetL2G_Face(x, faceA, faceB) == KRZ_OK);
  EXPECT(c, krz_a2b_SetL2G_BoundaryFace(x, bA, bB) == KRZ_OK);
  EXPECT(c, krz_a2b_SetA2BRelation(x, NULL, NULL) == KRZ_OK); /* pair by node sets */

  /* A to B, owner cells to neighbour cells: B's face i pairs with A's face 3-i of rank q. */
  double cellA[5] = {0, 100.0 * myid + 1, 100.0 * myid + 2, 0, 0}, cellB[5] = {0, 0, 0, 0, 0};
  EXPECT(c, krz_a2b_transfer_double(x, KRZ_A2B_BoundaryCellValue_A2B_FromOwner2Neighbor, cellA,
                                    cellB) == KRZ_OK);
  for (int i = 1; i <= 2; ++i)
    EXPECT(c, cellB[i + 2] == 100.0 * q + (3 - i));
  /* B to A, faces to faces, in int. */
  int faceValB[3] = {0, 1000 * myid + 1, 1000 * myid + 2}, faceValA[3] = {0, 0, 0};
  EXPECT(c, krz_a2b_transfer_int(x, KRZ_A2B_FaceValue_B2A_FromFace2Face, faceValB, faceValA) ==
                KRZ_OK);
  for (int i = 1; i <= 2; ++i)
    EXPECT(c, faceValA[i] == 1000 * q + (3 - i));
  /* The same split: begin, (the caller computes), end. */
  int splitA[3] = {0, -1, -1};
  EXPECT(c, krz_a2b_begin_int(x, KRZ_A2B_FaceValue_B2A_FromFace2Face, faceValB, splitA) == KRZ_OK);
  EXPECT(c, splitA[1] == -1 && splitA[2] == -1); /* nothing written before the end */
  EXPECT(c, krz_a2b_end_int(x, KRZ_A2B_FaceValue_B2A_FromFace2Face, faceValB, splitA) == KRZ_OK);
  for (int i = 1; i <= 2; ++i)
    EXPECT(c, splitA[i] == faceValA[i]);
  EXPECT(c, krz_a2b_begin_int(x, KRZ_A2B_KINDS, faceValB, faceValA) == KRZ_ERR_INVALID);
  EXPECT(c, krz_a2b_transfer_int(x, KRZ_A2B_KINDS, faceValB, faceValA) == KRZ_ERR_INVALID);
  /* Every kind of the C enum names the C++ transfer it stands for ("KRZ_A2B_X" -> "GetX"): the
   * enum and the library's list of transfers agree, entry by entry. */
#define KIND(k)                                                                                    \
  { k, #k }
  const struct {
    int kind;
    const char* name;
  } kinds[] = {KIND(KRZ_A2B_BoundaryCellValue_A2B_FromOwner2Neighbor),
               KIND(KRZ_A2B_BoundaryCellValue_B2A_FromOwner2Neighbor),
               KIND(KRZ_A2B_BoundaryCellValue_A2B_FromFace2Neighbor),
               KIND(KRZ_A2B_BoundaryCellValue_B2A_FromFace2Neighbor),
               KIND(KRZ_A2B_FaceValue_A2B_FromOwner2Face),
               KIND(KRZ_A2B_FaceValue_A2B_FromNeighbor2Face),
               KIND(KRZ_A2B_FaceValue_B2A_FromOwner2Face),
               KIND(KRZ_A2B_FaceValue_B2A_FromNeighbor2Face),
               KIND(KRZ_A2B_FaceValue_A2B_FromFace2Face),
               KIND(KRZ_A2B_FaceValue_B2A_FromFace2Face),
               KIND(KRZ_A2B_BoundaryCellValue_ExchangeAB_FromOwner2Neighbor)};
#undef KIND
  EXPECT(c, sizeof(kinds) / sizeof(kinds[0]) == KRZ_A2B_KINDS);
  for (int k = 0; k < KRZ_A2B_KINDS; ++k) {
    const char* name = krz_a2b_kind_name(kinds[k].kind);
    EXPECT(c, kinds[k].kind == k && name != NULL && strncmp(name, "Get", 3) == 0 &&
                  strcmp(name + 3, kinds[k].name + strlen("KRZ_A2B_")) == 0);
  }
  EXPECT(c, krz_a2b_kind_name(KRZ_A2B_KINDS) == NULL);

  krz_a2b_destroy(x);
  krz_bface_destroy(bA);
  krz_bface_destroy(bB);
  krz_face_destroy(faceA);
  krz_face_destroy(faceB);
  krz_nodecollect_destroy(nodes);
  free(identity);
}

static void BadInput(Check* c, krz_com* com, int myid, int nproc) {
  double v[2] = {0, 0};
  EXPECT(c, krz_broadtools_gather_double(NULL, v, v) == KRZ_ERR_NULL_HANDLE);
  EXPECT(c, strstr(krz_last_error(), "krz_broadtools_gather_double") != NULL);
  EXPECT(c, krz_face_destroy(NULL) == KRZ_ERR_NULL_HANDLE);
  EXPECT(c, krz_broadtools_create(NULL) == KRZ_ERR_NULL_ARRAY);
  krz_broadtools* tools = NULL;
  krz_broadtools_create(&tools);
  EXPECT(c, krz_broadtools_SetInitialize(tools, nproc, nproc, com) == KRZ_ERR_INVALID);
  EXPECT(c, krz_broadtools_SetInitialize(tools, myid, nproc, NULL) == KRZ_ERR_NULL_HANDLE);
  EXPECT(c, krz_broadtools_SetInitialize(tools, myid, nproc, com) == KRZ_OK);
  int counts[8] = {-1, 0, 0, 0, 0, 0, 0, 0}, numbers[1] = {1};
  EXPECT(c, krz_broadtools_SetMapRelation_Flat(tools, 1, counts, numbers) ==
                (myid == 0 ? KRZ_ERR_INVALID : KRZ_OK));
  EXPECT(c, krz_broadtools_GetDimension_Global(tools, NULL) == KRZ_ERR_NULL_ARRAY);
  krz_broadtools_destroy(tools);
  EXPECT(c, krz_run_ranks(0, NULL, NULL, 0) != KRZ_OK);
}

static int Run(krz_com* com, int myid, int nproc) {
  Check c = {0, myid};
  Transfers(&c, com, myid, nproc);
  Faces(&c, com, myid, nproc);
  BadInput(&c, com, myid, nproc);
  return c.failures;
}

static void RankMain(krz_com* com, int myid, int nproc, void* user) {
  int* failures = user;
  failures[myid] = Run(com, myid, nproc);
}

/* A rank that skips a collective: the engine's report comes back, no hang. */
static void Skipper(krz_com* com, int myid, int nproc, void* user) {
  (void)user;
  krz_broadtools* tools = NULL;
  krz_broadtools_create(&tools);
  krz_broadtools_SetInitialize(tools, myid, nproc, com);
  krz_broadtools_SetMapRelation_DefaultRelation(tools, 1);
  double v[2] = {0, 1}, g[8] = {0};
  if (myid != 1)
    krz_broadtools_gather_double(tools, v, g);
  krz_broadtools_destroy(tools);
}

/* The library's lines to a sink of the program's: each rank's own line, whole, with its rank.
 * Each rank's lines come from its own thread, so each slot has one writer. */
static void CountLine(int rank, const char* line, void* user) {
  int* counts = user;
  if (rank >= 0 && rank < 8 && strstr(line, "_End: no _Begin") != NULL &&
      strchr(line, '\n') == NULL)
    counts[rank]++;
}

static void OneLine(krz_com* com, int myid, int nproc, void* user) {
  (void)user;
  krz_broadtools* tools = NULL;
  krz_broadtools_create(&tools);
  krz_broadtools_SetInitialize(tools, myid, nproc, com);
  double v[2] = {0, 1}, g[2] = {0, 0};
  krz_broadtools_gather_end_double(tools, v, g); /* no _begin: one line */
  krz_broadtools_destroy(tools);
}

static int LinesReachTheSink(int nproc, krz_com* com, int myid) {
  int counts[8] = {0};
  krz_set_line_sink(CountLine, counts);
  if (com == NULL)
    krz_run_ranks(nproc, OneLine, NULL, 0);
  else
    OneLine(com, myid, nproc, NULL);
  krz_set_line_sink(NULL, NULL);
  int wrong = 0;
  for (int r = 0; r < 8; ++r)
    wrong |= counts[r] != ((com == NULL ? r < nproc : r == myid) ? 1 : 0);
  if (wrong)
    printf("rank %d: the lines did not reach the sink, one per rank\n", myid);
  return wrong;
}

/* The performance log of one gather: one call, and rank 0 receives a message from each rank. */
static void OneGatherLogged(krz_com* com, int myid, int nproc, void* user) {
  int* wrong = user;
  krz_broadtools* tools = NULL;
  krz_broadtools_create(&tools);
  krz_broadtools_SetInitialize(tools, myid, nproc, com);
  krz_broadtools_SetMapRelation_DefaultRelation(tools, 1);
  double v[2] = {0, 1}, g[9] = {0};
  krz_broadtools_gather_double(tools, v, g);
  krz_broadtools_destroy(tools);
  krz_log_entry entries[16];
  int count = 0;
  krz_log_entries(entries, 16, &count);
  wrong[myid] = count < 1 || strcmp(entries[0].operation, "CCOM_BroadTools gather") != 0 ||
                entries[0].calls != 1 ||
                entries[0].messages_received != (myid == 0 ? nproc - 1 : 0);
}

int main(int argc, char** argv) {
  int failed = 0;
  if (argc > 1 && strcmp(argv[1], "threads") == 0) {
    for (int n = 1; n <= KRZ_TEST_THREAD_RANKS; ++n) {
      int failures[KRZ_TEST_THREAD_RANKS] = {0};
      if (krz_run_ranks(n, RankMain, failures, 0) != KRZ_OK) {
        printf("%d ranks: %s\n", n, krz_last_error());
        failed = 1;
      }
      for (int r = 0; r < n; ++r)
        failed |= failures[r] != 0;
    }
    failed |= LinesReachTheSink(3, NULL, 0);
    int wrong[3] = {0, 0, 0};
    krz_log_view(1);
    krz_run_ranks(3, OneGatherLogged, wrong, 0);
    krz_log_view(0);
    if (wrong[0] || wrong[1] || wrong[2]) {
      printf("the performance log did not count the gather\n");
      failed = 1;
    }
    if (krz_run_ranks(2, Skipper, NULL, 2000) != KRZ_ERR_ABORTED ||
        strstr(krz_last_error(), "krz_run_ranks") == NULL) {
      printf("a skipped collective was not reported\n");
      failed = 1;
    }
    printf("test_c_api threads: %s\n", failed ? "FAILED" : "ok");
    return failed;
  }
#ifdef KRZ_TEST_WITH_MPI
  MPI_Init(&argc, &argv);
  krz_com* com = NULL;
  int nullRefused = krz_com_create_mpi(MPI_COMM_NULL, &com) == KRZ_ERR_INVALID && com == NULL &&
                    strstr(krz_last_error(), "MPI_COMM_NULL") != NULL;
  if (!nullRefused)
    printf("MPI_COMM_NULL was not refused with KRZ_ERR_INVALID\n");
  if (krz_com_create_mpi(MPI_COMM_WORLD, &com) != KRZ_OK) {
    printf("%s\n", krz_last_error());
    MPI_Abort(MPI_COMM_WORLD, 1);
  }
  int myid = 0, nproc = 1;
  krz_com_rank(com, &myid);
  krz_com_size(com, &nproc);
  int mine = Run(com, myid, nproc) | !nullRefused | LinesReachTheSink(nproc, com, myid), all = 0;
  MPI_Allreduce(&mine, &all, 1, MPI_INT, MPI_SUM, MPI_COMM_WORLD);
  if (myid == 0)
    printf("test_c_api mpi: %d ranks, %s\n", nproc, all ? "FAILED" : "ok");
  krz_com_destroy(com);
  MPI_Finalize();
  return all != 0;
#else
  printf("usage: test_c_api threads\n");
  return 2;
#endif
}
