// The C API's error state, memory release, communicators and the in-process runner.
#include "KRZCApiSupport.h"

#include <chrono>
#include <cstring>

#include "KRZLineSink.h"
#include "KRZPerformanceLog.h"
#include "KRZRunRanks.h"
#ifdef KRZ3DCOMTOOLS_C_HAVE_MPI
#include "CKRZCom_MPI.h"
#endif

namespace krz::capi {
namespace {
// One message per thread: every in-process rank is a thread of its own, like an MPI process.
thread_local std::string t_LastError;
} // namespace

int Fail(int status, const std::string& message) {
  t_LastError = message;
  return status;
}

void ClearError() { t_LastError.clear(); }

int NullHandle(const char* function) {
  return Fail(KRZ_ERR_NULL_HANDLE, std::string(function) + ": the handle is null");
}

int NullArrays(const char* function, std::initializer_list<const void*> arrays) {
  for (const void* a : arrays)
    if (a == nullptr)
      return Fail(KRZ_ERR_NULL_ARRAY, std::string(function) +
                                          ": an array of values is null; the call took part "
                                          "with zeros");
  return KRZ_OK;
}

int Out(const char* function, const void* out) {
  return out == nullptr ? Fail(KRZ_ERR_NULL_ARRAY, std::string(function) + ": output is null")
                        : KRZ_OK;
}

int Initialize(const char* function, int myid, int nproc, const krz_com* com) {
  if (com == nullptr)
    return NullHandle(function);
  if (nproc < 1 || myid < 0 || myid >= nproc)
    return Fail(KRZ_ERR_INVALID, std::string(function) + ": myid " + std::to_string(myid) +
                                     " and nproc " + std::to_string(nproc) +
                                     " need 0 <= myid < nproc");
  return KRZ_OK;
}

} // namespace krz::capi

using krz::capi::Fail;
using krz::capi::Guarded;
using krz::capi::NullHandle;

extern "C" {

const char* krz_last_error(void) { return krz::capi::t_LastError.c_str(); }
const char* krz_version(void) { return KRZ3DCOMTOOLS_VERSION_STRING; }

int krz_log_view(int on) {
  KRZSetPerformanceLog(on != 0);
  return KRZ_OK;
}

int krz_log_entries(krz_log_entry* entries, int capacity, int* count) {
  if (count == nullptr || (capacity > 0 && entries == nullptr))
    return Fail(KRZ_ERR_NULL_ARRAY, "krz_log_entries: count or entries is null");
  const std::vector<KRZLogEntry> log = KRZPerformanceLogOfThisRank();
  *count = static_cast<int>(log.size());
  for (int k = 0; k < capacity && k < *count; ++k) {
    const KRZLogEntry& e = log[static_cast<size_t>(k)];
    entries[k] = krz_log_entry{e.operation,   e.calls,        e.seconds,
                               e.waitSeconds, e.messagesSent, e.messagesReceived,
                               e.bytesSent,   e.bytesReceived};
  }
  return KRZ_OK;
}

int krz_set_line_sink(krz_line_sink sink, void* user) {
  KRZSetLineSink(sink, user); // the same signature
  return KRZ_OK;
}

void krz_free_double(double* array) { delete[] array; }
void krz_free_float(float* array) { delete[] array; }
void krz_free_int(int* array) { delete[] array; }
void krz_free_bool(bool* array) { delete[] array; }

} // extern "C"

namespace {
template <class T> void FreeRows(T** rows, int nrows) {
  if (rows == nullptr)
    return;
  for (int p = 0; p < nrows; ++p)
    delete[] rows[p];
  delete[] rows;
}
} // namespace

extern "C" {

void krz_free_rows_double(double** rows, int nrows) { FreeRows(rows, nrows); }
void krz_free_rows_float(float** rows, int nrows) { FreeRows(rows, nrows); }
void krz_free_rows_int(int** rows, int nrows) { FreeRows(rows, nrows); }
void krz_free_rows_bool(bool** rows, int nrows) { FreeRows(rows, nrows); }

int krz_com_create_mpi_f(int fortran_comm, krz_com** com) {
  if (com == nullptr)
    return Fail(KRZ_ERR_NULL_ARRAY, "krz_com_create_mpi_f: com is null");
  *com = nullptr;
#ifdef KRZ3DCOMTOOLS_C_HAVE_MPI
  return Guarded("krz_com_create_mpi_f", [&] {
    int initialized = 0;
    MPI_Initialized(&initialized);
    if (initialized == 0)
      return Fail(KRZ_ERR_INVALID, "krz_com_create_mpi_f: MPI is not initialized (MPI_Init)");
    if (MPI_Comm_f2c(fortran_comm) == MPI_COMM_NULL)
      return Fail(KRZ_ERR_INVALID, "krz_com_create_mpi_f: the communicator is MPI_COMM_NULL");
    std::unique_ptr<krz_com> made(new krz_com);
    std::unique_ptr<CKRZCom_MPI> mpi(new CKRZCom_MPI(MPI_Comm_f2c(fortran_comm)));
    made->rank = mpi->Rank();
    made->size = mpi->Size();
    made->com = mpi.get();
    made->owned = std::move(mpi);
    *com = made.release();
    return KRZ_OK;
  });
#else
  (void)fortran_comm;
  return Fail(KRZ_ERR_UNAVAILABLE, "krz_com_create_mpi_f: this build has no MPI engine");
#endif
}

int krz_com_destroy(krz_com* com) {
  if (com == nullptr)
    return NullHandle("krz_com_destroy");
  if (!com->owned)
    return Fail(KRZ_ERR_INVALID, "krz_com_destroy: this communicator belongs to krz_run_ranks");
  return Guarded("krz_com_destroy", [&] {
    delete com;
    return KRZ_OK;
  });
}

int krz_com_rank(const krz_com* com, int* rank) {
  if (com == nullptr)
    return NullHandle("krz_com_rank");
  if (rank == nullptr)
    return Fail(KRZ_ERR_NULL_ARRAY, "krz_com_rank: rank is null");
  *rank = com->rank;
  return KRZ_OK;
}

int krz_com_size(const krz_com* com, int* size) {
  if (com == nullptr)
    return NullHandle("krz_com_size");
  if (size == nullptr)
    return Fail(KRZ_ERR_NULL_ARRAY, "krz_com_size: size is null");
  *size = com->size;
  return KRZ_OK;
}

int krz_log_report(krz_com* com) {
  if (com == nullptr || com->com == nullptr)
    return NullHandle("krz_log_report");
  return Guarded("krz_log_report", [&] {
    KRZPerformanceLogReport(*com->com, com->rank, com->size);
    return KRZ_OK;
  });
}

int krz_run_ranks(int nproc, krz_rank_function fn, void* user, int deadline_ms) {
  if (fn == nullptr)
    return Fail(KRZ_ERR_NULL_ARRAY, "krz_run_ranks: the rank function is null");
  if (nproc < 1)
    return Fail(KRZ_ERR_INVALID,
                "krz_run_ranks: nproc is " + std::to_string(nproc) + ", needs at least 1");
  return Guarded("krz_run_ranks", [&] {
    KRZRunOptions options;
    if (deadline_ms > 0)
      options.deadline = std::chrono::milliseconds(deadline_ms);
    const KRZRunResult result = KRZRunRanks(
        nproc,
        [&](CKRZCom& com, int myid, int n) {
          krz_com handle;
          handle.com = &com;
          handle.rank = myid;
          handle.size = n;
          fn(&handle, myid, n, user);
        },
        options);
    if (!result.ok)
      return Fail(KRZ_ERR_ABORTED, "krz_run_ranks: " + result.report);
    return KRZ_OK;
  });
}

} // extern "C"
