// What the parts of the Python module share: the communicator object, the GIL release around
// library calls, and the binders of each part.
#ifndef KRZ_BINDINGS_PYTHON_KRZPYCOMMON_H
#define KRZ_BINDINGS_PYTHON_KRZPYCOMMON_H

#include <memory>
#include <string>

#include "CKRZCom.h"
#include "KRZPyArrays.h"

namespace krz::python {

/// A communicator as Python sees it: one rank of an in-process run (valid during that run
/// only) or an MPI communicator the object owns (a duplicate of the mpi4py one).
struct PyCom {
  CKRZCom* com = nullptr;
  std::unique_ptr<CKRZCom> owned;
  int rank = 0;
  int size = 1;
};

/// The communicator of `com`, or a ValueError when its run has ended.
CKRZCom* ComOf(PyCom& com);

/// Runs `f` with the GIL released: every call that may wait for other ranks goes through here.
template <class F> auto Released(F&& f) {
  py::gil_scoped_release release;
  return f();
}

/// Checks SetInitialize's arguments (ValueError when myid is not in 0..nproc-1).
void CheckRank(const char* where, int myid, int nproc);

/// What every Python object of the library keeps from SetInitialize: its rank, the rank count,
/// and the communicator object (kept alive while the library borrows its CKRZCom).
struct PyRanked {
  int myid = 0;
  int nproc = 1;
  py::object com;

  /// Checks and keeps SetInitialize's arguments; returns the communicator to hand on.
  CKRZCom* Initialize(int rank, int size, const py::object& communicator) {
    CheckRank("SetInitialize", rank, size);
    CKRZCom* c = ComOf(communicator.cast<PyCom&>());
    myid = rank;
    nproc = size;
    com = communicator;
    return c;
  }
};

/// Raises ValueError when `o` was set up with the communicator of an in-process run that has
/// ended (the library would otherwise talk through a communicator that no longer exists).
inline void Live(const PyRanked& o) {
  if (!o.com.is_none())
    ComOf(o.com.cast<PyCom&>());
}

void BindTransfer(py::module_& m);
void BindFaces(py::module_& m);

} // namespace krz::python

#endif
