#include "KRZPyArrays.h"

namespace krz::python {

std::string Describe(const py::handle& object) {
  if (object.is_none())
    return "None";
  if (py::isinstance<py::array>(object)) {
    py::array array = py::reinterpret_borrow<py::array>(object);
    std::string shape = "(";
    for (py::ssize_t d = 0; d < array.ndim(); ++d)
      shape +=
          std::to_string(array.shape(d)) + (array.ndim() == 1 || d + 1 < array.ndim() ? "," : "");
    shape += ")";
    return py::str(static_cast<py::handle>(array.dtype())).cast<std::string>() +
           " array of shape " + shape;
  }
  return py::str(py::type::of(object).attr("__name__")).cast<std::string>();
}

py::dtype DTypeOf(const std::string& where, const py::handle& object) {
  if (!py::isinstance<py::array>(object))
    throw py::type_error(where + ": expected an array, got " + Describe(object));
  return py::reinterpret_borrow<py::array>(object).dtype();
}

py::list CopyRows(int* const* rows, const std::vector<int>& counts) {
  py::list list;
  for (size_t p = 0; p < counts.size(); ++p) {
    py::array row = Zeros<int>(static_cast<long long>(counts[p]) + 1);
    if (rows != nullptr && rows[p] != nullptr)
      std::copy(rows[p], rows[p] + counts[p] + 1, static_cast<int*>(row.mutable_data()));
    list.append(row);
  }
  return list;
}

BorrowedRows Rows(const py::handle& object, const std::string& where, const int* counts,
                  int nrows) {
  BorrowedRows rows;
  if (!py::isinstance<py::sequence>(object) || py::isinstance<py::array>(object))
    throw py::type_error(where + ": expected a list of " + std::to_string(nrows) +
                         " int32 arrays (one row per rank), got " + Describe(object));
  py::sequence sequence = py::reinterpret_borrow<py::sequence>(object);
  if (static_cast<int>(sequence.size()) != nrows)
    throw py::value_error(where + ": expected " + std::to_string(nrows) + " rows, got " +
                          std::to_string(sequence.size()));
  for (int p = 0; p < nrows; ++p) {
    py::object row = sequence[static_cast<size_t>(p)];
    const std::string at = where + "[" + std::to_string(p) + "]";
    long long length = 0;
    if (counts != nullptr) {
      length = static_cast<long long>(counts[p]) + 1;
    } else {
      if (!py::isinstance<py::array>(row))
        throw py::type_error(at + ": expected an int32 array, got " + Describe(row));
      length = py::reinterpret_borrow<py::array>(row).ndim() == 1
                   ? py::reinterpret_borrow<py::array>(row).shape(0)
                   : -1;
      if (length < 1)
        throw py::value_error(at +
                              ": expected a one-dimensional array of at least one element, "
                              "got " +
                              Describe(row));
    }
    rows.pointers.push_back(Data<int>(row, length, at, false));
    rows.counts.push_back(static_cast<int>(length - 1));
    rows.keep.append(row);
  }
  return rows;
}

} // namespace krz::python
