// Python classes of the transfer engine, the collector and the two node mappings.
#include <algorithm>
#include <string>
#include <vector>

#include "CCOM_BroadTools.h"
#include "CCOM_BroadTools_CollectLocalArrayToMyid0.h"
#include "CL2GMappingRelation_CollectFVNode2MFENode.h"
#include "CL2GMappingRelation_LocalFVNode2GlobalMFENode.h"
#include "KRZPyCommon.h"

namespace krz::python {
namespace {

#define KRZ_ALL_TYPES double, float, int, bool, char
#define KRZ_ROW_TYPES int, bool, double, float

/// The dtype of the first of the named `objects` that is an array, else `dtype`. TypeError
/// naming `where` and the argument for anything that is neither an array nor None.
using Named = std::pair<const char*, py::handle>;
py::dtype DTypeOf(const std::string& where, std::initializer_list<Named> objects,
                  const py::object& dtype) {
  for (const Named& o : objects)
    if (!o.second.is_none() && !py::isinstance<py::array>(o.second))
      throw py::type_error(where + ": argument '" + o.first + "': expected a NumPy array, got " +
                           Describe(o.second));
  for (const Named& o : objects)
    if (py::isinstance<py::array>(o.second))
      return py::reinterpret_borrow<py::array>(o.second).dtype();
  if (!dtype.is_none())
    return py::dtype::from_args(dtype);
  throw py::type_error(where +
                       ": no array given to tell the element type; pass an array or dtype=");
}

// ---- CCOM_BroadTools ----------------------------------------------------------------------------
struct PyBroadTools : PyRanked {
  CCOM_BroadTools tools;
  py::object counts;  ///< SetMapRelation's count array, borrowed by the library
  BorrowedRows rows;  ///< SetMapRelation's rows, borrowed by the library
  int nGlobal = 0;    ///< SetMapRelation's global dimension
  py::tuple inFlight; ///< (source, target) of a split transfer begun and not ended, kept alive
};

// Which call of a gather or scatter: the whole transfer, or one half of the split one.
enum class Half { Whole, Begin, End };

const char* HalfSuffix(Half half) {
  return half == Half::Begin ? "_Begin" : half == Half::End ? "_End" : "";
}

// The target of a split transfer's _End given none: the array its _Begin wrote into.
py::object TargetOf(const PyBroadTools& b, Half half, const py::object& given) {
  return half == Half::End && given.is_none() && b.inFlight.size() == 2 ? py::object(b.inFlight[1])
                                                                        : given;
}

// Keeps a split transfer's arrays alive from its _Begin to its _End; returns the _Begin's None.
py::object Track(PyBroadTools& b, Half half, const py::object& source, const py::object& target) {
  if (half == Half::Begin && b.inFlight.empty())
    b.inFlight = py::make_tuple(source, target);
  else if (half == Half::End)
    b.inFlight = py::tuple();
  return half == Half::Begin ? py::object(py::none()) : target;
}

// Rank 0: the counts handed to SetMapRelation are borrowed and may have been edited in place
// since; a count past its row's length would make the library read past the row. Such a call
// runs on a copy with every count cut to its row (the transfer then reports the change of counts
// and fails, as it would in C++), and raises afterwards (Raise()); the caller's relation is set
// back when the guard ends.
class CKRZCountGuard {
public:
  CKRZCountGuard(PyBroadTools& b, const std::string& where) : m_B(b) {
    if (b.myid != 0 || !b.counts || b.counts.is_none())
      return;
    m_pCounts = static_cast<int*>(py::reinterpret_borrow<py::array>(b.counts).mutable_data());
    for (int p = 0; p < b.nproc; ++p) {
      const int row = b.rows.counts[static_cast<size_t>(p)];
      if (m_pCounts[p] >= 0 && m_pCounts[p] <= row)
        continue;
      if (m_Error.empty())
        m_Error = where + ": pNDimension_L[" + std::to_string(p) + "] was changed to " +
                  std::to_string(m_pCounts[p]) + " in place, but its row holds " +
                  std::to_string(row) + " items";
      m_Clamped.assign(m_pCounts, m_pCounts + b.nproc);
    }
    if (m_Error.empty())
      return;
    for (int p = 0; p < b.nproc; ++p)
      m_Clamped[static_cast<size_t>(p)] =
          std::clamp(m_Clamped[static_cast<size_t>(p)], 0, b.rows.counts[static_cast<size_t>(p)]);
    b.tools.SetMapRelation(b.nGlobal, m_Clamped.data(), b.rows.pointers.data());
  }
  ~CKRZCountGuard() {
    if (!m_Error.empty())
      m_B.tools.SetMapRelation(m_B.nGlobal, m_pCounts, m_B.rows.pointers.data());
  }
  CKRZCountGuard(const CKRZCountGuard&) = delete;
  CKRZCountGuard& operator=(const CKRZCountGuard&) = delete;
  void Raise() const {
    if (!m_Error.empty())
      throw py::value_error(m_Error);
  }

private:
  PyBroadTools& m_B;
  int* m_pCounts = nullptr;
  std::vector<int> m_Clamped;
  std::string m_Error;
};

void SetMapRelation(PyBroadTools& b, int nGlobal, const py::object& counts,
                    const py::object& rows) {
  const char* where = "SetMapRelation";
  if (b.nproc > 1 && b.myid != 0)
    return; // other ranks receive rank 0's relation
  int* c = Data<int>(counts, b.nproc, std::string(where) + ": argument 'pNDimension_L'", false);
  for (int p = 0; p < b.nproc; ++p)
    if (c[p] < 0)
      throw py::value_error(std::string(where) + ": pNDimension_L[" + std::to_string(p) + "] is " +
                            std::to_string(c[p]));
  BorrowedRows r = Rows(rows, std::string(where) + ": argument 'pL2GArray'", c, b.nproc);
  b.counts = counts;
  b.rows = std::move(r);
  b.nGlobal = nGlobal;
  b.tools.SetMapRelation(nGlobal, c, b.rows.pointers.data());
}

// 1 + the position of `dtype` in Types..., 0 for any other dtype.
template <class... Types> int TypeNumber(const py::dtype& dtype) {
  int number = 0, at = 0;
  ((++at, number = number == 0 && dtype.is(DType<Types>()) ? at : number), ...);
  return number;
}

const char* const kTypeNames[] = {
    "an unsupported type", "float64", "float32", "int32", "bool", "int8"};

// Collective (more than one rank): the ranks compare the element types they are about to move
// (one AllMin of two ints), so that different dtypes on different ranks are an error on every
// rank instead of values reinterpreted by the receiver, and a rank whose dtype is refused leaves
// no other rank waiting. `code`: TypeNumber, 0 for a refused argument (which this rank raises).
void AgreeOnType(PyBroadTools& b, const std::string& where, int code) {
  if (b.nproc <= 1 || !b.com || b.com.is_none())
    return;
  CKRZCom* com = ComOf(b.com.cast<PyCom&>());
  int mine[2] = {code, -code}, all[2] = {0, 0};
  Released([&] { return com->AllMin(com->m_nTypeInt, mine, all, 2, com->m_nCommHandle); });
  if (code == 0 || all[0] == -all[1])
    return;
  if (all[0] == 0)
    throw py::value_error(where + ": another rank's arguments were refused; nothing moved");
  throw py::type_error(where + ": the ranks passed arrays of different element types (" +
                       kTypeNames[all[0]] + " and " + kTypeNames[-all[1]] + ", this rank " +
                       kTypeNames[code] + "); nothing moved");
}

// A gather or scatter through `b`: the element type from the arrays given (or `dtype`), then
// body(tag, nLocal) with this rank's local count; a failed relation check raises.
template <class Body>
py::object Transferred(PyBroadTools& b, const std::string& where, const py::object& local,
                       const py::object& global, const py::object& dtype, Body body) {
  const char* typed = py::isinstance<py::array>(local) ? "pLocal" : "pGlobal";
  const std::string argument = where + ": argument '" + typed + "'";
  py::dtype type;
  std::exception_ptr error;
  int code = 0;
  try {
    type = DTypeOf(where, {{"pLocal", local}, {"pGlobal", global}}, dtype);
    code = TypeNumber<KRZ_ALL_TYPES>(type);
  } catch (...) {
    error = std::current_exception();
  }
  AgreeOnType(b, where, code); // every rank alike, before any message
  if (error)
    std::rethrow_exception(error);
  return Dispatch<KRZ_ALL_TYPES>(type, argument, [&](auto tag) -> py::object {
    Live(b);
    const int nLocal = Released([&] { return b.tools.GetDimension_Local(b.myid); });
    int done = 0;
    CKRZCountGuard guard(b, where);
    py::object result = body(tag, nLocal, done);
    guard.Raise();
    if (done == 0)
      throw std::runtime_error(where +
                               ": refused or the relation check failed (see the line printed)");
    return result;
  });
}

py::object Gather(PyBroadTools& b, const py::object& local, const py::object& given,
                  const py::object& dtype, Half half) {
  const std::string where = std::string("GetGlobalArrayFromLocalArray") + HalfSuffix(half);
  const py::object global = TargetOf(b, half, given);
  return Transferred(b, where, local, global, dtype, [&](auto tag, int nLocal, int& done) {
    using T = decltype(tag);
    // A refused argument: the rank takes part (zeros in, a scratch array out) and raises after.
    std::exception_ptr error;
    T* l = DataOrLater<T>(local, nLocal + 1, where + ": argument 'pLocal'", false, error, true);
    py::object result = py::none();
    T* g = nullptr;
    if (b.myid == 0) {
      const long long nG = b.tools.GetDimension_Global();
      result = global.is_none() ? py::object(Zeros<T>(nG + 1)) : global;
      g = DataOrLater<T>(result, nG + 1, where + ": argument 'pGlobal'", true, error);
      if (g == nullptr) {
        result = Zeros<T>(nG + 1);
        g = Data<T>(result, nG + 1, where, true);
      }
    }
    done = Released([&] {
      return half == Half::Begin ? b.tools.GetGlobalArrayFromLocalArray_Begin(l, g)
             : half == Half::End ? b.tools.GetGlobalArrayFromLocalArray_End(l, g)
                                 : b.tools.GetGlobalArrayFromLocalArray(l, g);
    });
    result = Track(b, half, local, result);
    RaiseAfter(error);
    if (l == nullptr)
      throw py::value_error(where + ": argument 'pLocal' is None; the call took part with zeros");
    return result;
  });
}

py::object Scatter(PyBroadTools& b, const py::object& global, const py::object& given,
                   const py::object& dtype, Half half) {
  const std::string where = std::string("GetLocalArrayFromGlobalArray") + HalfSuffix(half);
  const py::object local = TargetOf(b, half, given);
  return Transferred(b, where, local, global, dtype, [&](auto tag, int nLocal, int& done) {
    using T = decltype(tag);
    std::exception_ptr error;
    T* g = nullptr;
    if (b.myid == 0)
      g = DataOrLater<T>(global, static_cast<long long>(b.tools.GetDimension_Global()) + 1,
                         where + ": argument 'pGlobal'", false, error, true);
    py::object result = local.is_none() ? py::object(Zeros<T>(nLocal + 1)) : local;
    T* l = DataOrLater<T>(result, nLocal + 1, where + ": argument 'pLocal'", true, error);
    if (l == nullptr) {
      result = Zeros<T>(nLocal + 1);
      l = Data<T>(result, nLocal + 1, where, true);
    }
    done = Released([&] {
      return half == Half::Begin ? b.tools.GetLocalArrayFromGlobalArray_Begin(g, l)
             : half == Half::End ? b.tools.GetLocalArrayFromGlobalArray_End(g, l)
                                 : b.tools.GetLocalArrayFromGlobalArray(g, l);
    });
    result = Track(b, half, global, result);
    RaiseAfter(error);
    if (b.myid == 0 && g == nullptr)
      throw py::value_error(where + ": argument 'pGlobal' is None on rank 0; every rank "
                                    "received zeros");
    return result;
  });
}

// ---- CCOM_BroadTools_CollectLocalArrayToMyid0 ---------------------------------------------------
struct PyCollector : PyRanked {
  CCOM_BroadTools_CollectLocalArrayToMyid0 collector;
};

std::vector<int> Counts(PyCollector& c) {
  std::vector<int> counts(static_cast<size_t>(c.nproc));
  for (int p = 0; p < c.nproc; ++p)
    counts[static_cast<size_t>(p)] = c.collector.GetNumber_Local(p);
  return counts;
}

py::object CollectRows(PyCollector& c, int nLocal, const py::object& local) {
  const std::string where = "CreateMyid0ArrayFromLocalArray";
  return Dispatch<KRZ_ROW_TYPES>(
      DTypeOf(where, {{"pLocal", local}}, py::none()), where, [&](auto tag) -> py::object {
        using T = decltype(tag);
        std::exception_ptr error; // raised after the collection, which the rank joins with zeros
        T* l = DataOrLater<T>(local, static_cast<long long>(nLocal) + 1,
                              where + ": argument 'pLocal'", false, error);
        Live(c);
        T** rows = Released([&] { return c.collector.CreateMyid0ArrayFromLocalArray(nLocal, l); });
        py::object out = rows == nullptr ? py::object(py::none()) : AdoptRows(rows, Counts(c));
        RaiseAfter(error);
        return out;
      });
}

py::object CollectFlat(PyCollector& c, int nLocal, const py::object& local) {
  const std::string where = "CreateMyid0Array1DFromLocalArray";
  return Dispatch<KRZ_ROW_TYPES>(
      DTypeOf(where, {{"pLocal", local}}, py::none()), where, [&](auto tag) -> py::object {
        using T = decltype(tag);
        std::exception_ptr error; // raised after the collection, which the rank joins with zeros
        T* l = DataOrLater<T>(local, static_cast<long long>(nLocal) + 1,
                              where + ": argument 'pLocal'", false, error);
        Live(c);
        T* flat = Released([&] { return c.collector.CreateMyid0Array1DFromLocalArray(nLocal, l); });
        py::object out =
            flat == nullptr
                ? py::object(py::none())
                : py::object(
                      Adopt(flat, static_cast<long long>(c.collector.GetNumber_Global()) + 1));
        RaiseAfter(error);
        return out;
      });
}

// ---- the node mappings --------------------------------------------------------------------------
struct PyNodeCollect : PyRanked {
  CL2GMappingRelation_CollectFVNode2MFENode mapping;
};

struct PyNodeGlobal : PyRanked {
  CL2GMappingRelation_LocalFVNode2GlobalMFENode mapping;
  CCOM_BroadTools_CollectLocalArrayToMyid0 counts; ///< learns every rank's FV node count
  std::vector<int> fvCounts;                       ///< rank 0: the counts of the collection
  BorrowedRows feNodes;
};

int* IntArray(const py::object& local, int nLocal, const std::string& where) {
  return Data<int>(local, static_cast<long long>(nLocal) + 1, where + ": argument 'pLocal'", false);
}

} // namespace

void BindTransfer(py::module_& m) {
  py::class_<PyBroadTools> tools(m, "CCOM_BroadTools",
                                 "The map relation between every rank's local numbering and one "
                                 "global numbering, and the gather and scatter through it.");
  tools.def(py::init<>())
      .def(
          "SetInitialize",
          [](PyBroadTools& b, int myid, int nproc, py::object com) {
            b.tools.SetInitialize(myid, nproc, b.Initialize(myid, nproc, com));
          },
          py::arg("myid"), py::arg("nproc"), py::arg("com"),
          "Stores this rank's number, the rank count and the communicator. Not collective.")
      .def("SetMapRelation", &SetMapRelation, py::arg("nGlobal"), py::arg("pNDimension_L"),
           py::arg("pL2GArray"),
           "Rank 0: the relation, borrowed (not copied): pNDimension_L an int32 array of nproc "
           "counts, pL2GArray a list of nproc int32 arrays, row p of n_p+1 global numbers (entry "
           "0 unused). Rank 0 may edit the rows in place between transfers. Ignored on other "
           "ranks. Not collective.")
      .def(
          "SetMapRelation_DefaultRelation",
          [](PyBroadTools& b, int nLocal) {
            Live(b);
            Released([&] {
              b.tools.SetMapRelation_DefaultRelation(nLocal);
              return 0;
            });
          },
          py::arg("nLocal"), "Collective: rank 0's items first, then rank 1's, ...")
      .def(
          "GetDimension_Local",
          [](PyBroadTools& b, int p) {
            return Released([&] { return b.tools.GetDimension_Local(p); });
          },
          py::arg("p"), "Local dimension of rank p. Collective until the relation is distributed.")
      .def(
          "GetDimension_Global", [](PyBroadTools& b) { return b.tools.GetDimension_Global(); },
          "Global dimension as known on this rank.")
      .def(
          "SetIfOpenDebugMode", [](PyBroadTools& b, int on) { b.tools.SetIfOpenDebugMode(on); },
          py::arg("on"), "Non-zero switches on the debug lines.")
      .def(
          "GetGlobalArrayFromLocalArray",
          [](PyBroadTools& b, const py::object& local, const py::object& global,
             const py::object& dtype) { return Gather(b, local, global, dtype, Half::Whole); },
          py::arg("pLocal"), py::arg("pGlobal") = py::none(), py::arg("dtype") = py::none(),
          "Gather, collective. pLocal: this rank's n_myid+1 values. pGlobal: rank 0's n_G+1 "
          "array to write, or None for a new one. Returns the global array on rank 0, None "
          "elsewhere. The element type follows pLocal (or pGlobal, or dtype=).")
      .def(
          "GetLocalArrayFromGlobalArray",
          [](PyBroadTools& b, const py::object& global, const py::object& local,
             const py::object& dtype) { return Scatter(b, global, local, dtype, Half::Whole); },
          py::arg("pGlobal"), py::arg("pLocal") = py::none(), py::arg("dtype") = py::none(),
          "Scatter, collective. pGlobal: rank 0's n_G+1 values (None elsewhere). pLocal: this "
          "rank's n_myid+1 array to write, or None for a new one (then the type comes from "
          "pGlobal or dtype=). Returns the local array.");
  for (const Half half : {Half::Begin, Half::End}) {
    const bool begin = half == Half::Begin;
    tools.def(
        (std::string("GetGlobalArrayFromLocalArray") + HalfSuffix(half)).c_str(),
        [half](PyBroadTools& b, const py::object& local, const py::object& global,
               const py::object& dtype) { return Gather(b, local, global, dtype, half); },
        py::arg("pLocal"), py::arg("pGlobal") = py::none(), py::arg("dtype") = py::none(),
        begin ? "Collective: the first half of the split gather: reads pLocal and posts the "
                "messages (pGlobal None: a new array, returned by the _End). Compute, then call "
                "the _End with the same arrays (kept alive until then; do not touch them in "
                "between). Returns None."
              : "Collective: the second half of the split gather: waits (the GIL released) and "
                "returns the global array on rank 0, None elsewhere.");
    tools.def((std::string("GetLocalArrayFromGlobalArray") + HalfSuffix(half)).c_str(),
              [half](PyBroadTools& b, const py::object& global, const py::object& local,
                     const py::object& dtype) { return Scatter(b, global, local, dtype, half); },
              py::arg("pGlobal"), py::arg("pLocal") = py::none(), py::arg("dtype") = py::none(),
              begin
                  ? "Collective: the first half of the split scatter: reads pGlobal and posts the "
                    "messages (pLocal None: a new array, returned by the _End). Compute, then call "
                    "the _End with the same arrays (kept alive until then). Returns None."
                  : "Collective: the second half of the split scatter: waits (the GIL released), "
                    "writes and returns the local array.");
  }

  py::class_<PyCollector>(m, "CCOM_BroadTools_CollectLocalArrayToMyid0",
                          "Every rank's local array collected on rank 0, numbered in rank order.")
      .def(py::init<>())
      .def(
          "SetInitialize",
          [](PyCollector& c, int myid, int nproc, py::object com) {
            c.collector.SetInitialize(myid, nproc, c.Initialize(myid, nproc, com));
          },
          py::arg("myid"), py::arg("nproc"), py::arg("com"), "Not collective.")
      .def("CreateMyid0ArrayFromLocalArray", &CollectRows, py::arg("nLocal"), py::arg("pLocal"),
           "Collective. pLocal: nLocal+1 values (int32, bool, float64 or float32). Returns on rank "
           "0 a list of nproc arrays (row p: n_p+1 values, element 0 zero); None elsewhere and "
           "with one rank.")
      .def("CreateMyid0Array1DFromLocalArray", &CollectFlat, py::arg("nLocal"), py::arg("pLocal"),
           "Collective. Returns on rank 0 one array of GetNumber_Global()+1 values (rank 0's items "
           "first); None elsewhere and with one rank.")
      .def(
          "GetNumber_Local", [](PyCollector& c, int p) { return c.collector.GetNumber_Local(p); },
          py::arg("iProc"))
      .def("GetNumber_Global", [](PyCollector& c) { return c.collector.GetNumber_Global(); });

  py::class_<PyNodeCollect>(m, "CL2GMappingRelation_CollectFVNode2MFENode",
                            "The FV-node to MFE-node relation of every rank, collected on rank 0.")
      .def(py::init<>())
      .def(
          "SetInitialize",
          [](PyNodeCollect& n, int myid, int nproc, py::object com) {
            n.mapping.SetInitialize(myid, nproc, n.Initialize(myid, nproc, com));
          },
          py::arg("myid"), py::arg("nproc"), py::arg("com"), "Not collective.")
      .def(
          "SetMappinArrayCollectToMyid0",
          [](PyNodeCollect& n, int nLocal, const py::object& local) {
            int* l = IntArray(local, nLocal, "SetMappinArrayCollectToMyid0");
            Live(n);
            Released([&] {
              n.mapping.SetMappinArrayCollectToMyid0(nLocal, l);
              return 0;
            });
          },
          py::arg("nLocal"), py::arg("pLocal"),
          "Collective. pLocal: nLocal+1 int32, entry i the MFE node of FV node i. Collects once.")
      .def(
          "GetMappinArrayCollectToMyid0",
          [](PyNodeCollect& n) -> py::object {
            int** rows = n.mapping.GetMappinArrayCollectToMyid0();
            if (rows == nullptr)
              return py::none();
            std::vector<int> counts(static_cast<size_t>(n.nproc));
            for (int p = 0; p < n.nproc; ++p)
              counts[static_cast<size_t>(p)] = n.mapping.GetNumber_Local(p);
            return CopyRows(rows, counts);
          },
          "Rank 0: a copy of the collected table (list of nproc int32 arrays); None elsewhere and "
          "with one rank.")
      .def(
          "GetNumber_Local", [](PyNodeCollect& n, int p) { return n.mapping.GetNumber_Local(p); },
          py::arg("iProc"))
      .def("GetNumber_Global", [](PyNodeCollect& n) { return n.mapping.GetNumber_Global(); });

  py::class_<PyNodeGlobal> nodeGlobal(
      m, "CL2GMappingRelation_LocalFVNode2GlobalMFENode",
      "For every rank and local FV node, the global number of its MFE node, on rank 0.");
  py::enum_<CL2GMappingRelation_LocalFVNode2GlobalMFENode::eDomain>(nodeGlobal, "eDomain")
      .value("eDomain_FV", CL2GMappingRelation_LocalFVNode2GlobalMFENode::eDomain_FV)
      .value("eDomain_MFE", CL2GMappingRelation_LocalFVNode2GlobalMFENode::eDomain_MFE)
      .export_values();
  nodeGlobal.def(py::init<>())
      .def(
          "SetInitialize",
          [](PyNodeGlobal& n, int myid, int nproc, py::object com) {
            CKRZCom* c = n.Initialize(myid, nproc, com);
            n.mapping.SetInitialize(myid, nproc, c);
            n.counts.SetInitialize(myid, nproc, c);
          },
          py::arg("myid"), py::arg("nproc"), py::arg("com"), "Not collective.")
      .def(
          "SetMappinArrayCollectToMyid0",
          [](PyNodeGlobal& n, int nLocal, const py::object& local) {
            int* l = IntArray(local, nLocal, "SetMappinArrayCollectToMyid0");
            Live(n);
            Released([&] {
              n.mapping.SetMappinArrayCollectToMyid0(nLocal, l);
              int mine[2] = {0, nLocal}; // every rank's count, for the rows handed back
              int* all = n.counts.CreateMyid0Array1DFromLocalArray(1, mine);
              n.fvCounts.assign(all != nullptr ? all + 1 : mine + 1,
                                all != nullptr ? all + 1 + n.nproc : mine + 2);
              delete[] all;
              return 0;
            });
          },
          py::arg("nLocal"), py::arg("pLocal"),
          "Collective. Collects afresh FV node -> local MFE node (nLocal+1 int32).")
      .def(
          "SetMappingRelation_FENode_Local2Global",
          [](PyNodeGlobal& n, const py::object& table, const py::object&,
             CL2GMappingRelation_LocalFVNode2GlobalMFENode::eDomain domain) {
            n.feNodes = Rows(table,
                             "SetMappingRelation_FENode_Local2Global: argument "
                             "'pFENodeLocal2Global'",
                             nullptr, n.nproc);
            n.mapping.SetMappingRelation_FENode_Local2Global(n.feNodes.pointers.data(), nullptr,
                                                             domain);
          },
          py::arg("pFENodeLocal2Global"), py::arg("pSecond") = py::none(),
          py::arg("domain") = CL2GMappingRelation_LocalFVNode2GlobalMFENode::eDomain_MFE,
          "Rank 0: the FE-node local-to-global table (list of nproc int32 arrays), borrowed. Not "
          "collective.")
      .def(
          "CreateMappingArray_LocalFVNode2GlobalMFENode",
          [](PyNodeGlobal& n) -> py::object {
            int** rows = n.mapping.CreateMappingArray_LocalFVNode2GlobalMFENode();
            if (rows == nullptr)
              return py::none();
            return AdoptRows(rows, n.fvCounts);
          },
          "Rank 0: a new table of global MFE node numbers (list of nproc int32 arrays); None "
          "elsewhere, with one rank, or before the collection and the FE-node table.");
}

} // namespace krz::python
