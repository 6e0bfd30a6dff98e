# The page template of `spindle --view` and `spindle view`:
# spindle-view.html beside the spindle program, made by `node
# viewer/build.mjs OUT` (run from the source root) from the page's sources
# and the three.js of viewer/node_modules (`npm ci --prefix viewer`).  Without node or those
# packages the build goes on without it, with one line, and --view then
# says it is missing.  The archives carry it beside the Blender add-on's
# zip (share/spindle/; on Windows beside spindle.exe), where spindle finds
# it (SPINDLE_VIEW_INSTALL_DIR).
set(SPINDLE_VIEW_TEMPLATE ${CMAKE_BINARY_DIR}/spindle-view.html)
find_program(SPINDLE_NODE NAMES node nodejs)
set(viewer ${CMAKE_SOURCE_DIR}/viewer)
if(SPINDLE_NODE AND EXISTS ${viewer}/build.mjs AND EXISTS ${viewer}/node_modules/three)
  file(GLOB_RECURSE viewer_sources CONFIGURE_DEPENDS ${viewer}/src/*)
  file(GLOB viewer_page CONFIGURE_DEPENDS ${viewer}/page.html ${viewer}/package-lock.json)
  add_custom_command(OUTPUT ${SPINDLE_VIEW_TEMPLATE}
    COMMAND ${SPINDLE_NODE} viewer/build.mjs ${SPINDLE_VIEW_TEMPLATE}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    DEPENDS ${viewer}/build.mjs ${viewer_sources} ${viewer_page}
    COMMENT "Making the page template spindle-view.html"
    VERBATIM)
  add_custom_target(view_page ALL DEPENDS ${SPINDLE_VIEW_TEMPLATE})
  add_dependencies(spindle view_page)
  if(WIN32)
    install(FILES ${SPINDLE_VIEW_TEMPLATE} DESTINATION .)
  else()
    install(FILES ${SPINDLE_VIEW_TEMPLATE} DESTINATION ${CMAKE_INSTALL_DATADIR}/spindle)
  endif()
else()
  message(NOTICE "spindle: the page template of --view left out: it needs node and viewer/node_modules "
    "(npm ci --prefix viewer)")
endif()
