# The trace tools: trace_snapshot.exe takes a snapshot of a Windows machine's
# registry trees and folders, trace_report (native) compares two snapshots
# against a rules file. The format, the difference and the rules are shared
# code in tests/trace; files ending in _win.cpp call Windows.
set(TRACE_DIR ${CMAKE_SOURCE_DIR}/tests/trace)
set(TRACE_FORMAT_SOURCES ${TRACE_DIR}/snapshot_escape.cpp ${TRACE_DIR}/snapshot_entry.cpp
                         ${TRACE_DIR}/entry_detail.cpp)

if(WIN32)
  add_executable(trace_snapshot ${TRACE_DIR}/trace_snapshot.cpp
                                ${TRACE_DIR}/registry_snapshot_win.cpp
                                ${TRACE_DIR}/folder_snapshot_win.cpp ${TRACE_FORMAT_SOURCES})
  target_include_directories(trace_snapshot PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(trace_snapshot PRIVATE advapi32 kernel32)
  # Makes a registry link key for the test of trace_snapshot under Wine.
  add_executable(make_registry_link ${TRACE_DIR}/make_registry_link.cpp)
  target_link_libraries(make_registry_link PRIVATE advapi32 kernel32)
endif()
