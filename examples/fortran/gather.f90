! A gather and a scatter from Fortran on MPI: rank p owns global items 2p+1 and 2p+2.
program gather
  use mpi
  use krz3dcomtools
  use, intrinsic :: iso_c_binding
  implicit none
  type(c_ptr) :: com, tools
  integer :: ierr, myid, nproc, ok, all_ok
  real(c_double) :: local(0:2), back(0:2)
  real(c_double), allocatable :: global(:)

  call MPI_Init(ierr)
  call check(krz_com_create_mpi_f(MPI_COMM_WORLD, com)) ! the library's own duplicate
  call check(krz_com_rank(com, myid))
  call check(krz_com_size(com, nproc))
  call check(krz_broadtools_create(tools))
  call check(krz_broadtools_SetInitialize(tools, myid, nproc, com))
  call check(krz_broadtools_SetMapRelation_DefaultRelation(tools, 2))

  local = [0d0, 10d0 * myid + 1, 10d0 * myid + 2] ! element 0 belongs to no item
  allocate(global(0:2 * nproc))
  global = 0
  call check(krz_broadtools_gather(tools, local, global))
  if (myid == 0) global = 2 * global
  back = 0
  call check(krz_broadtools_scatter(tools, global, back))
  ok = merge(1, 0, back(1) == 2 * local(1) .and. back(2) == 2 * local(2))
  call MPI_Allreduce(ok, all_ok, 1, MPI_INTEGER, MPI_MIN, MPI_COMM_WORLD, ierr)
  if (myid == 0) print '(a,i0,a,a)', 'gather.f90: ', nproc, ' ranks, ', &
                                     merge('ok   ', 'WRONG', all_ok == 1)
  call check(krz_broadtools_destroy(tools))
  call check(krz_com_destroy(com))
  call MPI_Finalize(ierr)
  if (all_ok /= 1) error stop 1

contains

  subroutine check(status)
    integer(c_int), intent(in) :: status
    if (status /= KRZ_OK) then
      print '(a)', krz_last_error()
      call MPI_Abort(MPI_COMM_WORLD, 1, ierr)
    end if
  end subroutine check

end program gather
