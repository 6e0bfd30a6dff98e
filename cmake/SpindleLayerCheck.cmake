# Fails when a file of one layer includes a header from a layer above it, or
# from anywhere else it was not given.  Run by the build before the layer
# compiles (see spindle_layer_check in cmake/SpindleLayers.cmake):
#   cmake -DROOT=<source dir> -DLAYER=<folder> -DALLOWED=<folder,folder> -DSTAMP=<file> -P SpindleLayerCheck.cmake
# LAYER is the layer's folder relative to ROOT (module/model, standin/gltf),
# ALLOWED the folders relative to ROOT it may include from (its own among
# them; a folder allows its subfolders too).  Quoted includes are resolved
# as the compiler would, beside the file and then from ROOT, so "../x.h"
# counts where it lands; an include that resolves nowhere is judged by name.
cmake_minimum_required(VERSION 3.20)
string(REPLACE "," ";" allowed "${ALLOWED}")
file(GLOB files "${ROOT}/${LAYER}/*.cpp" "${ROOT}/${LAYER}/*.h" "${ROOT}/${LAYER}/*.inc")
get_filename_component(root "${ROOT}" REALPATH)
set(faults "")
foreach(file ${files})
  get_filename_component(dir "${file}" DIRECTORY)
  file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line ${lines})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" header "${line}")
    set(where "")
    foreach(base "${dir}" "${root}")
      if(NOT where AND EXISTS "${base}/${header}")
        get_filename_component(where "${base}/${header}" REALPATH)
      endif()
    endforeach()
    if(where)
      file(RELATIVE_PATH where "${root}" "${where}")
    else()
      set(where "${header}")
    endif()
    set(ok FALSE)
    foreach(folder ${allowed})
      string(FIND "${where}" "${folder}/" at)
      if(at EQUAL 0)
        set(ok TRUE)
      endif()
    endforeach()
    if(NOT ok)
      file(RELATIVE_PATH name "${root}" "${file}")
      string(REPLACE ";" ", " list "${allowed}")
      string(APPEND faults "\n  ${name} includes \"${header}\": ${LAYER}/ may include only from ${list}")
    endif()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "an include runs against the layers:${faults}")
endif()
file(WRITE "${STAMP}" "")
