# Helpers shared by the project's CMake files.

# The command that starts a test program: directly, or through the launcher named in
# KV_TEST_LAUNCHER when CTest runs (the emulated pass of scripts/test).
set(KV_LAUNCH ${CMAKE_SOURCE_DIR}/cmake/kv_launch.sh)

# kv_deliverable(NAME EXPORTS_FILE SOURCES...): a shared library that exports exactly
# the extern "C" entry points listed (one per line) in EXPORTS_FILE.
function(kv_deliverable name exports)
  add_library(${name} SHARED ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden
                        VISIBILITY_INLINES_HIDDEN ON)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
  file(STRINGS ${exports} syms)
  set(body "{\n  global:\n")
  foreach(s IN LISTS syms)
    if(s AND NOT s MATCHES "^#")
      string(APPEND body "    ${s};\n")
    endif()
  endforeach()
  string(APPEND body "  local: *;\n};\n")
  file(WRITE ${script} "${body}")
  target_link_options(${name} PRIVATE -Wl,--version-script=${script} -Wl,--no-undefined)
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${exports})
endfunction()

# kv_gtest(NAME SOURCES...): a GoogleTest executable registered with CTest, one CTest
# test "NAME:Suite" per GoogleTest suite (cmake/kv_gtest_suites.cmake lists them when
# CTest runs, after the program is built).
function(kv_gtest name)
  add_executable(${name} ${ARGN} ${CMAKE_SOURCE_DIR}/tests/support/asan_options.cpp)
  target_link_libraries(${name} PRIVATE kvtestsupport GTest::gtest_main)
  set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_suites_include.cmake)
  file(GENERATE OUTPUT ${include_file} CONTENT
"set(KV_GTEST_NAME [==[${name}]==])
set(KV_GTEST_EXE [==[$<TARGET_FILE:${name}>]==])
set(KV_GTEST_LIST [==[${CMAKE_CURRENT_BINARY_DIR}/${name}_suites.txt]==])
set(KV_GTEST_DIR [==[${CMAKE_CURRENT_BINARY_DIR}]==])
set(KV_GTEST_TIMEOUT 900)
include([==[${CMAKE_SOURCE_DIR}/cmake/kv_gtest_suites.cmake]==])
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
endfunction()
