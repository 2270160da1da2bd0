# The monitor fixture, which defines virtual monitors on an X server, and the
# layout code it shares with the tests. Included by the top level whether or
# not the tests are built: the demonstration (scripts/demo.sh) runs it too.
find_package(X11 REQUIRED COMPONENTS Xrandr)

set(harness ${CMAKE_SOURCE_DIR}/tests/harness)
add_library(kestrove_monitor_layout STATIC ${harness}/monitor_layout.cpp
                                           ${harness}/randr_monitor.cpp)
target_include_directories(kestrove_monitor_layout PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(kestrove_monitor_layout PUBLIC X11::X11 X11::Xrandr)

add_executable(kestrove_monitor_fixture ${harness}/monitor_fixture.cpp)
target_link_libraries(kestrove_monitor_fixture PRIVATE kestrove_monitor_layout X11::X11
                                                       X11::Xrandr)
# Built where the scripts and the README name it.
set_target_properties(kestrove_monitor_fixture PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/harness)
