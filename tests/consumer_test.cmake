# The installed package as a solver team meets it: install into a scratch prefix, then build and
# run, with LD_LIBRARY_PATH unset,
#  - examples/consumer with find_package(... COMPONENTS ...): C++ on threads, and with MPI the
#    C++ program whose own MPI_ANY_TAG receive is pending during gathers, the C program and the
#    Fortran program, under mpiexec;
#  - the same MPI programs built by a Makefile from pkg-config alone;
#  - the installed krz3d;
#  - a find_package asking for a component the package lacks, which must say which and why;
#  - every example of the README (tests/check_readme.py).
# With PACKAGES set (to cpack), the same from the Debian packages instead: cpack -G DEB, each
# package unpacked into a scratch root with dpkg-deb -x, their names and dependencies checked.
# Arguments (-D): SOURCE_DIR BUILD_DIR WORK_DIR CXX_COMPILER C_COMPILER Fortran_COMPILER SANITIZE
#                 WITH_MPI WITH_FORTRAN BUILD_STATIC MPIEXEC LIBDIR PYTHON [PACKAGES]
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
set(noenv ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  message("${out}")
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

function(expect text)
  if(NOT last_output MATCHES "${text}")
    message(FATAL_ERROR "expected '${text}' in:\n${last_output}")
  endif()
endfunction()

set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=${SANITIZE}")
endif()
if(PACKAGES)
  run(${PACKAGES} -G DEB -B ${WORK_DIR}/debs --config ${BUILD_DIR}/CPackConfig.cmake)
  set(names "")
  file(GLOB debs ${WORK_DIR}/debs/*.deb)
  foreach(deb IN LISTS debs)
    run(dpkg-deb -f ${deb} Package Depends)
    string(APPEND names "${last_output}")
    run(dpkg-deb -x ${deb} ${WORK_DIR}/root)
  endforeach()
  set(last_output "${names}")
  expect("Package: libkrz3dcomtools0\nDepends: [^\n]*libstdc\\+\\+6")
  expect("Package: libkrz3dcomtools-dev\nDepends: libkrz3dcomtools0 \\(= [0-9.]+\\)")
  if(WITH_MPI)
    expect("Package: libkrz3dcomtools0\nDepends: [^\n]*libopenmpi")
  endif()
  if(PYTHON)
    expect("Package: python3-krz3dcomtools\nDepends: libkrz3dcomtools0 \\(= [0-9.]+\\), python3")
  endif()
  set(prefix ${WORK_DIR}/root/usr)
  set(pythonpath ${prefix}/lib/python3/dist-packages)
else()
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
  set(pythonpath ${prefix}/${LIBDIR}/python3/site-packages)
endif()

set(consumer_args -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    -DCMAKE_C_COMPILER=${C_COMPILER} "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_C_FLAGS=${flags}"
    "-DCMAKE_EXE_LINKER_FLAGS=${flags}" -DWITH_MPI=${WITH_MPI} -DWITH_FORTRAN=${WITH_FORTRAN})
if(WITH_FORTRAN)
  list(APPEND consumer_args -DCMAKE_Fortran_COMPILER=${Fortran_COMPILER}
       "-DCMAKE_Fortran_FLAGS=${flags}")
endif()
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/consumer -B ${WORK_DIR}/build ${consumer_args})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${noenv} ${WORK_DIR}/build/consumer)
expect("consumer: gathered 1 2 3 11 12")

if(WITH_MPI)
  set(mpirun ${noenv} ${MPIEXEC} --oversubscribe -n)
  run(${mpirun} 3 ${WORK_DIR}/build/consumer_mpi)
  expect("consumer_mpi: 3 ranks, gathers and the program's own message ok")
  run(${mpirun} 2 ${WORK_DIR}/build/consumer_c)
  expect("gather.c: 2 ranks, ok")
  if(WITH_FORTRAN)
    run(${mpirun} 3 ${WORK_DIR}/build/consumer_fortran)
    expect("gather.f90: 3 ranks, ok")
  endif()

  # pkg-config alone (a Makefile build), shared libraries only.
  if(NOT BUILD_STATIC)
    file(MAKE_DIRECTORY ${WORK_DIR}/make)
    run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/${LIBDIR}/pkgconfig
        make -C ${SOURCE_DIR}/examples/pkgconfig OUT=${WORK_DIR}/make "CXX=${CXX_COMPILER} ${flags}"
        "CC=${C_COMPILER} ${flags}")
    run(${mpirun} 2 ${WORK_DIR}/make/consumer_mpi)
    expect("consumer_mpi: 2 ranks, gathers and the program's own message ok")
    run(${mpirun} 3 ${WORK_DIR}/make/consumer_c)
    expect("gather.c: 3 ranks, ok")
  endif()
endif()

# The C API is exported with C linkage.
if(NOT BUILD_STATIC)
  run(nm -D --defined-only ${prefix}/${LIBDIR}/libKRZ3DCOMTools_C.so)
  expect(" T krz_broadtools_gather_double\n")
  expect(" T krz_a2b_transfer_int\n")
endif()

# The installed command finds its libraries by itself.
if(EXISTS ${prefix}/bin/krz3d)
  run(${noenv} ${prefix}/bin/krz3d selftest --ranks 2)
  expect("selftest: 2 ranks, 31 cases run, 0 failure lines")
endif()

# The installed Python module finds the library by itself.
if(PYTHON)
  run(${noenv} PYTHONPATH=${pythonpath} ${PYTHON} -c
      "import numpy, krz3dcomtools as k\nprint('python module', k.__version__)")
  expect("python module ")
endif()

# Every example of the README, built and run against the installed package.
if(WITH_MPI AND WITH_FORTRAN AND PYTHON AND NOT BUILD_STATIC AND NOT PACKAGES AND NOT SANITIZE)
  run(${noenv} ${PYTHON} ${SOURCE_DIR}/tests/check_readme.py ${SOURCE_DIR}/README.md ${prefix}
      ${LIBDIR} ${WORK_DIR}/readme ${MPIEXEC} ${PYTHON} ${pythonpath})
  expect("check_readme: [0-9]+ blocks, 0 failed")
endif()

# A missing component is named, with the reason.
file(WRITE ${WORK_DIR}/missing/CMakeLists.txt
  "cmake_minimum_required(VERSION 3.20)\nproject(m LANGUAGES CXX)\n"
  "find_package(KRZ3DCOMTools CONFIG REQUIRED COMPONENTS Threads Nonexistent)\n")
execute_process(COMMAND ${CMAKE_COMMAND} -S ${WORK_DIR}/missing -B ${WORK_DIR}/missing/build
  -DCMAKE_PREFIX_PATH=${prefix} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc EQUAL 0 OR NOT err MATCHES "Nonexistent: no such component")
  message(FATAL_ERROR "a missing component was not reported:\n${out}\n${err}")
endif()
