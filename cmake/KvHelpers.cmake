# Small helpers shared by every CMakeLists of the tree.

# kv_sources(VAR DIR...): every .cpp below the given folders, picked up again
# at build time so that adding a file needs no CMake edit.
function(kv_sources var)
  set(files)
  foreach(dir IN LISTS ARGN)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(APPEND files ${found})
  endforeach()
  list(SORT files)
  set(${var} ${files} PARENT_SCOPE)
endfunction()

function(kv_warnings target)
  target_compile_options(${target} PRIVATE ${KV_WARNINGS})
endfunction()

# kv_test_program(NAME DIR [WINE] [LIBS ...]): one GoogleTest program from every
# *_test.cpp in DIR. Native builds always get it; the MinGW build only gets the
# programs marked WINE, which use nothing but Win32 calls and must pass on
# winsim and on Wine alike.
function(kv_test_program name dir)
  cmake_parse_arguments(T "WINE" "" "LIBS" ${ARGN})
  if(KV_WINDOWS AND NOT T_WINE)
    return()
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs} ${CMAKE_SOURCE_DIR}/tests/support/test_main.cpp
                                 ${CMAKE_SOURCE_DIR}/tests/support/conformance.cpp)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE gtest kv_platform ${T_LIBS})
  # The source folder comes from a generated header rather than the command
  # line, so that compiler caches can share objects between checkouts.
  target_include_directories(${name} PRIVATE ${CMAKE_BINARY_DIR}/generated)
  kv_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT KV_WINDOWS)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "KVSIM_TIMESCALE=0.01")
  endif()
endfunction()
