// Python classes of the face numbering, the boundary faces, the A/B exchange and the self-test.
#include <algorithm>

#include "CKRZA2BExchange_BoundaryFace.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"
#include "CKRZL2GBroadTools_UnitTest.h"
#include "KRZPyCommon.h"
#include "exchange/KRZA2BTransferList.h"

namespace krz::python {
namespace {

/// Face20 records handed in as an int32 array of shape (n+1, 5) (row 0 unused), borrowed.
struct Face20Table {
  std::vector<int*> pointers; ///< n+1 record pointers, entry 0 null
  py::object keep;
};

Face20Table Records(const py::object& object, int n, const std::string& where) {
  if (!py::isinstance<py::array>(object))
    throw py::type_error(where + ": expected an int32 array of shape (" + std::to_string(n + 1) +
                         ", 5), got " + Describe(object));
  py::array a = py::reinterpret_borrow<py::array>(object);
  if (!a.dtype().is(DType<int>()) || a.ndim() != 2 || a.shape(0) != n + 1 || a.shape(1) != 5 ||
      !(a.flags() & py::array::c_style))
    throw py::value_error(where + ": expected a contiguous int32 array of shape (" +
                          std::to_string(n + 1) + ", 5) (row 0 unused), got " + Describe(object));
  Face20Table t;
  int* data = static_cast<int*>(a.mutable_data());
  t.pointers.assign(static_cast<size_t>(n) + 1, nullptr);
  for (int i = 1; i <= n; ++i)
    t.pointers[static_cast<size_t>(i)] = data + 5 * static_cast<size_t>(i);
  t.keep = object;
  return t;
}

// ---- CKRZL2GBroadTools_Face ---------------------------------------------------------------------
struct PyFace : PyRanked {
  CKRZL2GBroadTools_Face face;
  Face20Table local;  ///< SetLocalFace20's records
  BorrowedRows nodes; ///< the node map
  BorrowedRows faces; ///< the face map (copied by the library)
  Face20Table global; ///< the global table to match

  long long LocalCount() { return face.GetFaceNumber_Local(myid); }
  long long GlobalCount() { return face.GetFaceNumber_Global(); }
};

int** OptionalRows(BorrowedRows& store, const py::object& rows, const std::string& where,
                   const int* counts, int nproc) {
  if (rows.is_none())
    return nullptr;
  store = Rows(rows, where, counts, nproc);
  return store.pointers.data();
}

template <class T>
py::object FaceGather(PyFace& f, const py::object& local, const py::object& global) {
  const std::string where = "GetValue_FromLocalFaceToGloblaFace";
  // A refused argument: the rank takes part (zeros in, a scratch array out) and raises after.
  std::exception_ptr error;
  T* l =
      DataOrLater<T>(local, f.LocalCount() + 1, where + ": argument 'pLocal'", false, error, true);
  py::object result = py::none();
  T* g = nullptr;
  if (f.myid == 0) {
    result = global.is_none() ? py::object(Zeros<T>(f.GlobalCount() + 1)) : global;
    g = DataOrLater<T>(result, f.GlobalCount() + 1, where + ": argument 'pGlobal'", true, error);
    if (g == nullptr) {
      result = Zeros<T>(f.GlobalCount() + 1);
      g = Data<T>(result, f.GlobalCount() + 1, where, true);
    }
  }
  Live(f);
  Released([&] {
    f.face.GetValue_FromLocalFaceToGloblaFace(l, g);
    return 0;
  });
  RaiseAfter(error);
  if (l == nullptr)
    throw py::value_error(where + ": argument 'pLocal' is None; the call took part with zeros");
  return result;
}

template <class T>
py::object FaceScatter(PyFace& f, const py::object& global, const py::object& local) {
  const std::string where = "GetValue_FromGlobalFaceToLocalFace";
  std::exception_ptr error;
  T* g = f.myid == 0 ? DataOrLater<T>(global, f.GlobalCount() + 1, where + ": argument 'pGlobal'",
                                      false, error, true)
                     : nullptr;
  py::object result = local.is_none() ? py::object(Zeros<T>(f.LocalCount() + 1)) : local;
  T* l = DataOrLater<T>(result, f.LocalCount() + 1, where + ": argument 'pLocal'", true, error);
  if (l == nullptr) {
    result = Zeros<T>(f.LocalCount() + 1);
    l = Data<T>(result, f.LocalCount() + 1, where, true);
  }
  Live(f);
  Released([&] {
    f.face.GetValue_FromGlobalFaceToLocalFace(g, l);
    return 0;
  });
  RaiseAfter(error);
  if (f.myid == 0 && g == nullptr)
    throw py::value_error(where + ": argument 'pGlobal' is None on rank 0; every rank received "
                                  "zeros");
  return result;
}

// ---- CKRZL2GBroadTools_BoundaryFace -------------------------------------------------------------
struct PyBoundaryFace {
  CKRZL2GBroadTools_BoundaryFace bface;
  py::object face;
  py::object owner, neighbor;
  int largestCell = 0; ///< the highest cell id named: cell arrays need one more element

  /// The highest cell id the borrowed id arrays name now (0 before they are set).
  int LargestCell() const {
    int largest = 0;
    for (const py::object& ids : {owner, neighbor}) {
      if (!ids || ids.is_none())
        continue;
      const py::array array = py::reinterpret_borrow<py::array>(ids);
      const int* id = static_cast<const int*>(array.data());
      for (py::ssize_t i = 1; i < array.shape(0); ++i)
        largest = std::max(largest, id[i]);
    }
    return largest;
  }

  PyFace& Face() {
    if (face.is_none())
      throw py::value_error("CKRZL2GBroadTools_BoundaryFace: no face object "
                            "(SetBoundaryFaceRelation)");
    return face.cast<PyFace&>();
  }
};

template <class T>
T* Cells(PyBoundaryFace& b, const py::object& cells, const std::string& where, bool write) {
  b.largestCell = b.LargestCell(); // the borrowed ids may have been edited since they were set
  if (!py::isinstance<py::array>(cells))
    return Data<T>(cells, b.largestCell + 1, where, write); // raises with the expected form
  const long long length = py::reinterpret_borrow<py::array>(cells).ndim() == 1
                               ? py::reinterpret_borrow<py::array>(cells).shape(0)
                               : -1;
  if (length < b.largestCell + 1)
    throw py::value_error(where + ": the cell ids name cell " + std::to_string(b.largestCell) +
                          ", so at least " + std::to_string(b.largestCell + 1) +
                          " elements are needed, got " + Describe(cells));
  return Data<T>(cells, length, where, write);
}

enum class CellSide { Owner, Neighbor };

template <class T>
py::object BoundaryGather(PyBoundaryFace& b, CellSide side, const py::object& cells,
                          const py::object& global) {
  const std::string where = side == CellSide::Owner ? "GetGlobalFaceValue_FromLocalOwnerCell"
                                                    : "GetGlobalFaceValue_FromLocalNeighborCell";
  PyFace& f = b.Face();
  std::exception_ptr error; // raised after the collective, which the rank joins with zeros
  T* c = Later(error, [&] { return Cells<T>(b, cells, where + ": argument 'pCellValue'", false); });
  py::object result = py::none();
  T* g = nullptr;
  if (f.myid == 0) {
    result = global.is_none() ? py::object(Zeros<T>(f.GlobalCount() + 1)) : global;
    g = Data<T>(result, f.GlobalCount() + 1, where + ": argument 'pGlobalFaceValue'", true);
  }
  Live(f);
  Released([&] {
    if (side == CellSide::Owner)
      b.bface.GetGlobalFaceValue_FromLocalOwnerCell(c, g);
    else
      b.bface.GetGlobalFaceValue_FromLocalNeighborCell(c, g);
    return 0;
  });
  RaiseAfter(error);
  return result;
}

template <class T>
void BoundaryScatter(PyBoundaryFace& b, const py::object& global, const py::object& cells) {
  const std::string where = "GetLocalNeighborCellValue_FromGlobalFaceValue";
  PyFace& f = b.Face();
  T* g = f.myid == 0
             ? Data<T>(global, f.GlobalCount() + 1, where + ": argument 'pGlobalFaceValue'", false)
             : nullptr;
  std::exception_ptr error; // raised after the collective, which the rank joins writing nothing
  T* c = Later(error, [&] { return Cells<T>(b, cells, where + ": argument 'pCellValue'", true); });
  Live(b.Face());
  Released([&] {
    b.bface.GetLocalNeighborCellValue_FromGlobalFaceValue(g, c);
    return 0;
  });
  RaiseAfter(error);
}

// ---- CKRZA2BExchange_BoundaryFace ---------------------------------------------------------------
struct PyExchange {
  CKRZA2BExchange_BoundaryFace exchange;
  py::object faceA, faceB, boundaryA, boundaryB;
  py::tuple inFlight; ///< the arrays of a split transfer begun and not ended, kept alive
};

enum class Side { A, B };
enum class Kind { Cell, Face };

/// Checks one array of a transfer: cells of a domain's boundary-face object, or its local faces.
template <class T>
T* Values(PyExchange& x, Side side, Kind kind, const py::object& array, const std::string& where,
          bool write) {
  const py::object& boundary = side == Side::A ? x.boundaryA : x.boundaryB;
  const py::object& face = side == Side::A ? x.faceA : x.faceB;
  if (boundary.is_none() || face.is_none())
    throw py::value_error(where + ": the exchange needs SetL2G_Face and SetL2G_BoundaryFace first");
  if (kind == Kind::Cell)
    return Cells<T>(boundary.cast<PyBoundaryFace&>(), array, where, write);
  return Data<T>(array, face.cast<PyFace&>().LocalCount() + 1, where, write);
}

using Exchange = CKRZA2BExchange_BoundaryFace;

struct TransferSpec {
  const char* name;
  Side from;
  Kind in;
  Kind out;
  // The blocking transfer, its _Begin and its _End, in each type.
  void (Exchange::*doubles[3])(double*, double*);
  void (Exchange::*ints[3])(int*, int*);
};

// What a transfer reads or writes, by the list's names.
constexpr Kind OwnerCell = Kind::Cell, NeighborCell = Kind::Cell, Face = Kind::Face;

#define KRZ_A2B(name, from, source, target)                                                        \
  TransferSpec{#name,                                                                              \
               Side::from,                                                                         \
               source,                                                                             \
               target,                                                                             \
               {&Exchange::name, &Exchange::name##_Begin, &Exchange::name##_End},                  \
               {&Exchange::name, &Exchange::name##_Begin, &Exchange::name##_End}},
const TransferSpec kTransfers[] = {KRZ_A2B_ONE_WAY_TRANSFERS(KRZ_A2B) KRZ_A2B(
    GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor, A, OwnerCell, NeighborCell)};
#undef KRZ_A2B

// half 0: the blocking transfer; 1: its _Begin (the arrays are kept alive until the _End);
// 2: its _End.
void A2BTransfer(const TransferSpec& spec, PyExchange& x, const py::object& in,
                 const py::object& out, int half = 0) {
  const std::string where = std::string(spec.name) + (half == 1   ? "_Begin"
                                                      : half == 2 ? "_End"
                                                                  : "");
  const Side to = spec.from == Side::A ? Side::B : Side::A;
  Dispatch<double, int>(DTypeOf(where, in), where, [&](auto tag) {
    using T = decltype(tag);
    // A refused array: the rank still takes part (reading zeros, writing nothing), then raises.
    std::exception_ptr error;
    T* i = Later(error, [&] {
      return Values<T>(x, spec.from, spec.in, in, where + ": first argument", false);
    });
    T* o = Later(
        error, [&] { return Values<T>(x, to, spec.out, out, where + ": second argument", true); });
    for (const py::object& face : {x.faceA, x.faceB})
      if (!face.is_none())
        Live(face.cast<PyFace&>());
    Released([&] { // the GIL is free while the values travel
      if constexpr (std::is_same_v<T, double>)
        (x.exchange.*spec.doubles[half])(i, o);
      else
        (x.exchange.*spec.ints[half])(i, o);
      return 0;
    });
    if (half == 1 && x.inFlight.empty())
      x.inFlight = py::make_tuple(in, out); // the library reads and writes them until the _End
    else if (half == 2)
      x.inFlight = py::tuple();
    RaiseAfter(error);
    return 0;
  });
}

} // namespace

void BindFaces(py::module_& m) {
  py::class_<PyFace>(m, "CKRZL2GBroadTools_Face",
                     "One global numbering for the faces every rank knows, the global face table "
                     "on rank 0, and face value transfers. Face20 tables are int32 arrays of shape "
                     "(n+1, 5): row i is face i (node count, up to four nodes); row 0 unused.")
      .def(py::init<>())
      .def(
          "SetInitialize",
          [](PyFace& f, int myid, int nproc, py::object com) {
            f.face.SetInitialize(myid, nproc, f.Initialize(myid, nproc, com));
          },
          py::arg("myid"), py::arg("nproc"), py::arg("pCom"), "Not collective.")
      .def(
          "SetLocalFace20",
          [](PyFace& f, int n, const py::object& faces) {
            if (n < 0)
              throw py::value_error("SetLocalFace20: nFaceLocal is " + std::to_string(n));
            f.local = Records(faces, n, "SetLocalFace20: argument 'ppFace20_Local'");
            Live(f);
            Released([&] {
              f.face.SetLocalFace20(n, f.local.pointers.data());
              return 0;
            });
          },
          py::arg("nFaceLocal"), py::arg("ppFace20_Local"),
          "Collective. This rank's faces (borrowed), an int32 array of shape (nFaceLocal+1, 5).")
      .def("GetFaceNumber_Global", [](PyFace& f) { return f.face.GetFaceNumber_Global(); })
      .def(
          "GetFaceNumber_Local", [](PyFace& f, int p) { return f.face.GetFaceNumber_Local(p); },
          py::arg("iProc"))
      .def("Getmyid", [](PyFace& f) { return f.face.Getmyid(); })
      .def(
          "SetL2GMapRelation",
          [](PyFace& f, const py::object& nodes, const py::object& faces) {
            int** n = nullptr;
            int** m2 = nullptr;
            if (f.myid == 0) {
              n = OptionalRows(f.nodes, nodes, "SetL2GMapRelation: argument 'ppL2GNode'", nullptr,
                               f.nproc);
              std::vector<int> counts(static_cast<size_t>(f.nproc));
              for (int p = 0; p < f.nproc; ++p)
                counts[static_cast<size_t>(p)] = f.face.GetFaceNumber_Local(p);
              m2 = OptionalRows(f.faces, faces, "SetL2GMapRelation: argument 'ppL2GFace'",
                                counts.data(), f.nproc);
            }
            Live(f);
            Released([&] {
              f.face.SetL2GMapRelation(n, m2);
              return 0;
            });
          },
          py::arg("ppL2GNode"), py::arg("ppL2GFace") = py::none(),
          "Collective. Rank 0: the node map (list of nproc int32 arrays, borrowed; None keeps "
          "local node numbers) and the face map (copied; None for the default numbering).")
      .def(
          "SetL2GMapRelation",
          [](PyFace& f, const py::object& nodes, int nGlobal, const py::object& faces) {
            int** n = nullptr;
            int** g = nullptr;
            if (f.myid == 0) {
              n = OptionalRows(f.nodes, nodes, "SetL2GMapRelation: argument 'ppL2GNode'", nullptr,
                               f.nproc);
              f.global = Records(faces, nGlobal, "SetL2GMapRelation: argument 'ppFace20_Global'");
              g = f.global.pointers.data();
            }
            Live(f);
            return Released([&] {
              f.face.SetL2GMapRelation(n, nGlobal, g);
              return nGlobal;
            });
          },
          py::arg("ppL2GNode"), py::arg("nFaceNumber_Global"), py::arg("ppFace20_Global"),
          "Collective. Numbers the faces by matching rank 0's global table (int32 array of shape "
          "(nFaceNumber_Global+1, 5)). Returns nFaceNumber_Global.")
      .def(
          "GetGlobalFace20",
          [](PyFace& f) -> py::tuple {
            int n = 0;
            int** table = nullptr;
            f.face.GetGlobalFace20(n, table);
            if (table == nullptr)
              return py::make_tuple(n, py::none());
            py::array_t<int> copy({static_cast<py::ssize_t>(n) + 1, static_cast<py::ssize_t>(5)});
            int* out = copy.mutable_data();
            std::fill_n(out, 5 * (static_cast<size_t>(n) + 1), 0);
            for (int i = 1; i <= n; ++i)
              if (table[i] != nullptr)
                std::copy(table[i], table[i] + 5, out + 5 * static_cast<size_t>(i));
            return py::make_tuple(n, copy);
          },
          "(nFace, table): the global face count and, on rank 0, a copy of the global face table "
          "(None elsewhere).")
      .def(
          "GetValue_FromLocalFaceToGloblaFace",
          [](PyFace& f, const py::object& local, const py::object& global) {
            const std::string where = "GetValue_FromLocalFaceToGloblaFace";
            return Dispatch<double, int>(
                DTypeOf(where, py::isinstance<py::array>(local) ? local : global), where,
                [&](auto tag) { return FaceGather<decltype(tag)>(f, local, global); });
          },
          py::arg("pLocal"), py::arg("pGlobal") = py::none(),
          "Collective gather of face values (float64 or int32). Returns the global array on rank "
          "0 (pGlobal, or a new one), None elsewhere.")
      .def(
          "GetValue_FromGlobalFaceToLocalFace",
          [](PyFace& f, const py::object& global, const py::object& local) {
            const std::string where = "GetValue_FromGlobalFaceToLocalFace";
            return Dispatch<double, int>(
                DTypeOf(where, py::isinstance<py::array>(local) ? local : global), where,
                [&](auto tag) { return FaceScatter<decltype(tag)>(f, global, local); });
          },
          py::arg("pGlobal"), py::arg("pLocal"),
          "Collective scatter of face values into pLocal (local count+1, written). Returns "
          "pLocal.");

  py::class_<PyBoundaryFace>(m, "CKRZL2GBroadTools_BoundaryFace",
                             "Cell values to the global boundary faces on rank 0 and back.")
      .def(py::init<>())
      .def(
          "SetBoundaryFaceRelation",
          [](PyBoundaryFace& b, py::object face) {
            b.bface.SetBoundaryFaceRelation(&face.cast<PyFace&>().face);
            b.face = face;
          },
          py::arg("pFace"), "Ties the object to a face object (kept alive). Not collective.")
      .def(
          "SetLocalFace_BoundaryCellID",
          [](PyBoundaryFace& b, int n, py::object owner, py::object neighbor) {
            const std::string where = "SetLocalFace_BoundaryCellID";
            if (n != b.bface.GetBoundaryFaceNumber_Local())
              throw py::value_error(where + ": nBoundaryFaceLocal is " + std::to_string(n) +
                                    ", the face object holds " +
                                    std::to_string(b.bface.GetBoundaryFaceNumber_Local()));
            int* o = Data<int>(owner, static_cast<long long>(n) + 1,
                               where + ": argument 'pOwnerCellID'", false);
            int* g = Data<int>(neighbor, static_cast<long long>(n) + 1,
                               where + ": argument 'pNeighborCellID'", false);
            b.bface.SetLocalFace_BoundaryCellID(n, o, g);
            b.owner = owner;
            b.neighbor = neighbor;
            b.largestCell = b.LargestCell();
          },
          py::arg("nBoundaryFaceLocal"), py::arg("pOwnerCellID"), py::arg("pNeighborCellID"),
          "Owner and neighbour cell of each local boundary face (int32 arrays of n+1, borrowed: "
          "do not resize them). Not collective.")
      .def("GetBoundaryFaceNumber_Local",
           [](PyBoundaryFace& b) { return b.bface.GetBoundaryFaceNumber_Local(); })
      .def("GetBoundaryFaceNumber_Global",
           [](PyBoundaryFace& b) { return b.bface.GetBoundaryFaceNumber_Global(); })
      .def("Getmyid", [](PyBoundaryFace& b) { return b.bface.Getmyid(); })
      .def(
          "GetGlobalFaceValue_FromLocalOwnerCell",
          [](PyBoundaryFace& b, const py::object& cells, const py::object& global) {
            return Dispatch<double, int>(DTypeOf("GetGlobalFaceValue_FromLocalOwnerCell", cells),
                                         "GetGlobalFaceValue_FromLocalOwnerCell", [&](auto tag) {
                                           return BoundaryGather<decltype(tag)>(b, CellSide::Owner,
                                                                                cells, global);
                                         });
          },
          py::arg("pCellValue"), py::arg("pGlobalFaceValue") = py::none(),
          "Collective. Owner cell values into the global face array on rank 0 (returned there).")
      .def(
          "GetGlobalFaceValue_FromLocalNeighborCell",
          [](PyBoundaryFace& b, const py::object& cells, const py::object& global) {
            return Dispatch<double, int>(DTypeOf("GetGlobalFaceValue_FromLocalNeighborCell", cells),
                                         "GetGlobalFaceValue_FromLocalNeighborCell", [&](auto tag) {
                                           return BoundaryGather<decltype(tag)>(
                                               b, CellSide::Neighbor, cells, global);
                                         });
          },
          py::arg("pCellValue"), py::arg("pGlobalFaceValue") = py::none(),
          "Collective. Neighbour cell values into the global face array on rank 0.")
      .def(
          "GetLocalNeighborCellValue_FromGlobalFaceValue",
          [](PyBoundaryFace& b, const py::object& global, const py::object& cells) {
            Dispatch<double, int>(DTypeOf("GetLocalNeighborCellValue_FromGlobalFaceValue", cells),
                                  "GetLocalNeighborCellValue_FromGlobalFaceValue", [&](auto tag) {
                                    BoundaryScatter<decltype(tag)>(b, global, cells);
                                    return 0;
                                  });
          },
          py::arg("pGlobalFaceValue"), py::arg("pCellValue"),
          "Collective. Global face values (rank 0) into the neighbour cells of pCellValue.");

  py::class_<PyExchange> exchange(m, "CKRZA2BExchange_BoundaryFace",
                                  "Couples two domains, A and B, across a shared boundary.");
  exchange.def(py::init<>())
      .def(
          "SetL2G_Face",
          [](PyExchange& x, py::object a, py::object b) {
            x.exchange.SetL2G_Face(&a.cast<PyFace&>().face, &b.cast<PyFace&>().face);
            x.faceA = a;
            x.faceB = b;
          },
          py::arg("pFaceA"), py::arg("pFaceB"), "The two face objects (kept alive).")
      .def(
          "SetL2G_BoundaryFace",
          [](PyExchange& x, py::object a, py::object b) {
            x.exchange.SetL2G_BoundaryFace(&a.cast<PyBoundaryFace&>().bface,
                                           &b.cast<PyBoundaryFace&>().bface);
            x.boundaryA = a;
            x.boundaryB = b;
          },
          py::arg("pBoundaryFaceA"), py::arg("pBoundaryFaceB"),
          "The two boundary-face objects (kept alive).")
      .def(
          "SetA2BRelation",
          [](PyExchange& x, const py::object& a2b, const py::object& b2a) {
            int* a = nullptr;
            int* b = nullptr;
            if (!a2b.is_none() && !b2a.is_none() && !x.faceA.is_none() && !x.faceB.is_none()) {
              a = Data<int>(a2b, x.faceA.cast<PyFace&>().GlobalCount() + 1,
                            "SetA2BRelation: argument 'pA2B'", false);
              b = Data<int>(b2a, x.faceB.cast<PyFace&>().GlobalCount() + 1,
                            "SetA2BRelation: argument 'pB2A'", false);
            }
            x.exchange.SetA2BRelation(a, b);
          },
          py::arg("pA2B") = py::none(), py::arg("pB2A") = py::none(),
          "Rank 0: the relation (int32 arrays, copied), or None to pair faces by node set.")
      .def("GetBoundaryFaceNumber_Global_A",
           [](PyExchange& x) { return x.exchange.GetBoundaryFaceNumber_Global_A(); })
      .def("GetBoundaryFaceNumber_Global_B",
           [](PyExchange& x) { return x.exchange.GetBoundaryFaceNumber_Global_B(); })
      .def("GetBoundaryFaceNumber_Local_A",
           [](PyExchange& x) { return x.exchange.GetBoundaryFaceNumber_Local_A(); })
      .def("GetBoundaryFaceNumber_Local_B",
           [](PyExchange& x) { return x.exchange.GetBoundaryFaceNumber_Local_B(); });
  py::list names;
  for (const TransferSpec& spec : kTransfers) {
    exchange.def(
        spec.name,
        [&spec](PyExchange& x, const py::object& in, const py::object& out) {
          A2BTransfer(spec, x, in, out);
        },
        py::arg("pIn"), py::arg("pOut"),
        "Collective A/B transfer (float64 or int32 arrays): the first array is read, the second "
        "written (the two-way exchange reads and writes both). Cell arrays are indexed by the "
        "boundary-face object's cell ids, face arrays by the local faces (local count+1).");
    for (const int half : {1, 2})
      exchange.def(
          (std::string(spec.name) + (half == 1 ? "_Begin" : "_End")).c_str(),
          [&spec, half](PyExchange& x, const py::object& in, const py::object& out) {
            A2BTransfer(spec, x, in, out, half);
          },
          py::arg("pIn"), py::arg("pOut"),
          half == 1 ? "Collective: the first half of the split transfer: reads pIn and posts the "
                      "messages; compute, then call the _End with the same arrays (kept alive "
                      "until then; pOut must not be touched in between)."
                    : "Collective: the second half of the split transfer: waits (the GIL "
                      "released) and writes pOut.");
    names.append(spec.name);
  }
  m.attr("A2B_TRANSFERS") = py::tuple(names);

  py::class_<CKRZL2GBroadTools_UnitTest>(m, "CKRZL2GBroadTools_UnitTest",
                                         "The library's built-in self-test.")
      .def(py::init<>())
      .def(
          "SetInitialize",
          [](CKRZL2GBroadTools_UnitTest& t, int myid, int nproc, PyCom& com) {
            CheckRank("SetInitialize", myid, nproc);
            t.SetInitialize(myid, nproc, ComOf(com));
          },
          py::arg("myid"), py::arg("nproc"), py::arg("com"), py::keep_alive<1, 4>())
      .def(
          "Test",
          [](CKRZL2GBroadTools_UnitTest& t) {
            Released([&] {
              t.Test();
              return 0;
            });
          },
          "Collective. Runs the self-test; its report goes to sys.stdout.");
}

} // namespace krz::python
