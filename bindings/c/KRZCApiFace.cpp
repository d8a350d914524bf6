// The C API of the face numbering, the boundary faces, the A/B exchange and the self-test.
#include <algorithm>
#include <string>

#include "KRZCApiSupport.h"
#include "exchange/KRZA2BTransferList.h"

using namespace krz::capi;

namespace {

// The eleven A/B transfers in the order of krz_a2b_kind: the one-way ones as listed, then the
// two-way exchange.
#define KRZ_A2B_TRANSFER_LIST(X)                                                                   \
  KRZ_A2B_ONE_WAY_TRANSFERS(X)                                                                     \
  X(GetBoundaryCellValue_ExchangeAB_FromOwner2Neighbor, A, OwnerCell, NeighborCell)

using Exchange = CKRZA2BExchange_BoundaryFace;
template <class T> using ExchangeMember = void (Exchange::*)(T*, T*);

// The member of transfer `kind`: half 0 the blocking transfer, 1 its _Begin, 2 its _End.
template <class T> ExchangeMember<T> TransferOf(int kind, int half) {
#define KRZ_A2B_MEMBER(name, from, source, target)                                                 \
  {&Exchange::name, &Exchange::name##_Begin, &Exchange::name##_End},
  static const ExchangeMember<T> table[KRZ_A2B_KINDS][3] = {KRZ_A2B_TRANSFER_LIST(KRZ_A2B_MEMBER)};
#undef KRZ_A2B_MEMBER
  return table[kind][half];
}

template <class T>
int A2BTransfer(const char* function, krz_a2b* h, int kind, T* in, T* out, int half = 0) {
  if (kind < 0 || kind >= KRZ_A2B_KINDS)
    return Fail(KRZ_ERR_INVALID, std::string(function) + ": kind " + std::to_string(kind) +
                                     " is not one of 0.." + std::to_string(KRZ_A2B_KINDS - 1));
  return With(function, h, [&](krz_a2b& x) {
    (x.object.*TransferOf<T>(kind, half))(in, out);
    return NullArrays(function, {in, out});
  });
}

} // namespace

extern "C" {

// ---- CKRZL2GBroadTools_Face ---------------------------------------------------------------------
int krz_face_create(krz_face** h) { return Create("krz_face_create", h); }
int krz_face_destroy(krz_face* h) { return Destroy("krz_face_destroy", h); }

int krz_face_SetInitialize(krz_face* h, int myid, int nproc, krz_com* com) {
  return SetUp("krz_face_SetInitialize", h, myid, nproc, com);
}

int krz_face_SetLocalFace20(krz_face* h, int nlocal, int** faces) {
  return With("krz_face_SetLocalFace20", h, [&](krz_face& x) {
    x.object.SetLocalFace20(nlocal, faces);
    return KRZ_OK;
  });
}

int krz_face_SetLocalFace20_Flat(krz_face* h, int nlocal, const int* records) {
  const char* f = "krz_face_SetLocalFace20_Flat";
  return With(f, h, [&](krz_face& x) {
    const int n = records != nullptr && nlocal > 0 ? nlocal : 0;
    x.records.assign(records, records + 5 * static_cast<size_t>(n));
    x.recordTable.assign(static_cast<size_t>(n) + 1, nullptr);
    for (int i = 1; i <= n; ++i)
      x.recordTable[static_cast<size_t>(i)] = &x.records[5 * static_cast<size_t>(i - 1)];
    x.object.SetLocalFace20(n, x.recordTable.data()); // collective even when refused below
    if (nlocal < 0)
      return Fail(KRZ_ERR_INVALID, std::string(f) + ": nlocal is " + std::to_string(nlocal) +
                                       "; took part with no faces");
    if (nlocal > 0 && records == nullptr)
      return Fail(KRZ_ERR_NULL_ARRAY, std::string(f) + ": records is null; took part with no "
                                                       "faces");
    return KRZ_OK;
  });
}

int krz_face_SetL2GMapRelation(krz_face* h, int** node_map, int** face_map) {
  return With("krz_face_SetL2GMapRelation", h, [&](krz_face& x) {
    x.object.SetL2GMapRelation(node_map, face_map);
    return KRZ_OK;
  });
}

int krz_face_SetL2GMapRelation_Match(krz_face* h, int** node_map, int* nglobal,
                                     int** global_faces) {
  const char* f = "krz_face_SetL2GMapRelation_Match";
  return With(f, h, [&](krz_face& x) {
    int none = 0;
    x.object.SetL2GMapRelation(node_map, nglobal != nullptr ? *nglobal : none, global_faces);
    if (x.myid == 0 && (nglobal == nullptr || global_faces == nullptr))
      return Fail(KRZ_ERR_NULL_ARRAY, std::string(f) + ": the global face table is null on rank 0");
    return KRZ_OK;
  });
}

int krz_face_GetFaceNumber_Global(krz_face* h, int* n) {
  return Get("krz_face_GetFaceNumber_Global", h, n,
             [&](krz_face& x) { return x.object.GetFaceNumber_Global(); });
}

int krz_face_GetFaceNumber_Local(krz_face* h, int p, int* n) {
  return Get("krz_face_GetFaceNumber_Local", h, n,
             [&](krz_face& x) { return x.object.GetFaceNumber_Local(p); });
}

int krz_face_GetGlobalFace20(krz_face* h, int* nface, int*** faces) {
  const char* f = "krz_face_GetGlobalFace20";
  if (Out(f, nface) != KRZ_OK || Out(f, faces) != KRZ_OK)
    return KRZ_ERR_NULL_ARRAY;
  return With(f, h, [&](krz_face& x) {
    x.object.GetGlobalFace20(*nface, *faces);
    return KRZ_OK;
  });
}

#define KRZ_C_FACE_TRANSFERS(T)                                                                    \
  int krz_face_gather_##T(krz_face* h, const T* local, T* global) {                                \
    return With("krz_face_gather_" #T, h, [&](krz_face& x) {                                       \
      x.object.GetValue_FromLocalFaceToGloblaFace(const_cast<T*>(local), global);                  \
      return NullArrays("krz_face_gather_" #T, {local, x.myid == 0 ? global : local});             \
    });                                                                                            \
  }                                                                                                \
  int krz_face_scatter_##T(krz_face* h, const T* global, T* local) {                               \
    return With("krz_face_scatter_" #T, h, [&](krz_face& x) {                                      \
      x.object.GetValue_FromGlobalFaceToLocalFace(const_cast<T*>(global), local);                  \
      return NullArrays("krz_face_scatter_" #T, {local, x.myid == 0 ? global : local});            \
    });                                                                                            \
  }
KRZ_C_FACE_TRANSFERS(double)
KRZ_C_FACE_TRANSFERS(int)
#undef KRZ_C_FACE_TRANSFERS

// ---- CKRZL2GBroadTools_BoundaryFace -------------------------------------------------------------
int krz_bface_create(krz_bface** h) { return Create("krz_bface_create", h); }
int krz_bface_destroy(krz_bface* h) { return Destroy("krz_bface_destroy", h); }

int krz_bface_SetBoundaryFaceRelation(krz_bface* h, krz_face* face) {
  const char* f = "krz_bface_SetBoundaryFaceRelation";
  if (face == nullptr)
    return NullHandle(f);
  return With(f, h, [&](krz_bface& x) {
    x.object.SetBoundaryFaceRelation(&face->object);
    return KRZ_OK;
  });
}

int krz_bface_SetLocalFace_BoundaryCellID(krz_bface* h, int nlocal, int* owner, int* neighbor) {
  const char* f = "krz_bface_SetLocalFace_BoundaryCellID";
  return With(f, h, [&](krz_bface& x) {
    if (nlocal != x.object.GetBoundaryFaceNumber_Local())
      return Fail(KRZ_ERR_INVALID, std::string(f) + ": nlocal is " + std::to_string(nlocal) +
                                       ", the face object has " +
                                       std::to_string(x.object.GetBoundaryFaceNumber_Local()));
    if (nlocal > 0 && (owner == nullptr || neighbor == nullptr))
      return Fail(KRZ_ERR_NULL_ARRAY, std::string(f) + ": owner or neighbor is null");
    x.object.SetLocalFace_BoundaryCellID(nlocal, owner, neighbor);
    return KRZ_OK;
  });
}

int krz_bface_GetBoundaryFaceNumber_Local(krz_bface* h, int* n) {
  return Get("krz_bface_GetBoundaryFaceNumber_Local", h, n,
             [&](krz_bface& x) { return x.object.GetBoundaryFaceNumber_Local(); });
}

int krz_bface_GetBoundaryFaceNumber_Global(krz_bface* h, int* n) {
  return Get("krz_bface_GetBoundaryFaceNumber_Global", h, n,
             [&](krz_bface& x) { return x.object.GetBoundaryFaceNumber_Global(); });
}

#define KRZ_C_BFACE_TRANSFERS(T)                                                                   \
  int krz_bface_from_owner_##T(krz_bface* h, const T* cells, T* global) {                          \
    return With("krz_bface_from_owner_" #T, h, [&](krz_bface& x) {                                 \
      x.object.GetGlobalFaceValue_FromLocalOwnerCell(const_cast<T*>(cells), global);               \
      return NullArrays("krz_bface_from_owner_" #T,                                                \
                        {cells, x.object.Getmyid() == 0 ? global : cells});                        \
    });                                                                                            \
  }                                                                                                \
  int krz_bface_from_neighbor_##T(krz_bface* h, const T* cells, T* global) {                       \
    return With("krz_bface_from_neighbor_" #T, h, [&](krz_bface& x) {                              \
      x.object.GetGlobalFaceValue_FromLocalNeighborCell(const_cast<T*>(cells), global);            \
      return NullArrays("krz_bface_from_neighbor_" #T,                                             \
                        {cells, x.object.Getmyid() == 0 ? global : cells});                        \
    });                                                                                            \
  }                                                                                                \
  int krz_bface_to_neighbor_##T(krz_bface* h, const T* global, T* cells) {                         \
    return With("krz_bface_to_neighbor_" #T, h, [&](krz_bface& x) {                                \
      x.object.GetLocalNeighborCellValue_FromGlobalFaceValue(const_cast<T*>(global), cells);       \
      return NullArrays("krz_bface_to_neighbor_" #T,                                               \
                        {cells, x.object.Getmyid() == 0 ? global : cells});                        \
    });                                                                                            \
  }
KRZ_C_BFACE_TRANSFERS(double)
KRZ_C_BFACE_TRANSFERS(int)
#undef KRZ_C_BFACE_TRANSFERS

// ---- CKRZA2BExchange_BoundaryFace ---------------------------------------------------------------
int krz_a2b_create(krz_a2b** h) { return Create("krz_a2b_create", h); }
int krz_a2b_destroy(krz_a2b* h) { return Destroy("krz_a2b_destroy", h); }

int krz_a2b_SetL2G_Face(krz_a2b* h, krz_face* face_a, krz_face* face_b) {
  const char* f = "krz_a2b_SetL2G_Face";
  if (face_a == nullptr || face_b == nullptr)
    return NullHandle(f);
  return With(f, h, [&](krz_a2b& x) {
    x.object.SetL2G_Face(&face_a->object, &face_b->object);
    return KRZ_OK;
  });
}

int krz_a2b_SetL2G_BoundaryFace(krz_a2b* h, krz_bface* bface_a, krz_bface* bface_b) {
  const char* f = "krz_a2b_SetL2G_BoundaryFace";
  if (bface_a == nullptr || bface_b == nullptr)
    return NullHandle(f);
  return With(f, h, [&](krz_a2b& x) {
    x.object.SetL2G_BoundaryFace(&bface_a->object, &bface_b->object);
    return KRZ_OK;
  });
}

int krz_a2b_SetA2BRelation(krz_a2b* h, int* a2b_relation, int* b2a_relation) {
  return With("krz_a2b_SetA2BRelation", h, [&](krz_a2b& x) {
    x.object.SetA2BRelation(a2b_relation, b2a_relation);
    return KRZ_OK;
  });
}

int krz_a2b_transfer_double(krz_a2b* h, int kind, double* in, double* out) {
  return A2BTransfer("krz_a2b_transfer_double", h, kind, in, out);
}

int krz_a2b_transfer_int(krz_a2b* h, int kind, int* in, int* out) {
  return A2BTransfer("krz_a2b_transfer_int", h, kind, in, out);
}

int krz_a2b_begin_double(krz_a2b* h, int kind, double* in, double* out) {
  return A2BTransfer("krz_a2b_begin_double", h, kind, in, out, 1);
}
int krz_a2b_begin_int(krz_a2b* h, int kind, int* in, int* out) {
  return A2BTransfer("krz_a2b_begin_int", h, kind, in, out, 1);
}
int krz_a2b_end_double(krz_a2b* h, int kind, double* in, double* out) {
  return A2BTransfer("krz_a2b_end_double", h, kind, in, out, 2);
}
int krz_a2b_end_int(krz_a2b* h, int kind, int* in, int* out) {
  return A2BTransfer("krz_a2b_end_int", h, kind, in, out, 2);
}

const char* krz_a2b_kind_name(int kind) {
#define KRZ_A2B_NAME(name, from, source, target) #name,
  static const char* const names[KRZ_A2B_KINDS] = {KRZ_A2B_TRANSFER_LIST(KRZ_A2B_NAME)};
#undef KRZ_A2B_NAME
  return kind >= 0 && kind < KRZ_A2B_KINDS ? names[kind] : nullptr;
}

// ---- CKRZL2GBroadTools_UnitTest -----------------------------------------------------------------
int krz_selftest_create(krz_selftest** h) { return Create("krz_selftest_create", h); }
int krz_selftest_destroy(krz_selftest* h) { return Destroy("krz_selftest_destroy", h); }

int krz_selftest_SetInitialize(krz_selftest* h, int myid, int nproc, krz_com* com) {
  return SetUp("krz_selftest_SetInitialize", h, myid, nproc, com);
}

int krz_selftest_Test(krz_selftest* h) {
  return With("krz_selftest_Test", h, [&](krz_selftest& x) {
    x.object.Test();
    return KRZ_OK;
  });
}

} // extern "C"
