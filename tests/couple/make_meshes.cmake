# Makes the sample meshes with the gmsh command, in several formats: 4.1 binary, 2.2 ASCII, 4.1
# ASCII. Arguments (-D): GMSH GEO OUT.
file(MAKE_DIRECTORY ${OUT})
function(mesh out geo)
  execute_process(COMMAND ${GMSH} -3 ${GEO}/${geo} ${ARGN} -o ${OUT}/${out}
    RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gmsh ${geo} ${ARGN}: ${log}")
  endif()
endfunction()
mesh(two_volumes.msh two_volumes.geo -format msh41 -bin)
mesh(tet_a.msh box_tet.geo -setnumber side 0 -format msh22)
mesh(tet_b.msh box_tet.geo -setnumber side 1 -format msh22)
mesh(tet_b_patch.msh box_tet.geo -setnumber side 1 -setnumber patch 1 -format msh41 -bin)
mesh(tet_b_order2.msh box_tet.geo -setnumber side 1 -order 2 -format msh41)
mesh(hex_a.msh box_hex.geo -setnumber side 0 -format msh41)
mesh(hex_b.msh box_hex.geo -setnumber side 1 -format msh22 -bin)
mesh(hex_far.msh box_hex.geo -setnumber side 5 -format msh41)
