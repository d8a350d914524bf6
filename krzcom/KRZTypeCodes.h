// The element type codes the library's own engines give their communicators (CKRZCom's
// m_nType... members), written once for both engines, with their names and sizes. Internal to
// krzcom/; a solver's own CKRZCom subclass may use any values.
#ifndef KRZCOM_KRZTYPECODES_H
#define KRZCOM_KRZTYPECODES_H

#include <cstddef>
#include <type_traits>

#include "CKRZCom.h"

namespace krz::detail {

/// The one list: X(enumerator, code, C++ type, name, Name), where CKRZCom's member m_nType##Name
/// holds the code. Adding a type: a row here, its member in CKRZCom, its MPI datatype in the MPI
/// engine; the transfers' own list (base/KRZElementTypes.h) names the types they serve.
#define KRZ_TYPE_CODE_LIST(X)                                                                      \
  X(kTypeChar, 1, char, "char", Char)                                                              \
  X(kTypeInt, 2, int, "int", Int)                                                                  \
  X(kTypeFloat, 3, float, "float", Float)                                                          \
  X(kTypeDouble, 4, double, "double", Double)

#define KRZ_TYPE_ENUMERATOR(e, code, type, name, Name) e = code,
enum KRZTypeCode : int { KRZ_TYPE_CODE_LIST(KRZ_TYPE_ENUMERATOR) };
#undef KRZ_TYPE_ENUMERATOR

/// Whether T is a type of the list.
template <class T> constexpr bool KRZTypeListed() {
#define KRZ_TYPE_LISTED(e, c, type, name, Name) std::is_same_v<T, type> ||
  return KRZ_TYPE_CODE_LIST(KRZ_TYPE_LISTED) false;
#undef KRZ_TYPE_LISTED
}

/// "char", "int", "float", "double"; null for a code that is none of them.
inline const char* KRZTypeName(int code) {
#define KRZ_TYPE_NAME(e, c, type, name, Name)                                                      \
  if (code == c)                                                                                   \
    return name;
  KRZ_TYPE_CODE_LIST(KRZ_TYPE_NAME)
#undef KRZ_TYPE_NAME
  return nullptr;
}

/// Bytes of one element; 0 for a code that is none of them.
inline size_t KRZTypeSize(int code) {
#define KRZ_TYPE_SIZE(e, c, type, name, Name)                                                      \
  if (code == c)                                                                                   \
    return sizeof(type);
  KRZ_TYPE_CODE_LIST(KRZ_TYPE_SIZE)
#undef KRZ_TYPE_SIZE
  return 0;
}

/// Gives an engine's communicator the codes of the list (its m_nType... members).
inline void KRZGiveTypeCodes(CKRZCom& com) {
#define KRZ_TYPE_MEMBER(e, c, type, name, Name) com.m_nType##Name = c;
  KRZ_TYPE_CODE_LIST(KRZ_TYPE_MEMBER)
#undef KRZ_TYPE_MEMBER
}

/// Bytes of `count` elements of the type `code` names.
inline long long KRZTypeBytes(int code, int count) {
  return static_cast<long long>(KRZTypeSize(code)) * count;
}

} // namespace krz::detail

#endif
