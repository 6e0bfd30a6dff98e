# The tests of a cross-build (the Windows toolchain files): GoogleTest and
# pugixml compiled from their sources with the cross compiler, and every test
# program run through the toolchain's emulator (Wine) in a prefix of this
# build tree's own.  Included by tests/CMakeLists.txt.

set(SPINDLE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
  "GoogleTest's sources, compiled with the cross compiler (Debian's googletest)")
set(SPINDLE_PUGIXML_SOURCE ${CMAKE_SOURCE_DIR}/build-sources/pugixml CACHE PATH
  "pugixml's unpacked sources for the picture tests (scripts/pugixml-source fetches them)")

# A library of someone else's: built with its own warnings, never ours (nor
# -Werror), and its headers included as system headers so that they do not
# trip our warnings either.
function(spindle_foreign_headers target)
  get_target_property(includes ${target} INTERFACE_INCLUDE_DIRECTORIES)
  set_target_properties(${target} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${includes}")
endfunction()

# Without GoogleTest's sources the build has no tests (the including file
# sees no gtest target), and one line says what to install.
if(NOT EXISTS ${SPINDLE_GOOGLETEST_SOURCE}/googlemock/CMakeLists.txt)
  message(NOTICE "spindle: tests off: no GoogleTest sources in ${SPINDLE_GOOGLETEST_SOURCE} "
    "(install Debian's googletest, give -DSPINDLE_GOOGLETEST_SOURCE=DIR, or run scripts/setup)")
  return()
endif()
set(BUILD_GMOCK ON)
set(INSTALL_GTEST OFF)
set(BUILD_SHARED_LIBS OFF)
get_directory_property(spindle_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory(${SPINDLE_GOOGLETEST_SOURCE} ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${spindle_options}")
foreach(target gtest gtest_main gmock gmock_main)
  spindle_foreign_headers(${target})
endforeach()

# pugixml is one source file; the picture tests are its only user.  Without
# its sources no pugixml::pugixml target is made, and the picture tests are
# left out (scripts/pugixml-source fetches the sources).
function(spindle_cross_pugixml)
  if(NOT EXISTS ${SPINDLE_PUGIXML_SOURCE}/src/pugixml.cpp)
    return()
  endif()
  add_library(spindle_pugixml STATIC ${SPINDLE_PUGIXML_SOURCE}/src/pugixml.cpp)
  set_target_properties(spindle_pugixml PROPERTIES COMPILE_OPTIONS "")
  target_include_directories(spindle_pugixml PUBLIC ${SPINDLE_PUGIXML_SOURCE}/src)
  spindle_foreign_headers(spindle_pugixml)
  add_library(pugixml::pugixml ALIAS spindle_pugixml)
endfunction()

# Wine keeps its state in a prefix; this build tree's own, so that nothing
# outside it is read or changed and a fresh tree starts from a fresh one.
# No console noise, and no offer to install Mono or Gecko, which no test uses.
set(SPINDLE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(SPINDLE_WINE_ENVIRONMENT WINEPREFIX=${SPINDLE_WINE_PREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)
set(SPINDLE_WINE ${CMAKE_CROSSCOMPILING_EMULATOR})
if(NOT SPINDLE_WINE)
  message(FATAL_ERROR "The tests of a cross-build run under an emulator: the toolchain file names none")
endif()
# A loader named directly starts the processes a test starts too.
if(IS_ABSOLUTE "${SPINDLE_WINE}")
  list(APPEND SPINDLE_WINE_ENVIRONMENT WINELOADER=${SPINDLE_WINE})
endif()
# env(1) rather than cmake -E env: it execs Wine, so that a test that runs
# over its time is ended itself, not a wrapper round it.
find_program(SPINDLE_ENV env REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${SPINDLE_ENV} ${SPINDLE_WINE_ENVIRONMENT} ${SPINDLE_WINE})

# Before CTest lists the programs' tests (under Wine too), once per run: a
# Wine server that stays up through the run (and 30 s after), then wineboot,
# which makes the prefix the first time (some ten seconds) and otherwise
# only starts Wine's own services.  Both are started here with their output
# in /dev/null: a server or service that a test's first Wine program started
# would hold the test's output pipe open, and CTest would wait for it.
find_program(SPINDLE_WINESERVER wineserver)
set(spindle_wine_env)
foreach(variable IN LISTS SPINDLE_WINE_ENVIRONMENT)
  string(APPEND spindle_wine_env " [==[${variable}]==]")
endforeach()
set(spindle_wine_setup ${CMAKE_CURRENT_BINARY_DIR}/wine_prefix.cmake)
file(WRITE ${spindle_wine_setup}
  "set(spindle_quiet OUTPUT_FILE /dev/null ERROR_FILE /dev/null)\n"
  "file(MAKE_DIRECTORY [==[${SPINDLE_WINE_PREFIX}]==])\n")
if(SPINDLE_WINESERVER)
  file(APPEND ${spindle_wine_setup}
    "execute_process(COMMAND [==[${SPINDLE_ENV}]==]${spindle_wine_env} [==[${SPINDLE_WINESERVER}]==] -p30 \${spindle_quiet})\n")
endif()
file(APPEND ${spindle_wine_setup}
  "set(spindle_fresh)\n"
  "if(NOT EXISTS [==[${SPINDLE_WINE_PREFIX}/system.reg]==])\n"
  "  message(STATUS [==[Making the Wine prefix ${SPINDLE_WINE_PREFIX}]==])\n"
  "  set(spindle_fresh -i)\n"
  "endif()\n"
  "execute_process(COMMAND [==[${SPINDLE_ENV}]==]${spindle_wine_env} ${SPINDLE_WINE} wineboot \${spindle_fresh} \${spindle_quiet}\n"
  "  RESULT_VARIABLE spindle_status)\n"
  "if(NOT spindle_status EQUAL 0)\n"
  "  message(FATAL_ERROR \"wineboot \${spindle_fresh} failed (\${spindle_status}): the tests cannot run under Wine\")\n"
  "endif()\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${spindle_wine_setup})
