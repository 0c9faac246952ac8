# The helpers that start a program and watch its window on a real X display: the end-to-end
# tests and the process benchmark (bench/) both use them, whichever of the two is built.
include_guard(GLOBAL)
find_package(X11 REQUIRED)
add_library(vombrel_x11_probe STATIC
  ${CMAKE_CURRENT_LIST_DIR}/child_process.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_probe.cpp
)
target_include_directories(vombrel_x11_probe PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vombrel_x11_probe PRIVATE X11::X11)
