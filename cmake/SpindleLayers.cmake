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
