// NumPy arrays at the boundary of the Python module: exact dtype, C-contiguous, the expected
// length, never a silent copy. Every refusal is a Python exception naming the operation, the
// argument, what was expected and what was given.
#ifndef KRZ_BINDINGS_PYTHON_KRZPYARRAYS_H
#define KRZ_BINDINGS_PYTHON_KRZPYARRAYS_H

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace krz::python {

namespace py = pybind11;

/// The five element types and their NumPy names.
template <class T> struct Element;
template <> struct Element<double> { static constexpr const char* name = "float64"; };
template <> struct Element<float> { static constexpr const char* name = "float32"; };
template <> struct Element<int> { static constexpr const char* name = "int32"; };
template <> struct Element<bool> { static constexpr const char* name = "bool"; };
template <> struct Element<char> { static constexpr const char* name = "int8"; };

template <class T> py::dtype DType() {
  if constexpr (std::is_same_v<T, char>)
    return py::dtype::of<signed char>();
  else
    return py::dtype::of<T>();
}

/// What the caller passed, for messages: "float64 array of shape (5,)" or "None" or the type.
std::string Describe(const py::handle& object);

/// Calls f(T{}) with T the element type of `dtype`, one of `Types...`; raises TypeError naming
/// `where` for any other dtype.
template <class... Types, class F>
auto Dispatch(const py::dtype& dtype, const std::string& where, F&& f) {
  using R = decltype(f(std::declval<typename std::tuple_element<0, std::tuple<Types...>>::type>()));
  R result{};
  bool done = false;
  auto tryOne = [&](auto tag) {
    using T = decltype(tag);
    if (!done && dtype.is(DType<T>())) {
      result = f(tag);
      done = true;
    }
  };
  (tryOne(Types{}), ...);
  if (!done) {
    std::string names;
    ((names += std::string(names.empty() ? "" : ", ") + Element<Types>::name), ...);
    throw py::type_error(where + ": expected an array of " + names + ", got " +
                         py::str(static_cast<const py::handle&>(dtype)).cast<std::string>());
  }
  return result;
}

/// The data of `object`, a C-contiguous one-dimensional array of T with exactly `length`
/// elements (writeable when `write`). None gives null when `allowNone`.
template <class T>
T* Data(const py::handle& object, long long length, const std::string& where, bool write,
        bool allowNone = false) {
  if (object.is_none()) {
    if (allowNone)
      return nullptr;
    throw py::type_error(where + ": expected a " + Element<T>::name + " array of " +
                         std::to_string(length) + " elements, got None");
  }
  if (!py::isinstance<py::array>(object))
    throw py::type_error(where + ": expected a " + Element<T>::name + " array, got " +
                         Describe(object));
  py::array array = py::reinterpret_borrow<py::array>(object);
  if (!array.dtype().is(DType<T>()))
    throw py::type_error(where + ": expected a " + Element<T>::name + " array, got " +
                         Describe(object));
  if (array.ndim() != 1 || array.shape(0) != length)
    throw py::value_error(where + ": expected " + std::to_string(length) +
                          " elements (1-based, element 0 included), got " + Describe(object));
  if (!(array.flags() & py::array::c_style))
    throw py::value_error(where + ": expected a contiguous array, got a strided view; pass a "
                                  "copy (numpy.ascontiguousarray) and read the result from it");
  if (write && !array.writeable())
    throw py::value_error(where + ": the array is read-only");
  // An input the library only reads may be read-only.
  return write ? static_cast<T*>(array.mutable_data())
               : const_cast<T*>(static_cast<const T*>(array.data()));
}

/// f() (a pointer), or null with the exception it raised kept in `error` (the first one kept).
template <class F> auto Later(std::exception_ptr& error, F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (...) {
    if (!error)
      error = std::current_exception();
    return nullptr;
  }
}

/// Data() for one rank's argument of a collective: instead of raising before the collective
/// (the other ranks would wait for this one), a refused argument is kept in `error` and null
/// returned; the rank takes part with zeros and raises `error` afterwards (RaiseAfter).
template <class T>
T* DataOrLater(const py::handle& object, long long length, const std::string& where, bool write,
               std::exception_ptr& error, bool allowNone = false) {
  return Later(error, [&] { return Data<T>(object, length, where, write, allowNone); });
}

/// Raises what DataOrLater or Later kept, if anything.
inline void RaiseAfter(const std::exception_ptr& error) {
  if (error)
    std::rethrow_exception(error);
}

/// The dtype of `object`, which must be an array (TypeError naming `where` otherwise).
py::dtype DTypeOf(const std::string& where, const py::handle& object);

/// A new zero-filled array of `length` elements of T.
template <class T> py::array Zeros(long long length) {
  py::array array(DType<T>(), std::vector<py::ssize_t>{static_cast<py::ssize_t>(length)},
                  std::vector<py::ssize_t>{});
  std::fill_n(static_cast<T*>(array.mutable_data()), length, T());
  return array;
}

/// A new NumPy array that takes over `data` (new[] of `length` elements).
template <class T> py::array Adopt(T* data, long long length) {
  py::capsule owner(data, [](void* p) { delete[] static_cast<T*>(p); });
  return py::array(DType<T>(), std::vector<py::ssize_t>{static_cast<py::ssize_t>(length)},
                   std::vector<py::ssize_t>{}, data, owner);
}

/// A row table (new[] rows of counts[p]+1 elements) as a list of arrays that take over the rows;
/// the row array itself is released.
template <class T> py::list AdoptRows(T** rows, const std::vector<int>& counts) {
  py::list list;
  for (size_t p = 0; p < counts.size(); ++p) {
    list.append(Adopt(rows[p], static_cast<long long>(counts[p]) + 1));
    rows[p] = nullptr;
  }
  delete[] rows;
  return list;
}

/// Copies of the rows of a table the library keeps (counts[p]+1 elements each).
py::list CopyRows(int* const* rows, const std::vector<int>& counts);

/// A row table handed in as a sequence of int32 arrays: the arrays stay the caller's (the
/// library borrows them, zero-copy), `pointers` holds one pointer per row. Lengths are checked
/// against `counts` when given (counts[p]+1 elements), otherwise any length of at least 1.
struct BorrowedRows {
  std::vector<int*> pointers;
  std::vector<int> counts; ///< length of each row minus one
  py::list keep;           ///< the arrays, kept alive by the object that borrows them
};
BorrowedRows Rows(const py::handle& object, const std::string& where, const int* counts, int nrows);

} // namespace krz::python

#endif
