# The reference manual (target docs, when Doxygen is found): the public C++ and C headers and the
# Fortran module through Doxygen, with warnings as errors, and the Python module's docstrings
# through pydoc; installed under share/doc/KRZ3DCOMTools/html.
find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
  message(STATUS "KRZ3DCOMTools: reference manual off (Doxygen not found)")
  return()
endif()
set(KRZ_DOCS_OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/docs)
set(KRZ_DOCS_WARN_AS_ERROR FAIL_ON_WARNINGS)
set(KRZ_DOCS_HEADERS include/CCOM_BroadTools.h include/CCOM_BroadTools_CollectLocalArrayToMyid0.h
  include/CL2GMappingRelation_CollectFVNode2MFENode.h
  include/CL2GMappingRelation_LocalFVNode2GlobalMFENode.h include/CKRZL2GBroadTools_Face.h
  include/CKRZL2GBroadTools_BoundaryFace.h include/CKRZA2BExchange_BoundaryFace.h
  include/CKRZL2GBroadTools_UnitTest.h include/krz3dcomtools.h krzcom/CKRZCom.h
  krzcom/CKRZPostingCom.h krzcom/CKRZCom_Threads.h krzcom/CKRZCom_MPI.h krzcom/KRZRunRanks.h
  krzcom/KRZRunMPI.h krzcom/KRZLineSink.h krzcom/KRZPerformanceLog.h docs/MANUAL.md)
set(KRZ_DOCS_INPUT "")
foreach(h IN LISTS KRZ_DOCS_HEADERS)
  string(APPEND KRZ_DOCS_INPUT " ${PROJECT_SOURCE_DIR}/${h}")
endforeach()
set(KRZ_DOCS_DEPENDS "")
set(KRZ_DOCS_EXAMPLE_PATH "")
if(KRZ3DCOMTOOLS_HAVE_FORTRAN)
  # The Fortran module's interfaces as they stand (its functions are the C API's).
  set(KRZ_DOCS_EXAMPLE_PATH ${CMAKE_CURRENT_BINARY_DIR}/bindings/fortran)
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/docs-fortran.md
    "# The Fortran module {#fortran}\n\n"
    "`use krz3dcomtools`: every function is the C function of the same name (krz3dcomtools.h "
    "documents it) and returns its status; generic names pick the element type. The module:\n\n"
    "\\include krz3dcomtools.f90\n")
  string(APPEND KRZ_DOCS_INPUT " ${CMAKE_CURRENT_BINARY_DIR}/docs-fortran.md")
  list(APPEND KRZ_DOCS_DEPENDS KRZ3DCOMTools_Fortran)
endif()
configure_file(docs/Doxyfile.in ${CMAKE_CURRENT_BINARY_DIR}/Doxyfile @ONLY)
set(KRZ_DOCS_COMMANDS COMMAND ${CMAKE_COMMAND} -E make_directory ${KRZ_DOCS_OUTPUT}
  COMMAND Doxygen::doxygen ${CMAKE_CURRENT_BINARY_DIR}/Doxyfile)
if(KRZ3DCOMTOOLS_HAVE_PYTHON)
  list(APPEND KRZ_DOCS_DEPENDS krz3dcomtools_python)
  list(APPEND KRZ_DOCS_COMMANDS COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${KRZ_PYTHON_MODULE_DIR}
    ${Python3_EXECUTABLE} -m pydoc -w krz3dcomtools)
endif()
add_custom_target(docs ${KRZ_DOCS_COMMANDS}
  WORKING_DIRECTORY ${KRZ_DOCS_OUTPUT}/html
  COMMENT "Writing the reference manual to ${KRZ_DOCS_OUTPUT}/html")
file(MAKE_DIRECTORY ${KRZ_DOCS_OUTPUT}/html)
if(KRZ_DOCS_DEPENDS)
  add_dependencies(docs ${KRZ_DOCS_DEPENDS})
endif()
install(DIRECTORY ${KRZ_DOCS_OUTPUT}/html DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/KRZ3DCOMTools
  COMPONENT development OPTIONAL)
message(STATUS "KRZ3DCOMTools: reference manual on (target docs)")
