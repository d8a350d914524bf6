// Support of the C API: the calling thread's last error, the guard that stops every C++
// exception at the boundary, and the handle types behind the opaque C structs.
#ifndef KRZ_BINDINGS_C_KRZCAPISUPPORT_H
#define KRZ_BINDINGS_C_KRZCAPISUPPORT_H

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "CCOM_BroadTools.h"
#include "CCOM_BroadTools_CollectLocalArrayToMyid0.h"
#include "CKRZA2BExchange_BoundaryFace.h"
#include "CKRZCom.h"
#include "CKRZL2GBroadTools_BoundaryFace.h"
#include "CKRZL2GBroadTools_Face.h"
#include "CKRZL2GBroadTools_UnitTest.h"
#include "CL2GMappingRelation_CollectFVNode2MFENode.h"
#include "CL2GMappingRelation_LocalFVNode2GlobalMFENode.h"
#include "KRZThreadsWorld.h"
#include "krz3dcomtools.h"

namespace krz::capi {

/// Records `message` as the calling thread's last error and returns `status`.
int Fail(int status, const std::string& message);
/// Clears the calling thread's last error.
void ClearError();

/// Runs `body` (returning a status) with every exception turned into a status and a message.
template <class F> int Guarded(const char* function, F&& body) noexcept {
  try {
    ClearError();
    return body();
  } catch (const KRZWorldAborted& e) {
    return Fail(KRZ_ERR_ABORTED,
                std::string(function) + ": the in-process world was aborted: " + e.what());
  } catch (const std::exception& e) {
    return Fail(KRZ_ERR_INTERNAL, std::string(function) + ": " + e.what());
  } catch (...) {
    return Fail(KRZ_ERR_INTERNAL, std::string(function) + ": unknown exception");
  }
}

/// KRZ_ERR_NULL_HANDLE with a message naming the function, or KRZ_OK.
int NullHandle(const char* function);
/// Status of a collective that took part with zeros for a null array (the library printed its
/// line too), or KRZ_OK when every array was there.
int NullArrays(const char* function, std::initializer_list<const void*> arrays);

/// Runs `body(object)` on a non-null handle, every exception stopped.
template <class H, class F> int With(const char* function, H* handle, F&& body) {
  if (handle == nullptr)
    return NullHandle(function);
  return Guarded(function, [&] { return body(*handle); });
}

/// `*handle` = a new object.
template <class H> int Create(const char* function, H** handle) {
  if (handle == nullptr)
    return Fail(KRZ_ERR_NULL_ARRAY, std::string(function) + ": the handle pointer is null");
  return Guarded(function, [&] {
    *handle = new H;
    return KRZ_OK;
  });
}

template <class H> int Destroy(const char* function, H* handle) {
  return With(function, handle, [&](H& h) {
    delete &h;
    return KRZ_OK;
  });
}

/// KRZ_ERR_NULL_ARRAY for a null output argument, or KRZ_OK.
int Out(const char* function, const void* out);

/// A query: `*out` = value(object), with the handle and the output checked.
template <class H, class R, class F> int Get(const char* function, H* handle, R* out, F&& value) {
  if (Out(function, out) != KRZ_OK)
    return KRZ_ERR_NULL_ARRAY;
  return With(function, handle, [&](H& h) {
    *out = value(h);
    return KRZ_OK;
  });
}
/// Checks SetInitialize's arguments: KRZ_OK, or the status with its message.
int Initialize(const char* function, int myid, int nproc, const krz_com* com);

} // namespace krz::capi

namespace krz::capi {
/// Rank and size as SetInitialize gave them, so the C layer knows which rank a handle serves.
struct Ranked {
  int myid = 0;
  int nproc = 1;
};
} // namespace krz::capi

/// The objects behind the C handles: `object` is the C++ object of the handle.
struct krz_com {
  CKRZCom* com = nullptr;
  std::unique_ptr<CKRZCom> owned; ///< the MPI engine made by krz_com_create_mpi_f
  int rank = 0;
  int size = 1;
};
struct krz_broadtools : krz::capi::Ranked {
  CCOM_BroadTools object;
  std::vector<int> flatCounts;  ///< SetMapRelation_Flat's copy: nproc counts
  std::vector<int> flatNumbers; ///< rows laid end to end, each with its element 0
  std::vector<int*> flatRows;   ///< nproc pointers into flatNumbers
  /// A split transfer's target allocated for a null one at _begin (the route that runs the
  /// whole transfer there), released at _end or with the handle.
  std::shared_ptr<void> splitAllocated;
};
struct krz_collector : krz::capi::Ranked {
  CCOM_BroadTools_CollectLocalArrayToMyid0 object;
};
struct krz_nodecollect : krz::capi::Ranked {
  CL2GMappingRelation_CollectFVNode2MFENode object;
};
struct krz_nodeglobal : krz::capi::Ranked {
  CL2GMappingRelation_LocalFVNode2GlobalMFENode object;
};
struct krz_face : krz::capi::Ranked {
  CKRZL2GBroadTools_Face object;
  std::vector<int> records;      ///< SetLocalFace20_Flat's copy, 5 ints a face
  std::vector<int*> recordTable; ///< 1-based pointers into records
};
struct krz_bface {
  CKRZL2GBroadTools_BoundaryFace object;
};
struct krz_a2b {
  CKRZA2BExchange_BoundaryFace object;
};
struct krz_selftest : krz::capi::Ranked {
  CKRZL2GBroadTools_UnitTest object;
};

namespace krz::capi {

/// SetInitialize of any handle: the arguments checked, rank and size kept.
template <class H> int SetUp(const char* function, H* handle, int myid, int nproc, krz_com* com) {
  return With(function, handle, [&](H& h) {
    const int status = Initialize(function, myid, nproc, com);
    if (status == KRZ_OK) {
      h.object.SetInitialize(myid, nproc, com->com);
      h.myid = myid;
      h.nproc = nproc;
    }
    return status;
  });
}

} // namespace krz::capi

#endif
