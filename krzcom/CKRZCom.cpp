#include "CKRZCom.h"

// Out of line so that the vtable and type information live in the KRZCom library.
CKRZCom::~CKRZCom() = default;
