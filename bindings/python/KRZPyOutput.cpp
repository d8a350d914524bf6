#include "KRZPyOutput.h"

#include <pybind11/pybind11.h>

namespace krz::python {
namespace py = pybind11;

namespace {
std::string& Pending() {
  thread_local std::string text;
  return text;
}
} // namespace

CKRZPythonStdout::CKRZPythonStdout(std::ostream& stream)
    : m_Stream(stream), m_pPrevious(stream.rdbuf(this)) {}

CKRZPythonStdout::~CKRZPythonStdout() { m_Stream.rdbuf(m_pPrevious); }

void CKRZPythonStdout::Emit(std::string& text) {
  if (text.empty())
    return;
  if (!Py_IsInitialized()) {
    m_pPrevious->sputn(text.data(), static_cast<std::streamsize>(text.size()));
    text.clear();
    return;
  }
  py::gil_scoped_acquire gil;
  try {
    py::module_::import("sys").attr("stdout").attr("write")(text);
  } catch (py::error_already_set&) {
    m_pPrevious->sputn(text.data(), static_cast<std::streamsize>(text.size()));
  }
  text.clear();
}

CKRZPythonStdout::int_type CKRZPythonStdout::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof()))
    return traits_type::not_eof(ch);
  std::string& text = Pending();
  text.push_back(traits_type::to_char_type(ch));
  if (ch == '\n')
    Emit(text);
  return ch;
}

std::streamsize CKRZPythonStdout::xsputn(const char* s, std::streamsize n) {
  std::string& text = Pending();
  text.append(s, static_cast<size_t>(n));
  if (!text.empty() && text.back() == '\n')
    Emit(text);
  return n;
}

int CKRZPythonStdout::sync() {
  Emit(Pending());
  return 0;
}

} // namespace krz::python
