# Layers: folders of sources, each a static library that links only the
# layers below it, with the build checking before a layer compiles that its
# files include nothing from above (cmake/SpindleLayerCheck.cmake).

# spindle_layer_check(TARGET FOLDER ALLOWED...): makes TARGET wait for the
# check of FOLDER's includes (FOLDER and each of ALLOWED relative to the
# source root; FOLDER itself is always allowed).
function(spindle_layer_check target folder)
  set(allowed ${folder} ${ARGN})
  string(REPLACE ";" "," allowed "${allowed}")
  string(REPLACE "/" "_" name "${folder}")
  file(GLOB inputs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.h
    ${CMAKE_SOURCE_DIR}/${folder}/*.inc)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}.layer-checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -DLAYER=${folder} -DALLOWED=${allowed}
      -DSTAMP=${stamp} -P ${CMAKE_SOURCE_DIR}/cmake/SpindleLayerCheck.cmake
    DEPENDS ${inputs} ${CMAKE_SOURCE_DIR}/cmake/SpindleLayerCheck.cmake
    COMMENT "Checking the includes of ${folder}"
    VERBATIM)
  target_sources(${target} PRIVATE ${stamp})
endfunction()

# spindle_layer_library(TARGET FOLDER [EXCLUDE REGEX] [LOWER NAME...]
#                       [ALLOWED FOLDER...] [LINK LIBRARY...]): the static
# library TARGET from FOLDER/*.cpp (relative to the source root; this
# platform's files, less those matching REGEX).  LOWER names the layers
# below it, folders beside FOLDER whose libraries are named as TARGET is
# (spindle_standin_gltf for standin/gltf: spindle_standin_mesh for mesh);
# it links them and LINK publicly, and may include only from FOLDER, the
# LOWER folders and ALLOWED.
function(spindle_layer_library target folder)
  cmake_parse_arguments(PARSE_ARGV 2 layer "" "EXCLUDE" "LOWER;ALLOWED;LINK")
  get_filename_component(parent ${folder} DIRECTORY)
  get_filename_component(name ${folder} NAME)
  string(REGEX REPLACE "${name}$" "" prefix ${target})
  set(allowed ${layer_ALLOWED})
  set(libraries ${layer_LINK})
  foreach(below ${layer_LOWER})
    list(APPEND allowed ${parent}/${below})
    list(APPEND libraries ${prefix}${below})
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  if(layer_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${layer_EXCLUDE}")
  endif()
  spindle_platform_files(sources)
  add_library(${target} STATIC ${sources})
  spindle_layer_check(${target} ${folder} ${allowed})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${libraries})
endfunction()
