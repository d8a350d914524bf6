! The Fortran module under mpiexec: gather and scatter through a random relation (double and
! int), face numbering, one A/B transfer each way, and a refused argument. Prints
! "test_fortran: N ranks, ok" on rank 0 and stops with a non-zero code on any failure.
! A sink for the library's lines: counts them and keeps the rank and first letter of the last.
module line_counter
  use, intrinsic :: iso_c_binding
  implicit none
  integer :: lines_seen = 0, rank_seen = -2
  character :: first_letter = ' '
contains
  subroutine count_line(rank, line, user) bind(C)
    integer(c_int), value :: rank
    character(kind=c_char), dimension(*), intent(in) :: line
    type(c_ptr), value :: user
    lines_seen = lines_seen + 1
    rank_seen = rank
    first_letter = line(1)
  end subroutine count_line
end module line_counter

program test_fortran
  use line_counter
  use mpi
  use krz3dcomtools
  use, intrinsic :: iso_c_binding
  implicit none
  type(c_ptr) :: com
  integer :: ierr, myid, nproc, failures, total

  call MPI_Init(ierr)
  failures = 0
  call expect(krz_com_create_mpi_f(MPI_COMM_WORLD, com) == KRZ_OK, 'communicator')
  call expect(krz_com_rank(com, myid) == KRZ_OK, 'rank')
  call expect(krz_com_size(com, nproc) == KRZ_OK, 'size')
  call transfers()
  call faces()
  call lines()
  call expect(krz_com_destroy(com) == KRZ_OK, 'destroy')
  call MPI_Allreduce(failures, total, 1, MPI_INTEGER, MPI_SUM, MPI_COMM_WORLD, ierr)
  if (myid == 0) print '(a,i0,a,a)', 'test_fortran: ', nproc, ' ranks, ', &
                                     merge('ok    ', 'FAILED', total == 0)
  call MPI_Finalize(ierr)
  if (total /= 0) error stop 1

contains

  subroutine expect(condition, what)
    logical, intent(in) :: condition
    character(*), intent(in) :: what
    if (.not. condition) then
      print '(a,i0,a,a,a,a)', 'rank ', myid, ': ', what, ': ', krz_last_error()
      failures = failures + 1
    end if
  end subroutine expect

  ! The library's lines to a bind(C) procedure of the program, then to standard output again.
  subroutine lines()
    type(c_ptr) :: tools
    real(c_double) :: values(0:1), global(0:1)
    values = 0
    global = 0
    call expect(krz_broadtools_create(tools) == KRZ_OK, 'create for lines')
    call expect(krz_broadtools_SetInitialize(tools, myid, nproc, com) == KRZ_OK, 'initialize')
    call expect(krz_set_line_sink(c_funloc(count_line), c_null_ptr) == KRZ_OK, 'set the sink')
    call expect(krz_broadtools_gather_end(tools, values, global) == KRZ_ERR_FAILED, 'a line')
    call expect(krz_set_line_sink(c_null_funptr, c_null_ptr) == KRZ_OK, 'remove the sink')
    call expect(lines_seen == 1 .and. rank_seen == myid .and. first_letter == 'G', &
                'the line reached the sink with its rank')
    call expect(krz_broadtools_destroy(tools) == KRZ_OK, 'destroy for lines')
  end subroutine lines

  integer function offset(p)
    integer, intent(in) :: p
    offset = p * (p + 5) / 2 ! rank p holds 3 + p items
  end function offset

  ! A permutation of 1..n, the same on every rank.
  subroutine permutation(n, perm)
    integer, intent(in) :: n
    integer(c_int), intent(out) :: perm(n)
    integer :: i, j, t
    integer(8) :: s
    s = 12345
    perm = [(i, i = 1, n)]
    do i = n, 2, -1
      s = mod(s * 1103515245_8 + 12345_8, 4294967296_8)
      j = int(mod(s / 256, int(i, 8))) + 1
      t = perm(i); perm(i) = perm(j); perm(j) = t
    end do
  end subroutine permutation

  subroutine transfers()
    type(c_ptr) :: tools
    integer(c_int), allocatable :: perm(:), counts(:), ilocal(:), iglobal(:), iback(:)
    real(c_double), allocatable :: dlocal(:), dglobal(:), dback(:)
    integer :: n, nG, p, i
    n = 3 + myid
    nG = offset(nproc)
    allocate(perm(nG), counts(0:nproc - 1))
    call permutation(nG, perm)
    counts = [(3 + p, p = 0, nproc - 1)]
    call expect(krz_broadtools_create(tools) == KRZ_OK, 'create')
    call expect(krz_broadtools_SetInitialize(tools, myid, nproc, com) == KRZ_OK, 'initialize')
    call expect(krz_broadtools_SetMapRelation_Flat(tools, nG, counts, perm) == KRZ_OK, 'relation')
    allocate(dlocal(0:n), dglobal(0:nG), dback(0:n), ilocal(0:n), iglobal(0:nG), iback(0:n))
    dlocal = [0d0, (100d0 * myid + i + 0.5d0, i = 1, n)]
    ilocal = [0, (100 * myid + i, i = 1, n)]
    dglobal = 0
    iglobal = 0
    call expect(krz_broadtools_gather(tools, dlocal, dglobal) == KRZ_OK, 'gather double')
    call expect(krz_broadtools_gather(tools, ilocal, iglobal) == KRZ_OK, 'gather int')
    if (myid == 0) then
      do p = 0, nproc - 1
        do i = 1, 3 + p
          call expect(dglobal(perm(offset(p) + i)) == 100d0 * p + i + 0.5d0, 'gathered double')
          call expect(iglobal(perm(offset(p) + i)) == 100 * p + i, 'gathered int')
        end do
      end do
    end if
    dback = -1
    iback = -1
    call expect(krz_broadtools_scatter(tools, dglobal, dback) == KRZ_OK, 'scatter double')
    call expect(krz_broadtools_scatter(tools, iglobal, iback) == KRZ_OK, 'scatter int')
    call expect(all(dback(1:n) == dlocal(1:n)), 'scattered double')
    call expect(all(iback(1:n) == ilocal(1:n)), 'scattered int')
    ! The same split in two halves: begin, (compute), end.
    dback = -1
    iglobal = 0
    call expect(krz_broadtools_gather_begin(tools, ilocal, iglobal) == KRZ_OK, 'gather begin')
    call expect(krz_broadtools_gather_end(tools, ilocal, iglobal) == KRZ_OK, 'gather end')
    call expect(krz_broadtools_scatter_begin(tools, dglobal, dback) == KRZ_OK, 'scatter begin')
    call expect(krz_broadtools_scatter_end(tools, dglobal, dback) == KRZ_OK, 'scatter end')
    call expect(all(dback(1:n) == dlocal(1:n)), 'split scattered double')
    iback = -1
    call expect(krz_broadtools_scatter(tools, iglobal, iback) == KRZ_OK, 'scatter split-gathered')
    call expect(all(iback(1:n) == ilocal(1:n)), 'split gathered int')
    call expect(krz_broadtools_scatter_end(tools, iglobal, iback) == KRZ_ERR_FAILED, &
                'end without begin')
    call expect(krz_broadtools_SetInitialize(tools, nproc, nproc, com) == KRZ_ERR_INVALID, &
                'myid out of range refused')
    call expect(krz_broadtools_destroy(tools) == KRZ_OK, 'destroy')
  end subroutine transfers

  ! Two quadrilaterals per rank, nodes numbered globally. Domain A: rank p holds faces 2p+1,
  ! 2p+2; domain B: the faces of rank nproc-1-p in reverse order.
  subroutine faces()
    type(c_ptr) :: nodes, node_map, face_a, face_b, bface_a, bface_b, x
    integer(c_int) :: rec_a(5, 2), rec_b(5, 2), nface
    integer(c_int), allocatable :: identity(:)
    integer(c_int), target :: owner(0:2), neighbor(0:2)
    real(c_double) :: cell_a(0:4), cell_b(0:4)
    integer(c_int) :: fval_a(0:2), fval_b(0:2)
    integer :: i, q
    q = nproc - 1 - myid
    allocate(identity(0:8 * nproc))
    identity = [(i, i = 0, 8 * nproc)]
    call expect(krz_nodecollect_create(nodes) == KRZ_OK, 'nodes')
    call expect(krz_nodecollect_SetInitialize(nodes, myid, nproc, com) == KRZ_OK, 'nodes init')
    call expect(krz_nodecollect_SetMappinArrayCollectToMyid0(nodes, 8 * nproc, identity) &
                == KRZ_OK, 'collect nodes')
    call expect(krz_nodecollect_GetMappinArrayCollectToMyid0(nodes, node_map) == KRZ_OK, 'map')
    do i = 1, 2
      rec_a(:, i) = record(2 * myid + i)
      rec_b(:, i) = record(2 * q + 3 - i)
    end do
    call expect(krz_face_create(face_a) == KRZ_OK .and. krz_face_create(face_b) == KRZ_OK, 'faces')
    call expect(krz_face_SetInitialize(face_a, myid, nproc, com) == KRZ_OK, 'face A init')
    call expect(krz_face_SetInitialize(face_b, myid, nproc, com) == KRZ_OK, 'face B init')
    call expect(krz_face_SetLocalFace20_Flat(face_a, 2, rec_a) == KRZ_OK, 'faces of A')
    call expect(krz_face_SetLocalFace20_Flat(face_b, 2, rec_b) == KRZ_OK, 'faces of B')
    call expect(krz_face_SetL2GMapRelation(face_a, node_map, c_null_ptr) == KRZ_OK, 'number A')
    call expect(krz_face_SetL2GMapRelation(face_b, node_map, c_null_ptr) == KRZ_OK, 'number B')
    call expect(krz_face_GetFaceNumber_Global(face_a, nface) == KRZ_OK .and. nface == 2 * nproc, &
                'global face count')

    owner = [0, 1, 2]
    neighbor = [0, 3, 4]
    call expect(krz_bface_create(bface_a) == KRZ_OK .and. krz_bface_create(bface_b) == KRZ_OK, &
                'boundary faces')
    call expect(krz_bface_SetBoundaryFaceRelation(bface_a, face_a) == KRZ_OK, 'bface A')
    call expect(krz_bface_SetBoundaryFaceRelation(bface_b, face_b) == KRZ_OK, 'bface B')
    call expect(krz_bface_SetLocalFace_BoundaryCellID(bface_a, 2, owner, neighbor) == KRZ_OK, &
                'cells A')
    call expect(krz_bface_SetLocalFace_BoundaryCellID(bface_b, 2, owner, neighbor) == KRZ_OK, &
                'cells B')
    call expect(krz_a2b_create(x) == KRZ_OK, 'exchange')
    call expect(krz_a2b_SetL2G_Face(x, face_a, face_b) == KRZ_OK, 'exchange faces')
    call expect(krz_a2b_SetL2G_BoundaryFace(x, bface_a, bface_b) == KRZ_OK, 'exchange bfaces')
    call expect(krz_a2b_SetA2BRelation(x, c_null_ptr, c_null_ptr) == KRZ_OK, 'pairing')

    cell_a = [0d0, 100d0 * myid + 1, 100d0 * myid + 2, 0d0, 0d0]
    cell_b = 0
    call expect(krz_a2b_transfer(x, KRZ_A2B_BoundaryCellValue_A2B_FromOwner2Neighbor, cell_a, &
                                 cell_b) == KRZ_OK, 'A to B')
    do i = 1, 2
      call expect(cell_b(i + 2) == 100d0 * q + 3 - i, 'A to B values')
    end do
    fval_b = [0, 1000 * myid + 1, 1000 * myid + 2]
    fval_a = 0
    call expect(krz_a2b_transfer(x, KRZ_A2B_FaceValue_B2A_FromFace2Face, fval_b, fval_a) &
                == KRZ_OK, 'B to A')
    do i = 1, 2
      call expect(fval_a(i) == 1000 * q + 3 - i, 'B to A values')
    end do
    ! The same split in two: begin, (compute), end.
    fval_a = -1
    call expect(krz_a2b_begin(x, KRZ_A2B_FaceValue_B2A_FromFace2Face, fval_b, fval_a) == KRZ_OK, &
                'B to A begin')
    call expect(krz_a2b_end(x, KRZ_A2B_FaceValue_B2A_FromFace2Face, fval_b, fval_a) == KRZ_OK, &
                'B to A end')
    do i = 1, 2
      call expect(fval_a(i) == 1000 * q + 3 - i, 'B to A split values')
    end do

    call expect(krz_a2b_destroy(x) == KRZ_OK, 'destroy exchange')
    call expect(krz_bface_destroy(bface_a) == KRZ_OK .and. krz_bface_destroy(bface_b) == KRZ_OK, &
                'destroy bfaces')
    call expect(krz_face_destroy(face_a) == KRZ_OK .and. krz_face_destroy(face_b) == KRZ_OK, &
                'destroy faces')
    call expect(krz_nodecollect_destroy(nodes) == KRZ_OK, 'destroy nodes')
  end subroutine faces

  function record(f) result(r)
    integer, intent(in) :: f
    integer(c_int) :: r(5)
    r = [4, 4 * f - 3, 4 * f - 2, 4 * f - 1, 4 * f]
  end function record

end program test_fortran
