# The tests' tools for running programs under X (tests/support, target vombrel_test_support), for
# every folder that needs them: the SDL host's tests, the end-to-end tests and the benchmarks,
# whichever of them are built. The first to include this adds the library.
#
#   include(VombrelTestSupport)
#   target_link_libraries(<target> PRIVATE vombrel_test_support)
include_guard(GLOBAL)
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${PROJECT_BINARY_DIR}/tests/support)
