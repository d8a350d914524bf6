// The C++ side of the Python benchmark (bench/python_bench.py): the same gathers and scatters as
// the script makes through the module, timed in C++ on the same communicator.
#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#include "CCOM_BroadTools.h"
#include "KRZPyCommon.h"

namespace krz::python {
namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

// Collective. Returns (median gather seconds, median scatter seconds) of `reps` transfers of
// nLocal doubles per rank through the default relation, timed on this rank, on the caller's own
// arrays (the same memory the script's transfers use).
std::pair<double, double> BenchTransfer(PyCom& com, int myid, int nproc, double* l, int nLocal,
                                        double* g, int reps) {
  return Released([&] {
    CCOM_BroadTools tools;
    tools.SetInitialize(myid, nproc, ComOf(com));
    tools.SetMapRelation_DefaultRelation(nLocal);
    std::vector<double> gathers, scatters;
    for (int r = 0; r <= reps; ++r) { // the first round sets up and is not counted
      auto t0 = std::chrono::steady_clock::now();
      tools.GetGlobalArrayFromLocalArray(l, g);
      auto t1 = std::chrono::steady_clock::now();
      tools.GetLocalArrayFromGlobalArray(g, l);
      auto t2 = std::chrono::steady_clock::now();
      if (r > 0) {
        gathers.push_back(std::chrono::duration<double>(t1 - t0).count());
        scatters.push_back(std::chrono::duration<double>(t2 - t1).count());
      }
    }
    return std::make_pair(Median(gathers), Median(scatters));
  });
}

} // namespace

void BindBench(py::module_& m) {
  m.def(
      "_bench_transfer",
      [](PyCom& com, int myid, int nproc, const py::object& local, const py::object& global,
         int reps) {
        const py::ssize_t n = py::reinterpret_borrow<py::array>(local).shape(0) - 1;
        double* l = Data<double>(local, n + 1, "_bench_transfer: local", true);
        double* g = myid == 0 ? Data<double>(global, n * nproc + 1, "_bench_transfer: global", true)
                              : nullptr;
        auto [gather, scatter] = BenchTransfer(com, myid, nproc, l, static_cast<int>(n), g, reps);
        return py::make_tuple(gather, scatter);
      },
      py::arg("com"), py::arg("myid"), py::arg("nproc"), py::arg("local"), py::arg("global"),
      py::arg("reps"),
      "Benchmark helper: medians of C++ gathers and scatters of the given float64 arrays (the "
      "default relation, local sizes alike on every rank).");
}

} // namespace krz::python
