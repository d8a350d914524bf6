// Must not compile: a type outside the library's list has no type code (a long long sent as int
// would lose half its bytes). The test expects the static_assert's message from the build.
#include "CKRZCom.h"
#include "base/KRZComTyped.h"

int main() {
  CKRZCom* com = nullptr;
  return krz::detail::TypeCode<long long>(*com);
}
