/** \file krz3dcomtools.h: the C API of KRZ3DCOMTools (C99).
 *
 * Every C++ class of the library has an opaque handle here, made by `krz_<class>_create` and
 * released by `krz_<class>_destroy`; each function forwards to the C++ operation of the same name,
 * whose header (CCOM_BroadTools.h, CKRZL2GBroadTools_Face.h, ...) documents its semantics.
 *
 * Conventions
 *  - Every function returns a status (KRZ_OK = 0, otherwise a KRZ_ERR_ code) and writes results
 *    through pointer arguments. krz_last_error() gives the message of the calling thread's last
 *    failure. Nothing is thrown across this API.
 *  - Arrays are plain pointers with the library's 1-based layout: n items occupy elements 1..n of
 *    an array of n+1 elements; element 0 belongs to no item. Rank numbers and per-rank count
 *    arrays are 0-based. Arrays handed in are borrowed: the caller keeps and frees them, and
 *    they must stay valid as long as the C++ header says.
 *  - Arrays the library allocates for the caller are released with the krz_free_ function of
 *    their type (never free()).
 *  - "Collective": every rank calls the function, in the same order as the other collectives.
 *    A collective that refuses an argument on one rank (a null array of values, say) still takes
 *    part with zeros so that no other rank is left waiting, prints the library's line and
 *    returns KRZ_ERR_NULL_ARRAY on that rank. A null handle returns KRZ_ERR_NULL_HANDLE at once
 *    (the handle holds the communicator, so that rank cannot take part).
 *
 * Communicators: krz_com_create_mpi() from a C MPI_Comm (include <mpi.h> before this header),
 * krz_com_create_mpi_f() from a Fortran handle, or the communicator each rank of
 * krz_run_ranks() receives (in-process ranks, no MPI needed). The MPI communicator is duplicated
 * for the library's own traffic (see CKRZCom_MPI.h).
 */
#ifndef KRZ3DCOMTOOLS_C_API_H
#define KRZ3DCOMTOOLS_C_API_H

#include <stdbool.h>

#include "krz3dcomtools_c_export.h"
#include "krz3dcomtools_version.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- status ------------------------------------------------------------------------------ */
#define KRZ_OK 0              /**< success */
#define KRZ_ERR_NULL_HANDLE 1 /**< a handle argument is null */
#define KRZ_ERR_NULL_ARRAY 2  /**< an array argument is null where values are needed */
#define KRZ_ERR_INVALID 3     /**< an argument is out of range (negative count, unknown kind) */
#define KRZ_ERR_FAILED 4      /**< the operation reported failure (see the printed line) */
#define KRZ_ERR_UNAVAILABLE 5 /**< not in this build (the MPI engine) */
#define KRZ_ERR_ABORTED 6     /**< the in-process world was aborted (mismatch, deadlock) */
#define KRZ_ERR_INTERNAL 7    /**< an unexpected C++ exception, its text in krz_last_error() */

/** The message of the calling thread's last failed call ("" when none). Valid until the next
 * call on this thread. Not collective. */
KRZ3DCOMTOOLS_C_EXPORT const char* krz_last_error(void);
/** The library's version, "major.minor.patch". */
KRZ3DCOMTOOLS_C_EXPORT const char* krz_version(void);

/* ---- the library's diagnostic lines ------------------------------------------------------- */
/** A line of the library: the rank that printed it (-1: not known), its text without the newline
 * (valid during the call only), `user` as given to krz_set_line_sink. */
typedef void (*krz_line_sink)(int rank, const char* line, void* user);
/** Not collective; process-wide. Every later line of the library goes to `sink` instead of standard
 * output, called from the thread that printed it (with in-process ranks, krz_run_ranks, several
 * ranks may call it at once: it must be thread-safe there). The sink must not call the library.
 * NULL: standard output again (the default). Returns KRZ_OK. */
KRZ3DCOMTOOLS_C_EXPORT int krz_set_line_sink(krz_line_sink sink, void* user);

/* ---- arrays the library allocated for the caller ------------------------------------------ */
/**@{*/
/** Not collective. Releases an array the library allocated for the caller (null: nothing). */
KRZ3DCOMTOOLS_C_EXPORT void krz_free_double(double* array);
KRZ3DCOMTOOLS_C_EXPORT void krz_free_float(float* array);
KRZ3DCOMTOOLS_C_EXPORT void krz_free_int(int* array);
KRZ3DCOMTOOLS_C_EXPORT void krz_free_bool(bool* array);
/**@}*/
/**@{*/
/** A row table of nrows rows (each row, then the row array). */
KRZ3DCOMTOOLS_C_EXPORT void krz_free_rows_double(double** rows, int nrows);
KRZ3DCOMTOOLS_C_EXPORT void krz_free_rows_float(float** rows, int nrows);
KRZ3DCOMTOOLS_C_EXPORT void krz_free_rows_int(int** rows, int nrows);
KRZ3DCOMTOOLS_C_EXPORT void krz_free_rows_bool(bool** rows, int nrows);
/**@}*/

/* ---- communicators ------------------------------------------------------------------------ */
/** The handle of a communicator (CKRZCom). */
typedef struct krz_com krz_com;

/**@{*/
/** Collective over the MPI communicator (it is duplicated). *com receives a handle that the
 * caller releases with krz_com_destroy (collective) before MPI_Finalize. */
KRZ3DCOMTOOLS_C_EXPORT int krz_com_create_mpi_f(int fortran_comm, krz_com** com);
KRZ3DCOMTOOLS_C_EXPORT int krz_com_destroy(krz_com* com);
/**@}*/
/**@{*/
/** This rank's number and the rank count of the communicator. Not collective. */
KRZ3DCOMTOOLS_C_EXPORT int krz_com_rank(const krz_com* com, int* rank);
KRZ3DCOMTOOLS_C_EXPORT int krz_com_size(const krz_com* com, int* size);
/**@}*/

#if defined(MPI_VERSION) || defined(KRZ3DCOMTOOLS_DOXYGEN)
/* From a C MPI communicator: include <mpi.h> before this header. */
static inline int krz_com_create_mpi(MPI_Comm comm, krz_com** com) {
  return krz_com_create_mpi_f((int)MPI_Comm_c2f(comm), com);
}
#endif

/**@{*/
/** In-process ranks: runs fn(com, myid, nproc, user) on nproc threads and joins them. The com
 * handle belongs to the runner (do not destroy it). Returns KRZ_OK, or KRZ_ERR_ABORTED when the
 * world detected a mismatch or deadlock, with the engine's report in krz_last_error(). A rank
 * function sees KRZ_ERR_ABORTED from the call it was in and should return. deadline_ms <= 0
 * keeps the engine's default deadline for one blocking call. */
typedef void (*krz_rank_function)(krz_com* com, int myid, int nproc, void* user);
KRZ3DCOMTOOLS_C_EXPORT int krz_run_ranks(int nproc, krz_rank_function fn, void* user,
                                         int deadline_ms);
/**@}*/

/* ---- the performance log ----------------------------------------------------------------- */
/** One operation's counts on the calling rank (the table's row; see KRZPerformanceLog.h). */
typedef struct krz_log_entry {
  const char* operation;       /**< its name in the table (static text) */
  long long calls;             /**< calls counted */
  double seconds;              /**< inside the calls */
  double wait_seconds;         /**< of which waiting for messages and collectives */
  long long messages_sent;     /**< messages this rank sent */
  long long messages_received; /**< messages this rank received */
  long long bytes_sent;        /**< their bytes */
  long long bytes_received;    /**< their bytes */
} krz_log_entry;
/** Not collective; process-wide. Switches the log on (non-zero) or off; it is off unless
 * KRZ3DCOMTOOLS_LOG_VIEW=1 is set. */
KRZ3DCOMTOOLS_C_EXPORT int krz_log_view(int on);
/** Not collective. The calling rank's counts: up to `capacity` entries into `entries` (owned by
 * the caller), *count set to the number of operations the log knows. */
KRZ3DCOMTOOLS_C_EXPORT int krz_log_entries(krz_log_entry* entries, int capacity, int* count);
/** Collective over com: rank 0 prints the table of every rank's counts (minimum, maximum, ratio).
 */
KRZ3DCOMTOOLS_C_EXPORT int krz_log_report(krz_com* com);

/* ---- CCOM_BroadTools: map relation, gather and scatter ------------------------------------ */
/** The handle of a CCOM_BroadTools. */
typedef struct krz_broadtools krz_broadtools;

/**@{*/
/** Not collective. _create makes a handle into its argument (null: KRZ_ERR_NULL_ARRAY);
 * _destroy releases it (null: KRZ_ERR_NULL_HANDLE). */
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_create(krz_broadtools** tools);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_destroy(krz_broadtools* tools);
/**@}*/
/** Not collective. myid in 0..nproc-1. */
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_SetInitialize(krz_broadtools* tools, int myid, int nproc,
                                                        krz_com* com);
/** Rank 0: the relation, borrowed (counts[nproc], rows[nproc][counts[p]+1]). Not collective. */
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_SetMapRelation(krz_broadtools* tools, int nglobal,
                                                         int* counts, int** rows);
/** Rank 0: the same relation given as one array, copied: rank p's counts[p] global numbers
 * follow rank p-1's (no element 0 per row). Other ranks may pass nulls. Not collective. */
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_SetMapRelation_Flat(krz_broadtools* tools, int nglobal,
                                                              const int* counts,
                                                              const int* numbers);
/** Collective: rank 0's items first, then rank 1's, ... */
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_SetMapRelation_DefaultRelation(krz_broadtools* tools,
                                                                         int nlocal);
/**@{*/
/** Collective until the relation is distributed. */
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_GetDimension_Local(krz_broadtools* tools, int p, int* n);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_GetDimension_Global(krz_broadtools* tools, int* n);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_SetIfOpenDebugMode(krz_broadtools* tools, int on);
/**@}*/
/**@{*/
/** Gather, collective. local: this rank's n_myid+1 values. global: rank 0's n_G+1 values
 * (written), ignored and may be null elsewhere. KRZ_ERR_FAILED when the relation check fails. */
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_double(krz_broadtools* tools, const double* local,
                                                        double* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_float(krz_broadtools* tools, const float* local,
                                                       float* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_int(krz_broadtools* tools, const int* local,
                                                     int* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_bool(krz_broadtools* tools, const bool* local,
                                                      bool* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_char(krz_broadtools* tools, const char* local,
                                                      char* global);
/**@}*/
/**@{*/
/** Scatter, collective. global: rank 0's n_G+1 values (may be null elsewhere). local: this
 * rank's n_myid+1 values, written at 1..n_myid (element 0 is left alone). */
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_double(krz_broadtools* tools,
                                                         const double* global, double* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_float(krz_broadtools* tools, const float* global,
                                                        float* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_int(krz_broadtools* tools, const int* global,
                                                      int* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_bool(krz_broadtools* tools, const bool* global,
                                                       bool* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_char(krz_broadtools* tools, const char* global,
                                                       char* local);
/**@}*/

/**@{*/
/** Collective. The gather and scatter split in two, for computing while the values travel:
 * _begin reads the source and posts, _end (same arrays) waits and writes the target; in between
 * the caller must not write the source nor touch the target. Arrays as for the whole transfer.
 * One split transfer at a time per handle, and no whole transfer between its halves; misuse (an
 * _end without _begin, a second _begin, other arrays or type at _end) prints one line, writes
 * nothing more and gives KRZ_ERR_FAILED. */
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_begin_double(krz_broadtools* tools,
                                                              const double* local, double* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_end_double(krz_broadtools* tools,
                                                            const double* local, double* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_begin_double(krz_broadtools* tools,
                                                               const double* global, double* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_end_double(krz_broadtools* tools,
                                                             const double* global, double* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_begin_float(krz_broadtools* tools,
                                                             const float* local, float* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_end_float(krz_broadtools* tools,
                                                           const float* local, float* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_begin_float(krz_broadtools* tools,
                                                              const float* global, float* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_end_float(krz_broadtools* tools,
                                                            const float* global, float* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_begin_int(krz_broadtools* tools, const int* local,
                                                           int* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_end_int(krz_broadtools* tools, const int* local,
                                                         int* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_begin_int(krz_broadtools* tools,
                                                            const int* global, int* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_end_int(krz_broadtools* tools, const int* global,
                                                          int* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_begin_bool(krz_broadtools* tools,
                                                            const bool* local, bool* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_end_bool(krz_broadtools* tools, const bool* local,
                                                          bool* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_begin_bool(krz_broadtools* tools,
                                                             const bool* global, bool* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_end_bool(krz_broadtools* tools,
                                                           const bool* global, bool* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_begin_char(krz_broadtools* tools,
                                                            const char* local, char* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_gather_end_char(krz_broadtools* tools, const char* local,
                                                          char* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_begin_char(krz_broadtools* tools,
                                                             const char* global, char* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_broadtools_scatter_end_char(krz_broadtools* tools,
                                                           const char* global, char* local);
/**@}*/

/* ---- CCOM_BroadTools_CollectLocalArrayToMyid0 --------------------------------------------- */
/** The handle of a CCOM_BroadTools_CollectLocalArrayToMyid0. */
typedef struct krz_collector krz_collector;

/**@{*/
/** Not collective. _create makes a handle into its argument (null: KRZ_ERR_NULL_ARRAY);
 * _destroy releases it (null: KRZ_ERR_NULL_HANDLE). */
KRZ3DCOMTOOLS_C_EXPORT int krz_collector_create(krz_collector** collector);
KRZ3DCOMTOOLS_C_EXPORT int krz_collector_destroy(krz_collector* collector);
/**@}*/
/** Not collective. This rank's number (0..nproc-1), the rank count and the communicator
 * (borrowed). */
KRZ3DCOMTOOLS_C_EXPORT int krz_collector_SetInitialize(krz_collector* collector, int myid,
                                                       int nproc, krz_com* com);
/**@{*/
/** Collective. *rows: on rank 0 a new row table (nproc rows, row p of n_p+1 values), released
 * with krz_free_rows_<type>(rows, nproc); null elsewhere and with one rank. */
KRZ3DCOMTOOLS_C_EXPORT int krz_collector_rows_int(krz_collector* collector, int nlocal,
                                                  const int* local, int*** rows);
KRZ3DCOMTOOLS_C_EXPORT int krz_collector_rows_double(krz_collector* collector, int nlocal,
                                                     const double* local, double*** rows);
KRZ3DCOMTOOLS_C_EXPORT int krz_collector_rows_float(krz_collector* collector, int nlocal,
                                                    const float* local, float*** rows);
KRZ3DCOMTOOLS_C_EXPORT int krz_collector_rows_bool(krz_collector* collector, int nlocal,
                                                   const bool* local, bool*** rows);
/**@}*/
/**@{*/
/** Collective. *flat: on rank 0 a new array of GetNumber_Global()+1 values, released with
 * krz_free_<type>; null elsewhere and with one rank. */
KRZ3DCOMTOOLS_C_EXPORT int krz_collector_flat_int(krz_collector* collector, int nlocal,
                                                  const int* local, int** flat);
KRZ3DCOMTOOLS_C_EXPORT int krz_collector_flat_double(krz_collector* collector, int nlocal,
                                                     const double* local, double** flat);
KRZ3DCOMTOOLS_C_EXPORT int krz_collector_flat_float(krz_collector* collector, int nlocal,
                                                    const float* local, float** flat);
KRZ3DCOMTOOLS_C_EXPORT int krz_collector_flat_bool(krz_collector* collector, int nlocal,
                                                   const bool* local, bool** flat);
/**@}*/
/**@{*/
/** Not collective. */
KRZ3DCOMTOOLS_C_EXPORT int krz_collector_GetNumber_Local(krz_collector* collector, int p, int* n);
KRZ3DCOMTOOLS_C_EXPORT int krz_collector_GetNumber_Global(krz_collector* collector, int* n);
/**@}*/

/* ---- CL2GMappingRelation_CollectFVNode2MFENode -------------------------------------------- */
/** The handle of a CL2GMappingRelation_CollectFVNode2MFENode. */
typedef struct krz_nodecollect krz_nodecollect;

/**@{*/
/** Not collective. _create makes a handle into its argument (null: KRZ_ERR_NULL_ARRAY);
 * _destroy releases it (null: KRZ_ERR_NULL_HANDLE). */
KRZ3DCOMTOOLS_C_EXPORT int krz_nodecollect_create(krz_nodecollect** mapping);
KRZ3DCOMTOOLS_C_EXPORT int krz_nodecollect_destroy(krz_nodecollect* mapping);
/**@}*/
/** Not collective. This rank's number (0..nproc-1), the rank count and the communicator
 * (borrowed). */
KRZ3DCOMTOOLS_C_EXPORT int krz_nodecollect_SetInitialize(krz_nodecollect* mapping, int myid,
                                                         int nproc, krz_com* com);
/** Collective. local: nlocal+1 ints, entry i the MFE node of FV node i. */
KRZ3DCOMTOOLS_C_EXPORT int krz_nodecollect_SetMappinArrayCollectToMyid0(krz_nodecollect* mapping,
                                                                        int nlocal,
                                                                        const int* local);
/**@{*/
/** *rows: rank 0's collected table, owned by the object (do not free); null elsewhere. */
KRZ3DCOMTOOLS_C_EXPORT int krz_nodecollect_GetMappinArrayCollectToMyid0(krz_nodecollect* mapping,
                                                                        int*** rows);
KRZ3DCOMTOOLS_C_EXPORT int krz_nodecollect_GetNumber_Local(krz_nodecollect* mapping, int p, int* n);
KRZ3DCOMTOOLS_C_EXPORT int krz_nodecollect_GetNumber_Global(krz_nodecollect* mapping, int* n);
/**@}*/

/* ---- CL2GMappingRelation_LocalFVNode2GlobalMFENode ---------------------------------------- */
/** The handle of a CL2GMappingRelation_LocalFVNode2GlobalMFENode. */
typedef struct krz_nodeglobal krz_nodeglobal;

/**@{*/
/** Not collective. _create makes a handle into its argument (null: KRZ_ERR_NULL_ARRAY);
 * _destroy releases it (null: KRZ_ERR_NULL_HANDLE). */
KRZ3DCOMTOOLS_C_EXPORT int krz_nodeglobal_create(krz_nodeglobal** mapping);
KRZ3DCOMTOOLS_C_EXPORT int krz_nodeglobal_destroy(krz_nodeglobal* mapping);
/**@}*/
/** Not collective. This rank's number (0..nproc-1), the rank count and the communicator
 * (borrowed). */
KRZ3DCOMTOOLS_C_EXPORT int krz_nodeglobal_SetInitialize(krz_nodeglobal* mapping, int myid,
                                                        int nproc, krz_com* com);
/** Collective. */
KRZ3DCOMTOOLS_C_EXPORT int
krz_nodeglobal_SetMappinArrayCollectToMyid0(krz_nodeglobal* mapping, int nlocal, const int* local);
/** Rank 0: the FE-node local-to-global row table, borrowed. Not collective. */
KRZ3DCOMTOOLS_C_EXPORT int
krz_nodeglobal_SetMappingRelation_FENode_Local2Global(krz_nodeglobal* mapping,
                                                      int** fe_node_local_to_global);
/** Rank 0: *rows a new table (nproc rows), released with krz_free_rows_int; null elsewhere. */
KRZ3DCOMTOOLS_C_EXPORT int
krz_nodeglobal_CreateMappingArray_LocalFVNode2GlobalMFENode(krz_nodeglobal* mapping, int*** rows);

/* ---- CKRZL2GBroadTools_Face --------------------------------------------------------------- */
/** The handle of a CKRZL2GBroadTools_Face. */
typedef struct krz_face krz_face;

/**@{*/
/** Not collective. _create makes a handle into its argument (null: KRZ_ERR_NULL_ARRAY);
 * _destroy releases it (null: KRZ_ERR_NULL_HANDLE). */
KRZ3DCOMTOOLS_C_EXPORT int krz_face_create(krz_face** face);
KRZ3DCOMTOOLS_C_EXPORT int krz_face_destroy(krz_face* face);
/**@}*/
/** Not collective. This rank's number (0..nproc-1), the rank count and the communicator
 * (borrowed). */
KRZ3DCOMTOOLS_C_EXPORT int krz_face_SetInitialize(krz_face* face, int myid, int nproc,
                                                  krz_com* com);
/** Collective. faces[1..nlocal]: Face20 records (5 ints: node count, up to 4 nodes), borrowed. */
KRZ3DCOMTOOLS_C_EXPORT int krz_face_SetLocalFace20(krz_face* face, int nlocal, int** faces);
/** Collective. The same from one array of 5*nlocal ints (record i at 5*(i-1)), copied. */
KRZ3DCOMTOOLS_C_EXPORT int krz_face_SetLocalFace20_Flat(krz_face* face, int nlocal,
                                                        const int* records);
/** Collective. Rank 0: node_map (borrowed) and face_map (copied; null for the default). */
KRZ3DCOMTOOLS_C_EXPORT int krz_face_SetL2GMapRelation(krz_face* face, int** node_map,
                                                      int** face_map);
/**@{*/
/** Collective. Numbers the faces by matching rank 0's global table global_faces[1..*nglobal]. */
KRZ3DCOMTOOLS_C_EXPORT int krz_face_SetL2GMapRelation_Match(krz_face* face, int** node_map,
                                                            int* nglobal, int** global_faces);
KRZ3DCOMTOOLS_C_EXPORT int krz_face_GetFaceNumber_Global(krz_face* face, int* n);
KRZ3DCOMTOOLS_C_EXPORT int krz_face_GetFaceNumber_Local(krz_face* face, int p, int* n);
/**@}*/
/** *faces: rank 0's global face table (owned by the object), null elsewhere. */
KRZ3DCOMTOOLS_C_EXPORT int krz_face_GetGlobalFace20(krz_face* face, int* nface, int*** faces);
/**@{*/
/** Collective. local: local count+1 values; global: rank 0's global count+1 values. */
KRZ3DCOMTOOLS_C_EXPORT int krz_face_gather_double(krz_face* face, const double* local,
                                                  double* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_face_gather_int(krz_face* face, const int* local, int* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_face_scatter_double(krz_face* face, const double* global,
                                                   double* local);
KRZ3DCOMTOOLS_C_EXPORT int krz_face_scatter_int(krz_face* face, const int* global, int* local);
/**@}*/

/* ---- CKRZL2GBroadTools_BoundaryFace ------------------------------------------------------- */
/** The handle of a CKRZL2GBroadTools_BoundaryFace. */
typedef struct krz_bface krz_bface;

/**@{*/
/** Not collective. _create makes a handle into its argument (null: KRZ_ERR_NULL_ARRAY);
 * _destroy releases it (null: KRZ_ERR_NULL_HANDLE). */
KRZ3DCOMTOOLS_C_EXPORT int krz_bface_create(krz_bface** bface);
KRZ3DCOMTOOLS_C_EXPORT int krz_bface_destroy(krz_bface* bface);
/**@}*/
/** Not collective; face is borrowed and must outlive bface. */
KRZ3DCOMTOOLS_C_EXPORT int krz_bface_SetBoundaryFaceRelation(krz_bface* bface, krz_face* face);
/**@{*/
/** Not collective; owner and neighbour (nlocal+1 ints each) are borrowed. KRZ_ERR_INVALID when
 * nlocal is not the face object's local count. */
KRZ3DCOMTOOLS_C_EXPORT int krz_bface_SetLocalFace_BoundaryCellID(krz_bface* bface, int nlocal,
                                                                 int* owner, int* neighbor);
KRZ3DCOMTOOLS_C_EXPORT int krz_bface_GetBoundaryFaceNumber_Local(krz_bface* bface, int* n);
KRZ3DCOMTOOLS_C_EXPORT int krz_bface_GetBoundaryFaceNumber_Global(krz_bface* bface, int* n);
/**@}*/
/**@{*/
/** Collective. cells: indexed by the cell ids; global: rank 0's global face values. */
KRZ3DCOMTOOLS_C_EXPORT int krz_bface_from_owner_double(krz_bface* bface, const double* cells,
                                                       double* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_bface_from_owner_int(krz_bface* bface, const int* cells,
                                                    int* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_bface_from_neighbor_double(krz_bface* bface, const double* cells,
                                                          double* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_bface_from_neighbor_int(krz_bface* bface, const int* cells,
                                                       int* global);
KRZ3DCOMTOOLS_C_EXPORT int krz_bface_to_neighbor_double(krz_bface* bface, const double* global,
                                                        double* cells);
KRZ3DCOMTOOLS_C_EXPORT int krz_bface_to_neighbor_int(krz_bface* bface, const int* global,
                                                     int* cells);
/**@}*/

/* ---- CKRZA2BExchange_BoundaryFace --------------------------------------------------------- */
/** The handle of a CKRZA2BExchange_BoundaryFace. */
typedef struct krz_a2b krz_a2b;

/** The eleven transfers, named after the C++ operations. The first array of a transfer is read,
 * the second written (the two-way exchange reads and writes both). */
typedef enum krz_a2b_kind {
  KRZ_A2B_BoundaryCellValue_A2B_FromOwner2Neighbor = 0,
  KRZ_A2B_BoundaryCellValue_B2A_FromOwner2Neighbor = 1,
  KRZ_A2B_BoundaryCellValue_A2B_FromFace2Neighbor = 2,
  KRZ_A2B_BoundaryCellValue_B2A_FromFace2Neighbor = 3,
  KRZ_A2B_FaceValue_A2B_FromOwner2Face = 4,
  KRZ_A2B_FaceValue_A2B_FromNeighbor2Face = 5,
  KRZ_A2B_FaceValue_B2A_FromOwner2Face = 6,
  KRZ_A2B_FaceValue_B2A_FromNeighbor2Face = 7,
  KRZ_A2B_FaceValue_A2B_FromFace2Face = 8,
  KRZ_A2B_FaceValue_B2A_FromFace2Face = 9,
  KRZ_A2B_BoundaryCellValue_ExchangeAB_FromOwner2Neighbor = 10
} krz_a2b_kind;
/** The number of A/B transfer kinds (0..KRZ_A2B_KINDS-1). */
#define KRZ_A2B_KINDS 11

/**@{*/
/** Not collective. _create makes a handle into its argument (null: KRZ_ERR_NULL_ARRAY);
 * _destroy releases it (null: KRZ_ERR_NULL_HANDLE). */
KRZ3DCOMTOOLS_C_EXPORT int krz_a2b_create(krz_a2b** a2b);
KRZ3DCOMTOOLS_C_EXPORT int krz_a2b_destroy(krz_a2b* a2b);
/**@}*/
/**@{*/
/** Not collective; the objects are borrowed and must outlive a2b. */
KRZ3DCOMTOOLS_C_EXPORT int krz_a2b_SetL2G_Face(krz_a2b* a2b, krz_face* face_a, krz_face* face_b);
KRZ3DCOMTOOLS_C_EXPORT int krz_a2b_SetL2G_BoundaryFace(krz_a2b* a2b, krz_bface* bface_a,
                                                       krz_bface* bface_b);
/**@}*/
/** Rank 0: a2b[1..nA] and b2a[1..nB] (read), or both null to pair by face matching. */
KRZ3DCOMTOOLS_C_EXPORT int krz_a2b_SetA2BRelation(krz_a2b* a2b, int* a2b_relation,
                                                  int* b2a_relation);
/**@{*/
/** Collective. The transfer `kind` from `in` to `out` (see krz_a2b_kind). */
KRZ3DCOMTOOLS_C_EXPORT int krz_a2b_transfer_double(krz_a2b* a2b, int kind, double* in, double* out);
KRZ3DCOMTOOLS_C_EXPORT int krz_a2b_transfer_int(krz_a2b* a2b, int kind, int* in, int* out);
/**@}*/
/**@{*/
/** Collective. The transfer `kind` split in two, for computing while the values travel: _begin
 * reads `in` and posts, _end (same kind, type and arrays) waits and writes `out`; in between the
 * caller must not write `in` nor touch `out`. One split transfer at a time per handle; misuse (an
 * _end without _begin, a second _begin, other arrays at _end) prints one line and writes nothing.
 */
KRZ3DCOMTOOLS_C_EXPORT int krz_a2b_begin_double(krz_a2b* a2b, int kind, double* in, double* out);
KRZ3DCOMTOOLS_C_EXPORT int krz_a2b_begin_int(krz_a2b* a2b, int kind, int* in, int* out);
KRZ3DCOMTOOLS_C_EXPORT int krz_a2b_end_double(krz_a2b* a2b, int kind, double* in, double* out);
KRZ3DCOMTOOLS_C_EXPORT int krz_a2b_end_int(krz_a2b* a2b, int kind, int* in, int* out);
/**@}*/
/** The C++ name of a transfer kind ("GetBoundaryCellValue_A2B_FromOwner2Neighbor", ...), or
 * null outside 0..KRZ_A2B_KINDS-1. */
KRZ3DCOMTOOLS_C_EXPORT const char* krz_a2b_kind_name(int kind);

/* ---- CKRZL2GBroadTools_UnitTest ----------------------------------------------------------- */
/** The handle of a CKRZL2GBroadTools_UnitTest. */
typedef struct krz_selftest krz_selftest;

/**@{*/
/** Not collective. _create makes a handle into its argument (null: KRZ_ERR_NULL_ARRAY);
 * _destroy releases it (null: KRZ_ERR_NULL_HANDLE). */
KRZ3DCOMTOOLS_C_EXPORT int krz_selftest_create(krz_selftest** test);
KRZ3DCOMTOOLS_C_EXPORT int krz_selftest_destroy(krz_selftest* test);
/**@}*/
/** Not collective. This rank's number (0..nproc-1), the rank count and the communicator
 * (borrowed). */
KRZ3DCOMTOOLS_C_EXPORT int krz_selftest_SetInitialize(krz_selftest* test, int myid, int nproc,
                                                      krz_com* com);
/** Collective. Prints the report on standard output. */
KRZ3DCOMTOOLS_C_EXPORT int krz_selftest_Test(krz_selftest* test);

#ifdef __cplusplus
}
#endif

#endif
