// CKRZLine: one diagnostic line of the library on standard output.
//
//   CKRZLine() << "Local dim =" << n;
//
// The line is composed in a private stream with default formatting and written with one call
// followed by a flush when the temporary dies, so lines of different ranks never mix inside a
// line and a per-thread stream buffer on std::cout sees each line whole.
#ifndef KRZ_BASE_KRZLINE_H
#define KRZ_BASE_KRZLINE_H

#include <iostream>
#include <sstream>
#include <string>

namespace krz::detail {

class CKRZLine {
public:
  CKRZLine() = default;
  CKRZLine(const CKRZLine&) = delete;
  CKRZLine& operator=(const CKRZLine&) = delete;
  ~CKRZLine() {
    m_Text << '\n';
    const std::string text = m_Text.str();
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
    std::cout.flush();
  }

  template <class T> CKRZLine& operator<<(const T& value) {
    m_Text << value;
    return *this;
  }

private:
  std::ostringstream m_Text;
};

} // namespace krz::detail

#endif
