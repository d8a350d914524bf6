// The element type codes the library's own engines give their communicators (CKRZCom's
// m_nType... members), written once for both engines, with their names and sizes. Internal to
// krzcom/; a solver's own CKRZCom subclass may use any values.
#ifndef KRZCOM_KRZTYPECODES_H
#define KRZCOM_KRZTYPECODES_H

#include <cstddef>

namespace krz::detail {

/// The one list: X(enumerator, code, C++ type, name).
#define KRZ_TYPE_CODE_LIST(X)                                                                      \
  X(kTypeChar, 1, char, "char")                                                                    \
  X(kTypeInt, 2, int, "int")                                                                       \
  X(kTypeFloat, 3, float, "float")                                                                 \
  X(kTypeDouble, 4, double, "double")

#define KRZ_TYPE_ENUMERATOR(e, code, type, name) e = code,
enum KRZTypeCode : int { KRZ_TYPE_CODE_LIST(KRZ_TYPE_ENUMERATOR) };
#undef KRZ_TYPE_ENUMERATOR

/// "char", "int", "float", "double"; null for a code that is none of them.
inline const char* KRZTypeName(int code) {
#define KRZ_TYPE_NAME(e, c, type, name)                                                            \
  if (code == c)                                                                                   \
    return name;
  KRZ_TYPE_CODE_LIST(KRZ_TYPE_NAME)
#undef KRZ_TYPE_NAME
  return nullptr;
}

/// Bytes of one element; 0 for a code that is none of them.
inline size_t KRZTypeSize(int code) {
#define KRZ_TYPE_SIZE(e, c, type, name)                                                            \
  if (code == c)                                                                                   \
    return sizeof(type);
  KRZ_TYPE_CODE_LIST(KRZ_TYPE_SIZE)
#undef KRZ_TYPE_SIZE
  return 0;
}

/// Bytes of `count` elements of the type `code` names.
inline long long KRZTypeBytes(int code, int count) {
  return static_cast<long long>(KRZTypeSize(code)) * count;
}

} // namespace krz::detail

#endif
