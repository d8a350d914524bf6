! krz3dcomtools: the Fortran 2008 module of KRZ3DCOMTools, bind(C) over the C API.
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

  integer(c_int), parameter :: KRZ_OK = 0
  integer(c_int), parameter :: KRZ_ERR_NULL_HANDLE = 1
  integer(c_int), parameter :: KRZ_ERR_NULL_ARRAY = 2
  integer(c_int), parameter :: KRZ_ERR_INVALID = 3
  integer(c_int), parameter :: KRZ_ERR_FAILED = 4
  integer(c_int), parameter :: KRZ_ERR_UNAVAILABLE = 5
  integer(c_int), parameter :: KRZ_ERR_ABORTED = 6
  integer(c_int), parameter :: KRZ_ERR_INTERNAL = 7

  ! The eleven A/B transfers (argument kind of krz_a2b_transfer), named after the C++ operations.
  integer(c_int), parameter :: KRZ_A2B_BoundaryCellValue_A2B_FromOwner2Neighbor = 0
  integer(c_int), parameter :: KRZ_A2B_BoundaryCellValue_B2A_FromOwner2Neighbor = 1
  integer(c_int), parameter :: KRZ_A2B_BoundaryCellValue_A2B_FromFace2Neighbor = 2
  integer(c_int), parameter :: KRZ_A2B_BoundaryCellValue_B2A_FromFace2Neighbor = 3
  integer(c_int), parameter :: KRZ_A2B_FaceValue_A2B_FromOwner2Face = 4
  integer(c_int), parameter :: KRZ_A2B_FaceValue_A2B_FromNeighbor2Face = 5
  integer(c_int), parameter :: KRZ_A2B_FaceValue_B2A_FromOwner2Face = 6
  integer(c_int), parameter :: KRZ_A2B_FaceValue_B2A_FromNeighbor2Face = 7
  integer(c_int), parameter :: KRZ_A2B_FaceValue_A2B_FromFace2Face = 8
  integer(c_int), parameter :: KRZ_A2B_FaceValue_B2A_FromFace2Face = 9
  integer(c_int), parameter :: KRZ_A2B_BoundaryCellValue_ExchangeAB_FromOwner2Neighbor = 10

  interface
    integer(c_int) function krz_broadtools_create(h) &
        bind(C, name="krz_broadtools_create")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), intent(out) :: h
    end function krz_broadtools_create
    integer(c_int) function krz_broadtools_destroy(h) &
        bind(C, name="krz_broadtools_destroy")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
    end function krz_broadtools_destroy
    integer(c_int) function krz_collector_create(h) &
        bind(C, name="krz_collector_create")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), intent(out) :: h
    end function krz_collector_create
    integer(c_int) function krz_collector_destroy(h) &
        bind(C, name="krz_collector_destroy")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
    end function krz_collector_destroy
    integer(c_int) function krz_nodecollect_create(h) &
        bind(C, name="krz_nodecollect_create")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), intent(out) :: h
    end function krz_nodecollect_create
    integer(c_int) function krz_nodecollect_destroy(h) &
        bind(C, name="krz_nodecollect_destroy")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
    end function krz_nodecollect_destroy
    integer(c_int) function krz_nodeglobal_create(h) &
        bind(C, name="krz_nodeglobal_create")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), intent(out) :: h
    end function krz_nodeglobal_create
    integer(c_int) function krz_nodeglobal_destroy(h) &
        bind(C, name="krz_nodeglobal_destroy")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
    end function krz_nodeglobal_destroy
    integer(c_int) function krz_face_create(h) &
        bind(C, name="krz_face_create")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), intent(out) :: h
    end function krz_face_create
    integer(c_int) function krz_face_destroy(h) &
        bind(C, name="krz_face_destroy")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
    end function krz_face_destroy
    integer(c_int) function krz_bface_create(h) &
        bind(C, name="krz_bface_create")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), intent(out) :: h
    end function krz_bface_create
    integer(c_int) function krz_bface_destroy(h) &
        bind(C, name="krz_bface_destroy")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
    end function krz_bface_destroy
    integer(c_int) function krz_a2b_create(h) &
        bind(C, name="krz_a2b_create")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), intent(out) :: h
    end function krz_a2b_create
    integer(c_int) function krz_a2b_destroy(h) &
        bind(C, name="krz_a2b_destroy")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
    end function krz_a2b_destroy
    integer(c_int) function krz_selftest_create(h) &
        bind(C, name="krz_selftest_create")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), intent(out) :: h
    end function krz_selftest_create
    integer(c_int) function krz_selftest_destroy(h) &
        bind(C, name="krz_selftest_destroy")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
    end function krz_selftest_destroy
    integer(c_int) function krz_broadtools_SetInitialize(h, myid, nproc, com) &
        bind(C, name="krz_broadtools_SetInitialize")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: myid, nproc
      type(c_ptr), value :: com
    end function krz_broadtools_SetInitialize
    integer(c_int) function krz_collector_SetInitialize(h, myid, nproc, com) &
        bind(C, name="krz_collector_SetInitialize")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: myid, nproc
      type(c_ptr), value :: com
    end function krz_collector_SetInitialize
    integer(c_int) function krz_nodecollect_SetInitialize(h, myid, nproc, com) &
        bind(C, name="krz_nodecollect_SetInitialize")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: myid, nproc
      type(c_ptr), value :: com
    end function krz_nodecollect_SetInitialize
    integer(c_int) function krz_nodeglobal_SetInitialize(h, myid, nproc, com) &
        bind(C, name="krz_nodeglobal_SetInitialize")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: myid, nproc
      type(c_ptr), value :: com
    end function krz_nodeglobal_SetInitialize
    integer(c_int) function krz_face_SetInitialize(h, myid, nproc, com) &
        bind(C, name="krz_face_SetInitialize")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: myid, nproc
      type(c_ptr), value :: com
    end function krz_face_SetInitialize
    integer(c_int) function krz_selftest_SetInitialize(h, myid, nproc, com) &
        bind(C, name="krz_selftest_SetInitialize")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: myid, nproc
      type(c_ptr), value :: com
    end function krz_selftest_SetInitialize
    integer(c_int) function krz_com_create_mpi_f(fcomm, com) &
        bind(C, name="krz_com_create_mpi_f")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      integer(c_int), value :: fcomm
      type(c_ptr), intent(out) :: com
    end function krz_com_create_mpi_f
    integer(c_int) function krz_com_destroy(com) &
        bind(C, name="krz_com_destroy")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: com
    end function krz_com_destroy
    integer(c_int) function krz_com_rank(com, rank) &
        bind(C, name="krz_com_rank")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: com
      integer(c_int), intent(out) :: rank
    end function krz_com_rank
    integer(c_int) function krz_com_size(com, size) &
        bind(C, name="krz_com_size")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: com
      integer(c_int), intent(out) :: size
    end function krz_com_size
    integer(c_int) function krz_run_ranks(nproc, fn, user, deadline_ms) &
        bind(C, name="krz_run_ranks")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      integer(c_int), value :: nproc, deadline_ms
      type(c_funptr), value :: fn
      type(c_ptr), value :: user
    end function krz_run_ranks
    integer(c_int) function krz_broadtools_SetMapRelation_Flat(h, nglobal, counts, numbers) &
        bind(C, name="krz_broadtools_SetMapRelation_Flat")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nglobal
      integer(c_int), intent(in) :: counts(0:*)
      integer(c_int), intent(in) :: numbers(*)
    end function krz_broadtools_SetMapRelation_Flat
    integer(c_int) function krz_broadtools_SetMapRelation_DefaultRelation(h, nlocal) &
        bind(C, name="krz_broadtools_SetMapRelation_DefaultRelation")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nlocal
    end function krz_broadtools_SetMapRelation_DefaultRelation
    integer(c_int) function krz_broadtools_GetDimension_Local(h, p, n) &
        bind(C, name="krz_broadtools_GetDimension_Local")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: p
      integer(c_int), intent(out) :: n
    end function krz_broadtools_GetDimension_Local
    integer(c_int) function krz_broadtools_GetDimension_Global(h, n) &
        bind(C, name="krz_broadtools_GetDimension_Global")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(out) :: n
    end function krz_broadtools_GetDimension_Global
    integer(c_int) function krz_broadtools_SetIfOpenDebugMode(h, on) &
        bind(C, name="krz_broadtools_SetIfOpenDebugMode")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: on
    end function krz_broadtools_SetIfOpenDebugMode
    integer(c_int) function krz_broadtools_gather_double(h, local, global) &
        bind(C, name="krz_broadtools_gather_double")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      real(c_double), intent(in) :: local(0:*)
      real(c_double), intent(inout) :: global(0:*)
    end function krz_broadtools_gather_double
    integer(c_int) function krz_broadtools_scatter_double(h, global, local) &
        bind(C, name="krz_broadtools_scatter_double")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      real(c_double), intent(in) :: global(0:*)
      real(c_double), intent(inout) :: local(0:*)
    end function krz_broadtools_scatter_double
    integer(c_int) function krz_broadtools_gather_float(h, local, global) &
        bind(C, name="krz_broadtools_gather_float")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      real(c_float), intent(in) :: local(0:*)
      real(c_float), intent(inout) :: global(0:*)
    end function krz_broadtools_gather_float
    integer(c_int) function krz_broadtools_scatter_float(h, global, local) &
        bind(C, name="krz_broadtools_scatter_float")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      real(c_float), intent(in) :: global(0:*)
      real(c_float), intent(inout) :: local(0:*)
    end function krz_broadtools_scatter_float
    integer(c_int) function krz_broadtools_gather_int(h, local, global) &
        bind(C, name="krz_broadtools_gather_int")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(in) :: local(0:*)
      integer(c_int), intent(inout) :: global(0:*)
    end function krz_broadtools_gather_int
    integer(c_int) function krz_broadtools_scatter_int(h, global, local) &
        bind(C, name="krz_broadtools_scatter_int")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(in) :: global(0:*)
      integer(c_int), intent(inout) :: local(0:*)
    end function krz_broadtools_scatter_int
    integer(c_int) function krz_broadtools_gather_bool(h, local, global) &
        bind(C, name="krz_broadtools_gather_bool")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      logical(c_bool), intent(in) :: local(0:*)
      logical(c_bool), intent(inout) :: global(0:*)
    end function krz_broadtools_gather_bool
    integer(c_int) function krz_broadtools_scatter_bool(h, global, local) &
        bind(C, name="krz_broadtools_scatter_bool")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      logical(c_bool), intent(in) :: global(0:*)
      logical(c_bool), intent(inout) :: local(0:*)
    end function krz_broadtools_scatter_bool
    integer(c_int) function krz_broadtools_gather_char(h, local, global) &
        bind(C, name="krz_broadtools_gather_char")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      character(kind=c_char), intent(in) :: local(0:*)
      character(kind=c_char), intent(inout) :: global(0:*)
    end function krz_broadtools_gather_char
    integer(c_int) function krz_broadtools_scatter_char(h, global, local) &
        bind(C, name="krz_broadtools_scatter_char")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      character(kind=c_char), intent(in) :: global(0:*)
      character(kind=c_char), intent(inout) :: local(0:*)
    end function krz_broadtools_scatter_char
    integer(c_int) function krz_collector_rows_double(h, nlocal, local, rows) &
        bind(C, name="krz_collector_rows_double")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nlocal
      real(c_double), intent(in) :: local(0:*)
      type(c_ptr), intent(out) :: rows
    end function krz_collector_rows_double
    integer(c_int) function krz_collector_flat_double(h, nlocal, local, flat) &
        bind(C, name="krz_collector_flat_double")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nlocal
      real(c_double), intent(in) :: local(0:*)
      type(c_ptr), intent(out) :: flat
    end function krz_collector_flat_double
    integer(c_int) function krz_collector_rows_float(h, nlocal, local, rows) &
        bind(C, name="krz_collector_rows_float")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nlocal
      real(c_float), intent(in) :: local(0:*)
      type(c_ptr), intent(out) :: rows
    end function krz_collector_rows_float
    integer(c_int) function krz_collector_flat_float(h, nlocal, local, flat) &
        bind(C, name="krz_collector_flat_float")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nlocal
      real(c_float), intent(in) :: local(0:*)
      type(c_ptr), intent(out) :: flat
    end function krz_collector_flat_float
    integer(c_int) function krz_collector_rows_int(h, nlocal, local, rows) &
        bind(C, name="krz_collector_rows_int")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nlocal
      integer(c_int), intent(in) :: local(0:*)
      type(c_ptr), intent(out) :: rows
    end function krz_collector_rows_int
    integer(c_int) function krz_collector_flat_int(h, nlocal, local, flat) &
        bind(C, name="krz_collector_flat_int")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nlocal
      integer(c_int), intent(in) :: local(0:*)
      type(c_ptr), intent(out) :: flat
    end function krz_collector_flat_int
    integer(c_int) function krz_collector_rows_bool(h, nlocal, local, rows) &
        bind(C, name="krz_collector_rows_bool")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nlocal
      logical(c_bool), intent(in) :: local(0:*)
      type(c_ptr), intent(out) :: rows
    end function krz_collector_rows_bool
    integer(c_int) function krz_collector_flat_bool(h, nlocal, local, flat) &
        bind(C, name="krz_collector_flat_bool")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nlocal
      logical(c_bool), intent(in) :: local(0:*)
      type(c_ptr), intent(out) :: flat
    end function krz_collector_flat_bool
    integer(c_int) function krz_collector_GetNumber_Local(h, p, n) &
        bind(C, name="krz_collector_GetNumber_Local")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: p
      integer(c_int), intent(out) :: n
    end function krz_collector_GetNumber_Local
    integer(c_int) function krz_collector_GetNumber_Global(h, n) &
        bind(C, name="krz_collector_GetNumber_Global")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(out) :: n
    end function krz_collector_GetNumber_Global
    integer(c_int) function krz_nodecollect_SetMappinArrayCollectToMyid0(h, nlocal, local) &
        bind(C, name="krz_nodecollect_SetMappinArrayCollectToMyid0")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nlocal
      integer(c_int), intent(in) :: local(0:*)
    end function krz_nodecollect_SetMappinArrayCollectToMyid0
    integer(c_int) function krz_nodeglobal_SetMappinArrayCollectToMyid0(h, nlocal, local) &
        bind(C, name="krz_nodeglobal_SetMappinArrayCollectToMyid0")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nlocal
      integer(c_int), intent(in) :: local(0:*)
    end function krz_nodeglobal_SetMappinArrayCollectToMyid0
    integer(c_int) function krz_nodecollect_GetMappinArrayCollectToMyid0(h, rows) &
        bind(C, name="krz_nodecollect_GetMappinArrayCollectToMyid0")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      type(c_ptr), intent(out) :: rows
    end function krz_nodecollect_GetMappinArrayCollectToMyid0
    integer(c_int) function krz_nodecollect_GetNumber_Local(h, p, n) &
        bind(C, name="krz_nodecollect_GetNumber_Local")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: p
      integer(c_int), intent(out) :: n
    end function krz_nodecollect_GetNumber_Local
    integer(c_int) function krz_nodecollect_GetNumber_Global(h, n) &
        bind(C, name="krz_nodecollect_GetNumber_Global")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(out) :: n
    end function krz_nodecollect_GetNumber_Global
    integer(c_int) function krz_nodeglobal_SetMappingRelation_FENode_Local2Global(h, table) &
        bind(C, name="krz_nodeglobal_SetMappingRelation_FENode_Local2Global")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      type(c_ptr), value :: table
    end function krz_nodeglobal_SetMappingRelation_FENode_Local2Global
    integer(c_int) function krz_nodeglobal_CreateMappingArray_LocalFVNode2GlobalMFENode(h, rows) &
        bind(C, name="krz_nodeglobal_CreateMappingArray_LocalFVNode2GlobalMFENode")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      type(c_ptr), intent(out) :: rows
    end function krz_nodeglobal_CreateMappingArray_LocalFVNode2GlobalMFENode
    integer(c_int) function krz_face_SetLocalFace20_Flat(h, nlocal, records) &
        bind(C, name="krz_face_SetLocalFace20_Flat")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nlocal
      integer(c_int), intent(in) :: records(5, *)
    end function krz_face_SetLocalFace20_Flat
    integer(c_int) function krz_face_SetL2GMapRelation(h, node_map, face_map) &
        bind(C, name="krz_face_SetL2GMapRelation")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      type(c_ptr), value :: node_map, face_map
    end function krz_face_SetL2GMapRelation
    integer(c_int) function krz_face_GetFaceNumber_Global(h, n) &
        bind(C, name="krz_face_GetFaceNumber_Global")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(out) :: n
    end function krz_face_GetFaceNumber_Global
    integer(c_int) function krz_face_GetFaceNumber_Local(h, p, n) &
        bind(C, name="krz_face_GetFaceNumber_Local")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: p
      integer(c_int), intent(out) :: n
    end function krz_face_GetFaceNumber_Local
    integer(c_int) function krz_face_GetGlobalFace20(h, nface, faces) &
        bind(C, name="krz_face_GetGlobalFace20")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(out) :: nface
      type(c_ptr), intent(out) :: faces
    end function krz_face_GetGlobalFace20
    integer(c_int) function krz_face_gather_double(h, local, global) &
        bind(C, name="krz_face_gather_double")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      real(c_double), intent(in) :: local(0:*)
      real(c_double), intent(inout) :: global(0:*)
    end function krz_face_gather_double
    integer(c_int) function krz_face_scatter_double(h, global, local) &
        bind(C, name="krz_face_scatter_double")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      real(c_double), intent(in) :: global(0:*)
      real(c_double), intent(inout) :: local(0:*)
    end function krz_face_scatter_double
    integer(c_int) function krz_face_gather_int(h, local, global) &
        bind(C, name="krz_face_gather_int")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(in) :: local(0:*)
      integer(c_int), intent(inout) :: global(0:*)
    end function krz_face_gather_int
    integer(c_int) function krz_face_scatter_int(h, global, local) &
        bind(C, name="krz_face_scatter_int")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(in) :: global(0:*)
      integer(c_int), intent(inout) :: local(0:*)
    end function krz_face_scatter_int
    integer(c_int) function krz_bface_SetBoundaryFaceRelation(h, face) &
        bind(C, name="krz_bface_SetBoundaryFaceRelation")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      type(c_ptr), value :: face
    end function krz_bface_SetBoundaryFaceRelation
    integer(c_int) function krz_bface_SetLocalFace_BoundaryCellID(h, nlocal, owner, neighbor) &
        bind(C, name="krz_bface_SetLocalFace_BoundaryCellID")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: nlocal
      integer(c_int), intent(in) :: owner(0:*), neighbor(0:*)
    end function krz_bface_SetLocalFace_BoundaryCellID
    integer(c_int) function krz_bface_GetBoundaryFaceNumber_Local(h, n) &
        bind(C, name="krz_bface_GetBoundaryFaceNumber_Local")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(out) :: n
    end function krz_bface_GetBoundaryFaceNumber_Local
    integer(c_int) function krz_bface_GetBoundaryFaceNumber_Global(h, n) &
        bind(C, name="krz_bface_GetBoundaryFaceNumber_Global")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(out) :: n
    end function krz_bface_GetBoundaryFaceNumber_Global
    integer(c_int) function krz_bface_from_owner_double(h, cells, global) &
        bind(C, name="krz_bface_from_owner_double")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      real(c_double), intent(in) :: cells(0:*)
      real(c_double), intent(inout) :: global(0:*)
    end function krz_bface_from_owner_double
    integer(c_int) function krz_bface_from_neighbor_double(h, cells, global) &
        bind(C, name="krz_bface_from_neighbor_double")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      real(c_double), intent(in) :: cells(0:*)
      real(c_double), intent(inout) :: global(0:*)
    end function krz_bface_from_neighbor_double
    integer(c_int) function krz_bface_to_neighbor_double(h, global, cells) &
        bind(C, name="krz_bface_to_neighbor_double")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      real(c_double), intent(in) :: global(0:*)
      real(c_double), intent(inout) :: cells(0:*)
    end function krz_bface_to_neighbor_double
    integer(c_int) function krz_bface_from_owner_int(h, cells, global) &
        bind(C, name="krz_bface_from_owner_int")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(in) :: cells(0:*)
      integer(c_int), intent(inout) :: global(0:*)
    end function krz_bface_from_owner_int
    integer(c_int) function krz_bface_from_neighbor_int(h, cells, global) &
        bind(C, name="krz_bface_from_neighbor_int")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(in) :: cells(0:*)
      integer(c_int), intent(inout) :: global(0:*)
    end function krz_bface_from_neighbor_int
    integer(c_int) function krz_bface_to_neighbor_int(h, global, cells) &
        bind(C, name="krz_bface_to_neighbor_int")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), intent(in) :: global(0:*)
      integer(c_int), intent(inout) :: cells(0:*)
    end function krz_bface_to_neighbor_int
    integer(c_int) function krz_a2b_SetL2G_Face(h, face_a, face_b) &
        bind(C, name="krz_a2b_SetL2G_Face")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      type(c_ptr), value :: face_a, face_b
    end function krz_a2b_SetL2G_Face
    integer(c_int) function krz_a2b_SetL2G_BoundaryFace(h, bface_a, bface_b) &
        bind(C, name="krz_a2b_SetL2G_BoundaryFace")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      type(c_ptr), value :: bface_a, bface_b
    end function krz_a2b_SetL2G_BoundaryFace
    integer(c_int) function krz_a2b_SetA2BRelation(h, a2b, b2a) &
        bind(C, name="krz_a2b_SetA2BRelation")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      type(c_ptr), value :: a2b, b2a
    end function krz_a2b_SetA2BRelation
    integer(c_int) function krz_a2b_transfer_double(h, kind, vin, vout) &
        bind(C, name="krz_a2b_transfer_double")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: kind
      real(c_double), intent(inout) :: vin(0:*), vout(0:*)
    end function krz_a2b_transfer_double
    integer(c_int) function krz_a2b_transfer_int(h, kind, vin, vout) &
        bind(C, name="krz_a2b_transfer_int")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
      integer(c_int), value :: kind
      integer(c_int), intent(inout) :: vin(0:*), vout(0:*)
    end function krz_a2b_transfer_int
    integer(c_int) function krz_selftest_Test(h) &
        bind(C, name="krz_selftest_Test")
      import :: c_int, c_double, c_float, c_bool, c_char, c_ptr, c_funptr
      type(c_ptr), value :: h
    end function krz_selftest_Test
    type(c_ptr) function krz_last_error_c() bind(C, name="krz_last_error")
      import :: c_ptr
    end function krz_last_error_c
    integer(c_size_t) function c_strlen(s) bind(C, name="strlen")
      import :: c_ptr, c_size_t
      type(c_ptr), value :: s
    end function c_strlen
  end interface

  interface krz_broadtools_gather
    procedure krz_broadtools_gather_double
    procedure krz_broadtools_gather_float
    procedure krz_broadtools_gather_int
    procedure krz_broadtools_gather_bool
    procedure krz_broadtools_gather_char
  end interface krz_broadtools_gather
  interface krz_broadtools_scatter
    procedure krz_broadtools_scatter_double
    procedure krz_broadtools_scatter_float
    procedure krz_broadtools_scatter_int
    procedure krz_broadtools_scatter_bool
    procedure krz_broadtools_scatter_char
  end interface krz_broadtools_scatter
  interface krz_face_gather
    procedure krz_face_gather_double
    procedure krz_face_gather_int
  end interface krz_face_gather
  interface krz_face_scatter
    procedure krz_face_scatter_double
    procedure krz_face_scatter_int
  end interface krz_face_scatter
  interface krz_bface_from_owner
    procedure krz_bface_from_owner_double
    procedure krz_bface_from_owner_int
  end interface krz_bface_from_owner
  interface krz_bface_from_neighbor
    procedure krz_bface_from_neighbor_double
    procedure krz_bface_from_neighbor_int
  end interface krz_bface_from_neighbor
  interface krz_bface_to_neighbor
    procedure krz_bface_to_neighbor_double
    procedure krz_bface_to_neighbor_int
  end interface krz_bface_to_neighbor
  interface krz_a2b_transfer
    procedure krz_a2b_transfer_double
    procedure krz_a2b_transfer_int
  end interface krz_a2b_transfer

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
