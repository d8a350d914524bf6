// The element types the transfers serve: every type the engines have a code for (the one list,
// krzcom/KRZTypeCodes.h), and bool, which travels as int 1/0. X(enumerator, code, type, name,
// Name) is expanded for each; Name is the type as member names spell it (m_pBufferDouble).
#ifndef KRZ3DCOMTOOLS_KRZELEMENTTYPES_H
#define KRZ3DCOMTOOLS_KRZELEMENTTYPES_H

#include "KRZTypeCodes.h"

#define KRZ_ELEMENT_TYPES(X) KRZ_TYPE_CODE_LIST(X) X(kTypeInt, 0, bool, "bool", Bool)

#endif
