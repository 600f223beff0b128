# The release number comes from project(VERSION) alone: a generated header gives
# it to the sources (the module record's description) and to the version resources.
set(TANDREL_GENERATED ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${TANDREL_GENERATED}/tandrel_version.h @ONLY)
include_directories(${TANDREL_GENERATED})

# tandrel_version_resource(TARGET FILETYPE DESCRIPTION): adds a version resource to TARGET.
function(tandrel_version_resource target filetype description)
  get_target_property(type ${target} TYPE)
  set(VI_NAME ${target})
  set(VI_FILENAME ${target}.exe)
  if(type STREQUAL "SHARED_LIBRARY")
    set(VI_FILENAME ${target}.dll)
  endif()
  set(VI_FILETYPE ${filetype})
  set(VI_DESCRIPTION "${description}")
  set(rc ${TANDREL_GENERATED}/${target}_version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version_info.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${TANDREL_GENERATED}/tandrel_version.h)
endfunction()
