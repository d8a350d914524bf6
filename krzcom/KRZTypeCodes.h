// The element type codes the library's own engines give their communicators (CKRZCom's
// m_nType... members), written once for both engines, with their names and sizes. Internal to
// krzcom/; a solver's own CKRZCom subclass may use any values.
#ifndef KRZCOM_KRZTYPECODES_H
#define KRZCOM_KRZTYPECODES_H

#include <cstddef>

namespace krz::detail {

enum KRZTypeCode : int { kTypeChar = 1, kTypeInt = 2, kTypeFloat = 3, kTypeDouble = 4 };

/// "char", "int", "float", "double"; null for a code that is none of them.
inline const char* KRZTypeName(int code) {
  static const char* const names[] = {"char", "int", "float", "double"};
  return code >= kTypeChar && code <= kTypeDouble ? names[code - kTypeChar] : nullptr;
}

/// Bytes of one element; 0 for a code that is none of them.
inline size_t KRZTypeSize(int code) {
  static const size_t sizes[] = {sizeof(char), sizeof(int), sizeof(float), sizeof(double)};
  return code >= kTypeChar && code <= kTypeDouble ? sizes[code - kTypeChar] : 0;
}

} // namespace krz::detail

#endif
