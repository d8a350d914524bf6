// CKRZLine: one diagnostic line of the library, on standard output or to the program's sink
// (KRZSetLineSink).
//
//   CKRZLine() << "Local dim =" << n;
//
// The line is composed in a private stream with default formatting and handed over whole when the
// temporary dies, so lines of different ranks never mix inside a line.
#ifndef KRZ_BASE_KRZLINE_H
#define KRZ_BASE_KRZLINE_H

#include <sstream>
#include <string>

#include "KRZLineSink.h"

namespace krz::detail {

class CKRZLine {
public:
  CKRZLine() = default;
  CKRZLine(const CKRZLine&) = delete;
  CKRZLine& operator=(const CKRZLine&) = delete;
  ~CKRZLine() { KRZEmitLine(m_Text.str()); }

  template <class T> CKRZLine& operator<<(const T& value) {
    m_Text << value;
    return *this;
  }

private:
  std::ostringstream m_Text;
};

} // namespace krz::detail

#endif
