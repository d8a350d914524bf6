#!/usr/bin/env python3
"""Writes krz3dcomtools.f90, the Fortran module over the C API (krz3dcomtools.h).

The build runs it (bindings/fortran/CMakeLists.txt); by hand:
    python3 bindings/fortran/make_module.py OUTPUT.f90
"""
import os
import re
import sys

H = "type(c_ptr), value :: h"
IMPORTS = "      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr"


def fn(name, args, decls):
    lines = [f"    !> The C function {name} of krz3dcomtools.h (what it does, who owns what).",
             f"    integer(c_int) function {name}({', '.join(args)}) &",
             f"        bind(C, name=\"{name}\")", IMPORTS]
    lines += ["      " + d for d in decls]
    lines.append(f"    end function {name}")
    return "\n".join(lines)


TYPES = [("double", "real(c_double)"), ("float", "real(c_float)"), ("int", "integer(c_int)"),
         ("bool", "logical(c_bool)"), ("char", "character(kind=c_char)")]
N_OUT = "integer(c_int), intent(out) :: n"
P_IN = "integer(c_int), value :: p"
NLOCAL = "integer(c_int), value :: nlocal"


def interfaces():
    out = []
    add = out.append
    for c in ["broadtools", "collector", "nodecollect", "nodeglobal", "face", "bface", "a2b",
              "selftest"]:
        add(fn(f"krz_{c}_create", ["h"], ["type(c_ptr), intent(out) :: h"]))
        add(fn(f"krz_{c}_destroy", ["h"], [H]))
    for c in ["broadtools", "collector", "nodecollect", "nodeglobal", "face", "selftest"]:
        add(fn(f"krz_{c}_SetInitialize", ["h", "myid", "nproc", "com"],
               [H, "integer(c_int), value :: myid, nproc", "type(c_ptr), value :: com"]))
    add(fn("krz_com_create_mpi_f", ["fcomm", "com"],
           ["integer(c_int), value :: fcomm", "type(c_ptr), intent(out) :: com"]))
    add(fn("krz_com_destroy", ["com"], ["type(c_ptr), value :: com"]))
    add(fn("krz_com_rank", ["com", "rank"],
           ["type(c_ptr), value :: com", "integer(c_int), intent(out) :: rank"]))
    add(fn("krz_com_size", ["com", "size"],
           ["type(c_ptr), value :: com", "integer(c_int), intent(out) :: size"]))
    add(fn("krz_log_view", ["on"], ["integer(c_int), value :: on"]))
    add(fn("krz_log_report", ["com"], ["type(c_ptr), value :: com"]))
    add(fn("krz_set_line_sink", ["sink", "user"],
           ["type(c_funptr), value :: sink", "type(c_ptr), value :: user"]))
    add(fn("krz_run_ranks", ["nproc", "fn", "user", "deadline_ms"],
           ["integer(c_int), value :: nproc, deadline_ms", "type(c_funptr), value :: fn",
            "type(c_ptr), value :: user"]))
    # CCOM_BroadTools
    add(fn("krz_broadtools_SetMapRelation_Flat", ["h", "nglobal", "counts", "numbers"],
           [H, "integer(c_int), value :: nglobal", "integer(c_int), intent(in) :: counts(0:*)",
            "integer(c_int), intent(in) :: numbers(*)"]))
    add(fn("krz_broadtools_SetMapRelation_DefaultRelation", ["h", "nlocal"], [H, NLOCAL]))
    add(fn("krz_broadtools_GetDimension_Local", ["h", "p", "n"], [H, P_IN, N_OUT]))
    add(fn("krz_broadtools_GetDimension_Global", ["h", "n"], [H, N_OUT]))
    add(fn("krz_broadtools_SetIfOpenDebugMode", ["h", "on"], [H, "integer(c_int), value :: on"]))
    for t, ft in TYPES:
        add(fn(f"krz_broadtools_gather_{t}", ["h", "local", "global"],
               [H, f"{ft}, intent(in) :: local(0:*)", f"{ft}, intent(inout) :: global(0:*)"]))
        add(fn(f"krz_broadtools_scatter_{t}", ["h", "global", "local"],
               [H, f"{ft}, intent(in) :: global(0:*)", f"{ft}, intent(inout) :: local(0:*)"]))
        for half in ["begin", "end"]:  # the arrays must stay where they are until the _end
            add(fn(f"krz_broadtools_gather_{half}_{t}", ["h", "local", "global"],
                   [H, f"{ft}, intent(in) :: local(0:*)", f"{ft}, intent(inout) :: global(0:*)"]))
            add(fn(f"krz_broadtools_scatter_{half}_{t}", ["h", "global", "local"],
                   [H, f"{ft}, intent(in) :: global(0:*)", f"{ft}, intent(inout) :: local(0:*)"]))
    # CCOM_BroadTools_CollectLocalArrayToMyid0: tables come back as C pointers
    for t, ft in TYPES[:4]:
        for kind in ["rows", "flat"]:
            add(fn(f"krz_collector_{kind}_{t}", ["h", "nlocal", "local", kind],
                   [H, NLOCAL, f"{ft}, intent(in) :: local(0:*)",
                    f"type(c_ptr), intent(out) :: {kind}"]))
    add(fn("krz_collector_GetNumber_Local", ["h", "p", "n"], [H, P_IN, N_OUT]))
    add(fn("krz_collector_GetNumber_Global", ["h", "n"], [H, N_OUT]))
    # node mappings
    for c in ["nodecollect", "nodeglobal"]:
        add(fn(f"krz_{c}_SetMappinArrayCollectToMyid0", ["h", "nlocal", "local"],
               [H, NLOCAL, "integer(c_int), intent(in) :: local(0:*)"]))
    add(fn("krz_nodecollect_GetMappinArrayCollectToMyid0", ["h", "rows"],
           [H, "type(c_ptr), intent(out) :: rows"]))
    add(fn("krz_nodecollect_GetNumber_Local", ["h", "p", "n"], [H, P_IN, N_OUT]))
    add(fn("krz_nodecollect_GetNumber_Global", ["h", "n"], [H, N_OUT]))
    add(fn("krz_nodeglobal_SetMappingRelation_FENode_Local2Global", ["h", "table"],
           [H, "type(c_ptr), value :: table"]))
    add(fn("krz_nodeglobal_CreateMappingArray_LocalFVNode2GlobalMFENode", ["h", "rows"],
           [H, "type(c_ptr), intent(out) :: rows"]))
    # CKRZL2GBroadTools_Face
    add(fn("krz_face_SetLocalFace20_Flat", ["h", "nlocal", "records"],
           [H, NLOCAL, "integer(c_int), intent(in) :: records(5, *)"]))
    add(fn("krz_face_SetL2GMapRelation", ["h", "node_map", "face_map"],
           [H, "type(c_ptr), value :: node_map, face_map"]))
    add(fn("krz_face_GetFaceNumber_Global", ["h", "n"], [H, N_OUT]))
    add(fn("krz_face_GetFaceNumber_Local", ["h", "p", "n"], [H, P_IN, N_OUT]))
    add(fn("krz_face_GetGlobalFace20", ["h", "nface", "faces"],
           [H, "integer(c_int), intent(out) :: nface", "type(c_ptr), intent(out) :: faces"]))
    for t, ft in [TYPES[0], TYPES[2]]:
        add(fn(f"krz_face_gather_{t}", ["h", "local", "global"],
               [H, f"{ft}, intent(in) :: local(0:*)", f"{ft}, intent(inout) :: global(0:*)"]))
        add(fn(f"krz_face_scatter_{t}", ["h", "global", "local"],
               [H, f"{ft}, intent(in) :: global(0:*)", f"{ft}, intent(inout) :: local(0:*)"]))
    # CKRZL2GBroadTools_BoundaryFace: the cell ids are borrowed, so they need the target attribute
    add(fn("krz_bface_SetBoundaryFaceRelation", ["h", "face"], [H, "type(c_ptr), value :: face"]))
    add(fn("krz_bface_SetLocalFace_BoundaryCellID", ["h", "nlocal", "owner", "neighbor"],
           [H, NLOCAL, "integer(c_int), intent(in) :: owner(0:*), neighbor(0:*)"]))
    add(fn("krz_bface_GetBoundaryFaceNumber_Local", ["h", "n"], [H, N_OUT]))
    add(fn("krz_bface_GetBoundaryFaceNumber_Global", ["h", "n"], [H, N_OUT]))
    for t, ft in [TYPES[0], TYPES[2]]:
        for k in ["from_owner", "from_neighbor"]:
            add(fn(f"krz_bface_{k}_{t}", ["h", "cells", "global"],
                   [H, f"{ft}, intent(in) :: cells(0:*)", f"{ft}, intent(inout) :: global(0:*)"]))
        add(fn(f"krz_bface_to_neighbor_{t}", ["h", "global", "cells"],
               [H, f"{ft}, intent(in) :: global(0:*)", f"{ft}, intent(inout) :: cells(0:*)"]))
    # CKRZA2BExchange_BoundaryFace
    add(fn("krz_a2b_SetL2G_Face", ["h", "face_a", "face_b"],
           [H, "type(c_ptr), value :: face_a, face_b"]))
    add(fn("krz_a2b_SetL2G_BoundaryFace", ["h", "bface_a", "bface_b"],
           [H, "type(c_ptr), value :: bface_a, bface_b"]))
    add(fn("krz_a2b_SetA2BRelation", ["h", "a2b", "b2a"], [H, "type(c_ptr), value :: a2b, b2a"]))
    for t, ft in [TYPES[0], TYPES[2]]:
        for op in ("transfer", "begin", "end"):
            add(fn(f"krz_a2b_{op}_{t}", ["h", "kind", "vin", "vout"],
                   [H, "integer(c_int), value :: kind",
                    f"{ft}, intent(inout) :: vin(0:*), vout(0:*)"]))
    add(fn("krz_selftest_Test", ["h"], [H]))
    return out


HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "include",
                      "krz3dcomtools.h")


def c_constants(header=HEADER):
    """The statuses (#define KRZ_OK 0, ...) and the A/B transfer kinds (KRZ_A2B_... = n) of the C
    header, in its own words, so that the two lists are written once."""
    with open(header, encoding="utf-8") as f:
        text = f.read()
    statuses = [(name, int(value)) for name, value in
                re.findall(r"^#define KRZ_(OK|ERR_\w+) (\d+)", text, re.M)]
    kinds = [(name, int(value)) for name, value in
             re.findall(r"^\s*KRZ_A2B_(\w+) = (\d+),?", text, re.M)]
    count = re.search(r"^#define KRZ_A2B_KINDS (\d+)", text, re.M)
    if not statuses or not kinds or count is None or len(kinds) != int(count.group(1)):
        raise SystemExit(f"make_module.py: the statuses or A/B kinds of {header} were not found")
    return statuses, kinds


def generic(name, specifics):
    return (f"  interface {name}\n" + "\n".join(f"    procedure {s}" for s in specifics)
            + f"\n  end interface {name}")


def module():
    status_list, kind_list = c_constants()
    statuses = "\n".join(f"  integer(c_int), parameter :: KRZ_{s} = {i}" for s, i in status_list)
    kinds = "\n".join(f"  integer(c_int), parameter :: KRZ_A2B_{k} = {i}" for k, i in kind_list)
    generics = "\n".join([
        generic("krz_broadtools_gather", [f"krz_broadtools_gather_{t}" for t, _ in TYPES]),
        generic("krz_broadtools_scatter", [f"krz_broadtools_scatter_{t}" for t, _ in TYPES]),
        *[generic(f"krz_broadtools_{op}_{half}", [f"krz_broadtools_{op}_{half}_{t}" for t, _ in TYPES])
          for op in ["gather", "scatter"] for half in ["begin", "end"]],
        generic("krz_face_gather", ["krz_face_gather_double", "krz_face_gather_int"]),
        generic("krz_face_scatter", ["krz_face_scatter_double", "krz_face_scatter_int"]),
        generic("krz_bface_from_owner", ["krz_bface_from_owner_double", "krz_bface_from_owner_int"]),
        generic("krz_bface_from_neighbor",
                ["krz_bface_from_neighbor_double", "krz_bface_from_neighbor_int"]),
        generic("krz_bface_to_neighbor",
                ["krz_bface_to_neighbor_double", "krz_bface_to_neighbor_int"]),
        generic("krz_a2b_transfer", ["krz_a2b_transfer_double", "krz_a2b_transfer_int"]),
        generic("krz_a2b_begin", ["krz_a2b_begin_double", "krz_a2b_begin_int"]),
        generic("krz_a2b_end", ["krz_a2b_end_double", "krz_a2b_end_int"]),
    ])
    body = "\n".join(interfaces())
    return f"""! krz3dcomtools: the Fortran 2008 module of KRZ3DCOMTools, bind(C) over the C API.
!
! Every function is the C function of the same name (krz3dcomtools.h says what each does, which
! calls are collective and who owns what) and returns its status, KRZ_OK = 0.
! Handles are type(c_ptr), made by krz_<class>_create and released by krz_<class>_destroy.
! Arrays keep the library's layout: n items in elements 1..n of an array declared (0:n);
! element 0 belongs to no item. Arrays the library keeps (cell ids, relations) must have the
! target attribute and outlive their use. The communicator is the integer handle of the mpi
! module (or comm%MPI_VAL of mpi_f08), given to krz_com_create_mpi_f, which duplicates it.
! Generic names (krz_broadtools_gather, krz_face_scatter, krz_a2b_transfer, ...) pick the
! element type from the arrays.
!
! Written by bindings/fortran/make_module.py; change the script, not this file.
module krz3dcomtools
  use, intrinsic :: iso_c_binding
  implicit none

{statuses}

  ! The eleven A/B transfers (argument kind of krz_a2b_transfer), named after the C++ operations.
{kinds}

  interface
{body}
    type(c_ptr) function krz_last_error_c() bind(C, name="krz_last_error")
      import :: c_ptr
    end function krz_last_error_c
    integer(c_size_t) function c_strlen(s) bind(C, name="strlen")
      import :: c_ptr, c_size_t
      type(c_ptr), value :: s
    end function c_strlen
  end interface

{generics}

contains

  !> The message of this thread's last failed call.
  function krz_last_error() result(message)
    character(len=:), allocatable :: message
    type(c_ptr) :: p
    character(kind=c_char), pointer :: chars(:)
    integer :: i, n
    p = krz_last_error_c()
    n = int(c_strlen(p))
    allocate(character(len=n) :: message)
    if (n == 0) return
    call c_f_pointer(p, chars, [n])
    do i = 1, n
      message(i:i) = chars(i)
    end do
  end function krz_last_error

end module krz3dcomtools
"""


if __name__ == "__main__":
    with open(sys.argv[1], "w") as f:
        f.write(module())
