#include "CKRZPostingCom.h"

// Out of line so that the vtable and type information live in the KRZCom library, where the
// library's run-time look-up finds them.
CKRZPostingCom::~CKRZPostingCom() = default;
