# The layer check's own test: a tiny tree in a fresh folder, checked as the
# build checks the real one (cmake/SpindleLayerCheck.cmake), so that a
# pattern that passes every include is caught here.  The real tree needs no
# case of its own: every layer's library waits for its check, so a build
# that finishes has passed them all.
#   cmake -DCHECK=<SpindleLayerCheck.cmake> -DWORK=<scratch folder> -P layer_check_test.cmake
cmake_minimum_required(VERSION 3.20)
file(REMOVE_RECURSE "${WORK}")
set(failures "")

# put(FILE HEADER...): FILE of the tree, including each HEADER.
function(put file)
  set(text "")
  foreach(header ${ARGN})
    string(APPEND text "#include \"${header}\"\n")
  endforeach()
  file(WRITE "${WORK}/${file}" "#include <vector>\n${text}int unused;\n")
endfunction()
put(module/low/low.h)
put(module/low/reaches_up.cpp module/high/high.h)
put(module/high/high.h module/low/low.h host/host.h)
put(standin/platform/platform.h)
put(standin/mesh/mesh.h standin/platform/platform.h)
put(standin/mesh/reaches_up.cpp standin/gltf/gltf.h)
put(standin/mesh/climbs_out.cpp ../gltf/gltf.h)
put(standin/gltf/gltf.h standin/mesh/mesh.h ../mesh/mesh.h ../platform/platform.h)
put(standin/cli/cli.cpp standin/gltf/gltf.h host/host.h)
put(host/host.h)

# expect(LAYER ALLOWED PASS|FAIL [TEXT...]): checks LAYER with ALLOWED (a
# comma list) and records a failure unless the check passes or fails as
# told, with each TEXT in its message.
function(expect layer allowed outcome)
  set(stamp "${WORK}/stamp")
  file(REMOVE "${stamp}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -DROOT=${WORK} -DLAYER=${layer} -DALLOWED=${allowed}
    -DSTAMP=${stamp} -P "${CHECK}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(case "${layer} with ${allowed}")
  if(outcome STREQUAL "PASS" AND (NOT status EQUAL 0 OR NOT EXISTS "${stamp}"))
    string(APPEND failures "\n${case}: refused, expected to pass:\n${out}")
  elseif(outcome STREQUAL "FAIL" AND (status EQUAL 0 OR EXISTS "${stamp}"))
    string(APPEND failures "\n${case}: passed, expected to be refused")
  endif()
  foreach(text ${ARGN})
    string(FIND "${out}" "${text}" at)
    if(at EQUAL -1)
      string(APPEND failures "\n${case}: the message lacks '${text}':\n${out}")
    endif()
  endforeach()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

# An include from a layer above, named with the file and the header.
expect(module/low module/low,host FAIL "module/low/reaches_up.cpp includes \"module/high/high.h\"")
expect(standin/mesh standin/mesh,standin/platform FAIL
  "standin/mesh/reaches_up.cpp includes \"standin/gltf/gltf.h\""
  "standin/mesh/climbs_out.cpp includes \"../gltf/gltf.h\"")
# Includes from below, by the root and by "../", pass.
expect(module/high module/high,module/low,host PASS)
expect(standin/gltf standin/gltf,standin/mesh,standin/platform PASS)
# host/ only where it is given.
expect(module/high module/high,module/low FAIL "module/high/high.h includes \"host/host.h\"")
expect(standin/cli standin/cli,standin/gltf,host PASS)
expect(standin/cli standin/cli,standin/gltf FAIL "standin/cli/cli.cpp includes \"host/host.h\"")

file(REMOVE_RECURSE "${WORK}")
if(failures)
  message(FATAL_ERROR "the layer check judged wrongly:${failures}")
endif()
