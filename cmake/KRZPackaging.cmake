# Debian packages from a build tree: `cpack -G DEB` (or `cpack --config CPackConfig.cmake`) makes
#   libkrz3dcomtools0       the shared libraries and krz3d (component runtime),
#   libkrz3dcomtools-dev    headers, link names, static libraries, CMake and pkg-config files and
#                           the Fortran module (component development),
#   python3-krz3dcomtools   the Python module in /usr/lib/python3/dist-packages (python-deb),
# installed under /usr. The runtime package's dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME krz3dcomtools)
set(CPACK_PACKAGE_VENDOR "KRZ3DCOMTools developers")
set(CPACK_PACKAGE_CONTACT "KRZ3DCOMTools developers <krz3dcomtools@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libkrz3dcomtools0)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "KRZ3DCOMTools libraries and the krz3d command\nLocal/global array transfers for domain-decomposed mesh solvers: gather, scatter,\nface numbering and coupling of two domains, on MPI or on in-process ranks.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libkrz3dcomtools-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "KRZ3DCOMTools development files\nHeaders (C++, C), the Fortran module, CMake (find_package) and pkg-config files.")
set(KRZ_DEV_DEPENDS "libkrz3dcomtools0 (= ${PROJECT_VERSION})")
if(KRZ3DCOMTOOLS_HAVE_MPI)
  string(APPEND KRZ_DEV_DEPENDS ", mpi-default-dev")
endif()
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${KRZ_DEV_DEPENDS}")

if(KRZ3DCOMTOOLS_HAVE_PYTHON)
  list(APPEND CPACK_COMPONENTS_ALL python-deb)
  set(CPACK_DEBIAN_PYTHON-DEB_PACKAGE_NAME python3-krz3dcomtools)
  set(CPACK_DEBIAN_PYTHON-DEB_PACKAGE_SECTION python)
  set(CPACK_DEBIAN_PYTHON-DEB_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_PYTHON-DEB_PACKAGE_DEPENDS
    "libkrz3dcomtools0 (= ${PROJECT_VERSION}), python3 (>= 3.11), python3-numpy")
  set(CPACK_DEBIAN_PYTHON-DEB_PACKAGE_RECOMMENDS python3-mpi4py)
  set(CPACK_COMPONENT_PYTHON-DEB_DESCRIPTION
    "KRZ3DCOMTools Python module\nThe krz3dcomtools module: the library's objects on NumPy arrays, on in-process ranks or MPI (mpi4py).")
endif()
include(CPack)
