# Runs every test executable of the i686 build under Wine 10 (WoW64), in a prefix that lives
# in the build tree. Two CTest fixtures start the persistent wineserver before the first
# test and stop it after the last one, also when tests fail.

set(OV_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of this build tree")
set(OV_WINELAB "${PROJECT_SOURCE_DIR}/tools/winelab.sh")
set(CMAKE_CROSSCOMPILING_EMULATOR "${OV_WINELAB};exec;${OV_WINEPREFIX}")

add_test(NAME winelab.start COMMAND ${OV_WINELAB} start ${OV_WINEPREFIX})
set_tests_properties(winelab.start PROPERTIES FIXTURES_SETUP winelab)
add_test(NAME winelab.stop COMMAND ${OV_WINELAB} stop ${OV_WINEPREFIX})
set_tests_properties(winelab.stop PROPERTIES FIXTURES_CLEANUP winelab)

# The Windows form of a path of this machine, as a program under Wine sees it (drive Z: is /).
function(ov_wine_path out path)
  string(REPLACE "/" "\\" p "${path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()

ov_wine_path(OV_WIN_BINARY_DIR "${CMAKE_BINARY_DIR}")
ov_wine_path(OV_WIN_SOURCE_DIR "${PROJECT_SOURCE_DIR}")

# ov_add_wine_test(TARGET [TIMEOUT seconds] [SERIAL]): one CTest test per test executable.
# The tests see the build and source folders in Windows form as OV_BIN_DIR and OV_SRC_DIR.
function(ov_add_wine_test target)
  cmake_parse_arguments(ARG "SERIAL" "TIMEOUT" "" ${ARGN})
  add_test(NAME ${target} COMMAND ${target})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 600)
  endif()
  set_tests_properties(${target} PROPERTIES
    FIXTURES_REQUIRED winelab
    TIMEOUT ${ARG_TIMEOUT}
    LABELS quick
    ENVIRONMENT "WINEDEBUG=-all;WINEPREFIX=${OV_WINEPREFIX};OV_BIN_DIR=${OV_WIN_BINARY_DIR};OV_SRC_DIR=${OV_WIN_SOURCE_DIR}")
  if(ARG_SERIAL)
    set_tests_properties(${target} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()
