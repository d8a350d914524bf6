// The C API of the transfer engine, the collector and the two node mappings.
#include <algorithm>
#include <string>

#include "KRZCApiSupport.h"

using namespace krz::capi;

namespace {

// The status of a transfer that returned `done` (1, or 0 when refused or the relation check
// failed).
int Transferred(const char* function, int done, std::initializer_list<const void*> arrays) {
  const int status = NullArrays(function, arrays);
  if (status != KRZ_OK)
    return status;
  return done != 0 ? KRZ_OK
                   : Fail(KRZ_ERR_FAILED,
                          std::string(function) +
                              ": refused or the relation check failed (see the line printed)");
}

template <class T> int Gather(const char* function, krz_broadtools* h, const T* local, T* global) {
  return With(function, h, [&](krz_broadtools& b) {
    T* target = global;
    const int done = b.object.GetGlobalArrayFromLocalArray(const_cast<T*>(local), target);
    if (target != global)
      delete[] target; // rank 0 passed null: the library allocated one
    return Transferred(function, done, {local, b.myid == 0 ? global : local});
  });
}

template <class T> int Scatter(const char* function, krz_broadtools* h, const T* global, T* local) {
  return With(function, h, [&](krz_broadtools& b) {
    T* target = local;
    const int done = b.object.GetLocalArrayFromGlobalArray(const_cast<T*>(global), target);
    if (target != local)
      delete[] target;
    return Transferred(function, done, {local, b.myid == 0 ? global : local});
  });
}

// A split gather (`gather`) or scatter, half 1 (_begin) or 2 (_end). A null target where one is
// needed takes part (the library allocates one, released here) and gives KRZ_ERR_NULL_ARRAY.
template <class T>
int SplitTransfer(const char* function, krz_broadtools* h, bool gather, int half, const T* source,
                  T* target) {
  return With(function, h, [&](krz_broadtools& b) {
    CCOM_BroadTools& tools = b.object;
    T* const from = const_cast<T*>(source);
    T* t = target;
    int done = 0;
    if (half == 1) {
      b.splitAllocated.reset();
      done = gather ? tools.GetGlobalArrayFromLocalArray_Begin(from, t)
                    : tools.GetLocalArrayFromGlobalArray_Begin(from, t);
      if (t != target) // allocated for the null target and already filled: kept for the _end
        b.splitAllocated.reset(t, [](void* p) { delete[] static_cast<T*>(p); });
    } else {
      if (t == nullptr)
        t = static_cast<T*>(b.splitAllocated.get());
      done = gather ? tools.GetGlobalArrayFromLocalArray_End(from, t)
                    : tools.GetLocalArrayFromGlobalArray_End(from, t);
      if (t != target && t != b.splitAllocated.get())
        delete[] t;
      b.splitAllocated.reset();
    }
    const bool rootTarget = !gather || b.myid == 0;
    return Transferred(function, done, {source, rootTarget ? target : source});
  });
}

template <class T>
int CollectRows(const char* function, krz_collector* h, int nlocal, const T* local, T*** rows) {
  if (Out(function, rows) != KRZ_OK)
    return KRZ_ERR_NULL_ARRAY;
  *rows = nullptr;
  return With(function, h, [&](krz_collector& c) {
    *rows = c.object.CreateMyid0ArrayFromLocalArray(nlocal, const_cast<T*>(local));
    return NullArrays(function, {local});
  });
}

template <class T>
int CollectFlat(const char* function, krz_collector* h, int nlocal, const T* local, T** flat) {
  if (Out(function, flat) != KRZ_OK)
    return KRZ_ERR_NULL_ARRAY;
  *flat = nullptr;
  return With(function, h, [&](krz_collector& c) {
    *flat = c.object.CreateMyid0Array1DFromLocalArray(nlocal, const_cast<T*>(local));
    return NullArrays(function, {local});
  });
}

} // namespace

extern "C" {

// ---- CCOM_BroadTools ----------------------------------------------------------------------------
int krz_broadtools_create(krz_broadtools** h) { return Create("krz_broadtools_create", h); }
int krz_broadtools_destroy(krz_broadtools* h) { return Destroy("krz_broadtools_destroy", h); }

int krz_broadtools_SetInitialize(krz_broadtools* h, int myid, int nproc, krz_com* com) {
  return SetUp("krz_broadtools_SetInitialize", h, myid, nproc, com);
}

int krz_broadtools_SetMapRelation(krz_broadtools* h, int nglobal, int* counts, int** rows) {
  const char* f = "krz_broadtools_SetMapRelation";
  return With(f, h, [&](krz_broadtools& b) {
    b.object.SetMapRelation(nglobal, counts, rows);
    return KRZ_OK;
  });
}

int krz_broadtools_SetMapRelation_Flat(krz_broadtools* h, int nglobal, const int* counts,
                                       const int* numbers) {
  const char* f = "krz_broadtools_SetMapRelation_Flat";
  return With(f, h, [&](krz_broadtools& b) {
    if (b.myid != 0)
      return KRZ_OK; // ranks other than 0 receive rank 0's relation
    if (counts == nullptr || numbers == nullptr)
      return Fail(KRZ_ERR_NULL_ARRAY, std::string(f) + ": counts or numbers is null on rank 0");
    const int nproc = b.nproc;
    long long total = 0;
    for (int p = 0; p < nproc; ++p) {
      if (counts[p] < 0)
        return Fail(KRZ_ERR_INVALID, std::string(f) + ": the count of rank " + std::to_string(p) +
                                         " is " + std::to_string(counts[p]));
      total += counts[p];
    }
    b.flatCounts.assign(counts, counts + nproc);
    b.flatNumbers.assign(static_cast<size_t>(total + nproc), 0);
    b.flatRows.assign(static_cast<size_t>(nproc), nullptr);
    size_t at = 0;
    const int* from = numbers;
    for (int p = 0; p < nproc; ++p) {
      b.flatRows[static_cast<size_t>(p)] = &b.flatNumbers[at];
      std::copy(from, from + counts[p], &b.flatNumbers[at + 1]);
      from += counts[p];
      at += static_cast<size_t>(counts[p]) + 1;
    }
    b.object.SetMapRelation(nglobal, b.flatCounts.data(), b.flatRows.data());
    return KRZ_OK;
  });
}

int krz_broadtools_SetMapRelation_DefaultRelation(krz_broadtools* h, int nlocal) {
  return With("krz_broadtools_SetMapRelation_DefaultRelation", h, [&](krz_broadtools& b) {
    b.object.SetMapRelation_DefaultRelation(nlocal);
    return KRZ_OK;
  });
}

int krz_broadtools_GetDimension_Local(krz_broadtools* h, int p, int* n) {
  return Get("krz_broadtools_GetDimension_Local", h, n,
             [&](krz_broadtools& b) { return b.object.GetDimension_Local(p); });
}

int krz_broadtools_GetDimension_Global(krz_broadtools* h, int* n) {
  return Get("krz_broadtools_GetDimension_Global", h, n,
             [&](krz_broadtools& b) { return b.object.GetDimension_Global(); });
}

int krz_broadtools_SetIfOpenDebugMode(krz_broadtools* h, int on) {
  return With("krz_broadtools_SetIfOpenDebugMode", h, [&](krz_broadtools& b) {
    b.object.SetIfOpenDebugMode(on);
    return KRZ_OK;
  });
}

#define KRZ_C_TRANSFERS(T, suffix)                                                                 \
  int krz_broadtools_gather_##suffix(krz_broadtools* h, const T* local, T* global) {               \
    return Gather("krz_broadtools_gather_" #suffix, h, local, global);                             \
  }                                                                                                \
  int krz_broadtools_scatter_##suffix(krz_broadtools* h, const T* global, T* local) {              \
    return Scatter("krz_broadtools_scatter_" #suffix, h, global, local);                           \
  }                                                                                                \
  int krz_broadtools_gather_begin_##suffix(krz_broadtools* h, const T* local, T* global) {         \
    return SplitTransfer("krz_broadtools_gather_begin_" #suffix, h, true, 1, local, global);       \
  }                                                                                                \
  int krz_broadtools_gather_end_##suffix(krz_broadtools* h, const T* local, T* global) {           \
    return SplitTransfer("krz_broadtools_gather_end_" #suffix, h, true, 2, local, global);         \
  }                                                                                                \
  int krz_broadtools_scatter_begin_##suffix(krz_broadtools* h, const T* global, T* local) {        \
    return SplitTransfer("krz_broadtools_scatter_begin_" #suffix, h, false, 1, global, local);     \
  }                                                                                                \
  int krz_broadtools_scatter_end_##suffix(krz_broadtools* h, const T* global, T* local) {          \
    return SplitTransfer("krz_broadtools_scatter_end_" #suffix, h, false, 2, global, local);       \
  }
KRZ_C_TRANSFERS(double, double)
KRZ_C_TRANSFERS(float, float)
KRZ_C_TRANSFERS(int, int)
KRZ_C_TRANSFERS(bool, bool)
KRZ_C_TRANSFERS(char, char)
#undef KRZ_C_TRANSFERS

// ---- CCOM_BroadTools_CollectLocalArrayToMyid0 ---------------------------------------------------
int krz_collector_create(krz_collector** h) { return Create("krz_collector_create", h); }
int krz_collector_destroy(krz_collector* h) { return Destroy("krz_collector_destroy", h); }

int krz_collector_SetInitialize(krz_collector* h, int myid, int nproc, krz_com* com) {
  return SetUp("krz_collector_SetInitialize", h, myid, nproc, com);
}

#define KRZ_C_COLLECT(T, suffix)                                                                   \
  int krz_collector_rows_##suffix(krz_collector* h, int nlocal, const T* local, T*** rows) {       \
    return CollectRows("krz_collector_rows_" #suffix, h, nlocal, local, rows);                     \
  }                                                                                                \
  int krz_collector_flat_##suffix(krz_collector* h, int nlocal, const T* local, T** flat) {        \
    return CollectFlat("krz_collector_flat_" #suffix, h, nlocal, local, flat);                     \
  }
KRZ_C_COLLECT(int, int)
KRZ_C_COLLECT(double, double)
KRZ_C_COLLECT(float, float)
KRZ_C_COLLECT(bool, bool)
#undef KRZ_C_COLLECT

int krz_collector_GetNumber_Local(krz_collector* h, int p, int* n) {
  return Get("krz_collector_GetNumber_Local", h, n,
             [&](krz_collector& c) { return c.object.GetNumber_Local(p); });
}

int krz_collector_GetNumber_Global(krz_collector* h, int* n) {
  return Get("krz_collector_GetNumber_Global", h, n,
             [&](krz_collector& c) { return c.object.GetNumber_Global(); });
}

// ---- CL2GMappingRelation_CollectFVNode2MFENode --------------------------------------------------
int krz_nodecollect_create(krz_nodecollect** h) { return Create("krz_nodecollect_create", h); }
int krz_nodecollect_destroy(krz_nodecollect* h) { return Destroy("krz_nodecollect_destroy", h); }

int krz_nodecollect_SetInitialize(krz_nodecollect* h, int myid, int nproc, krz_com* com) {
  return SetUp("krz_nodecollect_SetInitialize", h, myid, nproc, com);
}

int krz_nodecollect_SetMappinArrayCollectToMyid0(krz_nodecollect* h, int nlocal, const int* local) {
  const char* f = "krz_nodecollect_SetMappinArrayCollectToMyid0";
  return With(f, h, [&](krz_nodecollect& m) {
    m.object.SetMappinArrayCollectToMyid0(nlocal, const_cast<int*>(local));
    return NullArrays(f, {local});
  });
}

int krz_nodecollect_GetMappinArrayCollectToMyid0(krz_nodecollect* h, int*** rows) {
  return Get("krz_nodecollect_GetMappinArrayCollectToMyid0", h, rows,
             [&](krz_nodecollect& m) { return m.object.GetMappinArrayCollectToMyid0(); });
}

int krz_nodecollect_GetNumber_Local(krz_nodecollect* h, int p, int* n) {
  return Get("krz_nodecollect_GetNumber_Local", h, n,
             [&](krz_nodecollect& m) { return m.object.GetNumber_Local(p); });
}

int krz_nodecollect_GetNumber_Global(krz_nodecollect* h, int* n) {
  return Get("krz_nodecollect_GetNumber_Global", h, n,
             [&](krz_nodecollect& m) { return m.object.GetNumber_Global(); });
}

// ---- CL2GMappingRelation_LocalFVNode2GlobalMFENode ----------------------------------------------
int krz_nodeglobal_create(krz_nodeglobal** h) { return Create("krz_nodeglobal_create", h); }
int krz_nodeglobal_destroy(krz_nodeglobal* h) { return Destroy("krz_nodeglobal_destroy", h); }

int krz_nodeglobal_SetInitialize(krz_nodeglobal* h, int myid, int nproc, krz_com* com) {
  return SetUp("krz_nodeglobal_SetInitialize", h, myid, nproc, com);
}

int krz_nodeglobal_SetMappinArrayCollectToMyid0(krz_nodeglobal* h, int nlocal, const int* local) {
  const char* f = "krz_nodeglobal_SetMappinArrayCollectToMyid0";
  return With(f, h, [&](krz_nodeglobal& m) {
    m.object.SetMappinArrayCollectToMyid0(nlocal, const_cast<int*>(local));
    return NullArrays(f, {local});
  });
}

int krz_nodeglobal_SetMappingRelation_FENode_Local2Global(krz_nodeglobal* h, int** table) {
  return With("krz_nodeglobal_SetMappingRelation_FENode_Local2Global", h, [&](krz_nodeglobal& m) {
    m.object.SetMappingRelation_FENode_Local2Global(
        table, nullptr, CL2GMappingRelation_LocalFVNode2GlobalMFENode::eDomain_MFE);
    return KRZ_OK;
  });
}

int krz_nodeglobal_CreateMappingArray_LocalFVNode2GlobalMFENode(krz_nodeglobal* h, int*** rows) {
  return Get(
      "krz_nodeglobal_CreateMappingArray_LocalFVNode2GlobalMFENode", h, rows,
      [&](krz_nodeglobal& m) { return m.object.CreateMappingArray_LocalFVNode2GlobalMFENode(); });
}

} // extern "C"
