#include "KRZPyOutput.h"

#include <pybind11/pybind11.h>

#include <atomic>
#include <cstdio>

#include "KRZLineSink.h"

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

namespace {
std::atomic<int> g_nLoggingLevel{30}; ///< the level lines_to_logging asked for

// The library's lines to the logger "krz3dcomtools" (each record carries krz_rank), under the
// interpreter lock; standard error where the interpreter is gone or logging fails.
void ToLogging(int rank, const char* line, void*) {
  if (!Py_IsInitialized()) {
    std::fprintf(stderr, "%s\n", line);
    return;
  }
  py::gil_scoped_acquire gil;
  try {
    py::dict extra;
    extra["krz_rank"] = rank;
    py::module_::import("logging")
        .attr("getLogger")("krz3dcomtools")
        .attr("log")(g_nLoggingLevel.load(), "%s", line, py::arg("extra") = extra);
  } catch (py::error_already_set& e) {
    e.discard_as_unraisable("krz3dcomtools line sink");
    std::fprintf(stderr, "%s\n", line);
  }
}
} // namespace

void BindLines(py::module_& m) {
  m.def(
      "lines_to_logging",
      [](int level) {
        g_nLoggingLevel = level;
        KRZSetLineSink(&ToLogging, nullptr);
      },
      py::arg("level") = 30,
      "lines_to_logging(level=logging.WARNING)\n\nNot collective; process-wide. Every later line "
      "of the library goes to the logging logger 'krz3dcomtools' at `level`, as one record whose "
      "attribute krz_rank is the rank that printed it (-1: not known), instead of sys.stdout.");
  m.def(
      "lines_to_stdout", [] { KRZSetLineSink(nullptr, nullptr); },
      "lines_to_stdout()\n\nNot collective; process-wide. The library's lines go to sys.stdout "
      "again (the default).");
  // Lines after the interpreter is gone have no logger to go to.
  py::module_::import("atexit").attr("register")(
      py::cpp_function([] { KRZSetLineSink(nullptr, nullptr); }));
}

} // namespace krz::python
