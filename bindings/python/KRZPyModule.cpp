// The Python module krz3dcomtools: communicators, the in-process runner, exceptions, and the
// library's lines on sys.stdout. The classes are bound in KRZPyTransfer.cpp and KRZPyFace.cpp.
#include <algorithm>
#include <chrono>
#include <iostream>

#include "KRZPerformanceLog.h"
#include "KRZPyCommon.h"
#include "KRZPyOutput.h"
#include "KRZRunRanks.h"
#include "KRZThreadsWorld.h"
#include "krz3dcomtools_version.h"
#ifdef KRZ_PYTHON_HAVE_MPI
#include "CKRZCom_MPI.h"
#endif

namespace krz::python {

CKRZCom* ComOf(PyCom& com) {
  if (com.com == nullptr)
    throw py::value_error("the communicator belongs to an in-process run that has ended");
  return com.com;
}

void CheckRank(const char* where, int myid, int nproc) {
  if (nproc < 1 || myid < 0 || myid >= nproc)
    throw py::value_error(std::string(where) + ": myid " + std::to_string(myid) + " and nproc " +
                          std::to_string(nproc) + " need 0 <= myid < nproc");
}

namespace {

py::object RunRanks(int nproc, const py::function& fn, double deadline) {
  if (nproc < 1)
    throw py::value_error("run_ranks: nproc is " + std::to_string(nproc) + ", needs at least 1");
  KRZRunOptions options;
  // Clamped to a century (inf included); the world saturates it too.
  if (deadline > 0)
    options.deadline = std::chrono::milliseconds(
        static_cast<long long>(std::min(deadline, 100.0 * 365 * 24 * 3600) * 1000.0));
  KRZRunResult result;
  {
    py::gil_scoped_release release;
    result = KRZRunRanks(
        nproc,
        [&](CKRZCom& com, int myid, int n) {
          py::gil_scoped_acquire gil;
          auto handle = std::make_unique<PyCom>();
          handle->com = &com;
          handle->rank = myid;
          handle->size = n;
          PyCom* raw = handle.get();
          py::object comObject = py::cast(std::move(handle));
          std::string failure;
          try {
            fn(comObject, myid, n);
          } catch (py::error_already_set& e) {
            failure = e.what();
          }
          raw->com = nullptr; // the rank's communicator ends with the run
          if (!failure.empty())
            throw std::runtime_error("rank " + std::to_string(myid) + " raised " + failure);
        },
        options);
  }
  if (!result.ok)
    throw std::runtime_error(result.report);
  return py::none();
}

#ifdef KRZ_PYTHON_HAVE_MPI
std::unique_ptr<PyCom> MakeMPICom(const py::object& comm, bool duplicate) {
  int initialized = 0;
  MPI_Initialized(&initialized);
  if (initialized == 0)
    throw py::value_error("MPICom: MPI is not initialized (import mpi4py.MPI first)");
  if (!py::hasattr(comm, "py2f"))
    throw py::type_error("MPICom: expected an mpi4py.MPI.Comm, got " + Describe(comm));
  const int handle = comm.attr("py2f")().cast<int>();
  auto made = std::make_unique<PyCom>();
  auto mpi = Released([&] {
    return std::make_unique<CKRZCom_MPI>(MPI_Comm_f2c(handle), duplicate ? KRZComContext::Duplicate
                                                                         : KRZComContext::Wrap);
  });
  made->rank = mpi->Rank();
  made->size = mpi->Size();
  made->com = mpi.get();
  made->owned = std::move(mpi);
  return made;
}
#endif

} // namespace
} // namespace krz::python

PYBIND11_MODULE(krz3dcomtools, m) {
  using namespace krz::python;
  m.doc() = "KRZ3DCOMTools from Python: local/global array transfers for domain-decomposed mesh "
            "solvers, over NumPy arrays.\n\nClasses and operations carry the names of the C++ "
            "library, whose headers document them. Arrays are 1-based: n items in elements 1..n of "
            "an array of n+1 (element 0 belongs to no item); dtypes float64, float32, int32, bool "
            "and int8 (C char). Arrays are never copied silently: a wrong dtype, length or layout "
            "raises. Calls that communicate are collective and release the GIL.";
  m.attr("__version__") = KRZ3DCOMTOOLS_VERSION_STRING;

  // The library's lines go to sys.stdout from now on; std::cout is restored with the module.
  auto* redirect = new CKRZPythonStdout(std::cout);
  m.add_object("_stdout_redirect",
               py::capsule(redirect, [](void* p) { delete static_cast<CKRZPythonStdout*>(p); }));

  py::register_exception<KRZWorldAborted>(m, "WorldAborted", PyExc_RuntimeError);

  py::class_<PyCom>(m, "Com",
                    "A communicator: one rank of run_ranks (valid during that run), or MPICom.")
      .def_property_readonly(
          "rank", [](const PyCom& c) { return c.rank; }, "this rank's number")
      .def_property_readonly(
          "size", [](const PyCom& c) { return c.size; }, "the rank count");

#ifdef KRZ_PYTHON_HAVE_MPI
  m.def("MPICom", &MakeMPICom, py::arg("comm"), py::arg("duplicate") = true,
        "MPICom(comm, duplicate=True) -> Com\n\nCollective over comm (an mpi4py.MPI.Comm). The "
        "library talks on its own duplicate of comm (freed when the Com is released, before MPI "
        "finalizes); duplicate=False talks on comm itself.");
  m.attr("HAVE_MPI") = true;
#else
  m.attr("HAVE_MPI") = false;
#endif

  m.def("run_ranks", &RunRanks, py::arg("nproc"), py::arg("fn"), py::arg("deadline") = 120.0,
        "run_ranks(nproc, fn, deadline=120.0)\n\nRuns fn(com, myid, nproc) on nproc in-process "
        "ranks (threads) and joins them. Raises RuntimeError with the engine's report when a rank "
        "raises, when ranks mismatch in a collective, or when one blocking call waits longer than "
        "deadline seconds (a deadlock).");

  BindLines(m);
  m.def(
      "log_view", [](bool on) { KRZSetPerformanceLog(on); }, py::arg("on") = true,
      "log_view(on=True)\n\nNot collective; process-wide. Switches the performance log on or off "
      "(off unless KRZ3DCOMTOOLS_LOG_VIEW=1). On, each rank counts per operation its calls, time, "
      "waiting, messages and bytes; run_ranks prints rank 0's table at the end of a run.");
  m.def(
      "log_entries",
      [] {
        py::dict entries;
        for (const KRZLogEntry& e : KRZPerformanceLogOfThisRank()) {
          py::dict d;
          d["calls"] = e.calls;
          d["seconds"] = e.seconds;
          d["wait_seconds"] = e.waitSeconds;
          d["messages_sent"] = e.messagesSent;
          d["messages_received"] = e.messagesReceived;
          d["bytes_sent"] = e.bytesSent;
          d["bytes_received"] = e.bytesReceived;
          entries[e.operation] = d;
        }
        return entries;
      },
      "log_entries() -> dict\n\nNot collective. The calling rank's counts: operation name -> dict "
      "of calls, seconds, wait_seconds, messages_sent, messages_received, bytes_sent, "
      "bytes_received.");
  m.def(
      "log_report",
      [](PyCom& com) {
        CKRZCom* c = ComOf(com);
        const std::string text =
            Released([&] { return KRZPerformanceLogReport(*c, com.rank, com.size, false); });
        return text;
      },
      py::arg("com"),
      "log_report(com) -> str\n\nCollective over com. Rank 0 receives the table of every rank's "
      "counts (minimum, maximum, ratio over the ranks); other ranks receive ''.");
  BindTransfer(m);
  BindFaces(m);
}
