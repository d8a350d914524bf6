// The library's lines on Python's sys.stdout, so that pytest's capture and Jupyter see them.
//
// Installed on std::cout when the module is imported. Each thread's text is kept until its line
// ends (or std::cout is flushed) and then written to sys.stdout as it is at that moment, under
// the GIL, so lines of in-process ranks never mix.
#ifndef KRZ_BINDINGS_PYTHON_KRZPYOUTPUT_H
#define KRZ_BINDINGS_PYTHON_KRZPYOUTPUT_H

#include <pybind11/pybind11.h>

#include <ostream>
#include <streambuf>
#include <string>

namespace krz::python {

class CKRZPythonStdout : public std::streambuf {
public:
  explicit CKRZPythonStdout(std::ostream& stream);
  ~CKRZPythonStdout() override;
  CKRZPythonStdout(const CKRZPythonStdout&) = delete;
  CKRZPythonStdout& operator=(const CKRZPythonStdout&) = delete;

protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

private:
  void Emit(std::string& text);

  std::ostream& m_Stream;
  std::streambuf* m_pPrevious;
};

/// lines_to_logging and lines_to_stdout: where the library's lines go.
void BindLines(pybind11::module_& m);

} // namespace krz::python

#endif
