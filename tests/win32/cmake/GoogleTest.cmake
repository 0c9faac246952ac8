# CMake's GoogleTest module, but gtest_discover_tests(<program> [PROPERTIES ...]) adds the whole
# program as one test, run under Wine through CMAKE_CROSSCOMPILING_EMULATOR: one Wine start per
# program instead of one per test case.
include(${CMAKE_ROOT}/Modules/GoogleTest.cmake)

function(gtest_discover_tests target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "PROPERTIES")
  add_test(NAME ${target} COMMAND ${target})
  if(arg_PROPERTIES)
    set_tests_properties(${target} PROPERTIES ${arg_PROPERTIES})
  endif()
endfunction()
