# krz_static_define(target BASE): in a static build, consumers and the library itself see the
# export macros of generate_export_header(BASE_NAME BASE) as empty.
function(krz_static_define target base)
  if(NOT BUILD_SHARED_LIBS)
    target_compile_definitions(${target} PUBLIC ${base}_STATIC_DEFINE)
  endif()
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()
