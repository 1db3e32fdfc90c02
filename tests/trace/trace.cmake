# The trace tools: trace_snapshot.exe takes a snapshot of a Windows machine's
# registry trees and folders, trace_report (native) compares two snapshots
# against a rules file. The format, the difference and the rules are shared
# code in tests/trace; files ending in _win.cpp call Windows.
set(TRACE_DIR ${CMAKE_SOURCE_DIR}/tests/trace)
set(TRACE_FORMAT_SOURCES ${TRACE_DIR}/snapshot_escape.cpp ${TRACE_DIR}/snapshot_entry.cpp
                         ${TRACE_DIR}/entry_detail.cpp)
set(TRACE_COMPARE_SOURCES ${TRACE_FORMAT_SOURCES} ${TRACE_DIR}/snapshot_diff.cpp
                          ${TRACE_DIR}/trace_rules.cpp ${TRACE_DIR}/trace_findings.cpp
                          ${TRACE_DIR}/report_writer.cpp ${TRACE_DIR}/trace_report_run.cpp)

# The comparison code, for trace_report and the removal preview; the preview's
# Windows build (cmake/preview_windows.cmake) also takes the live machine's
# registry and folders as trace_snapshot.exe does.
if(NOT WIN32 OR USBINST_PREVIEW_ONLY)
  add_library(trace_common STATIC ${TRACE_COMPARE_SOURCES})
  target_include_directories(trace_common PUBLIC ${CMAKE_SOURCE_DIR})
endif()
if(USBINST_PREVIEW_ONLY)
  add_library(trace_snapshot_win STATIC ${TRACE_DIR}/registry_snapshot_win.cpp
                                        ${TRACE_DIR}/folder_snapshot_win.cpp)
  target_link_libraries(trace_snapshot_win PUBLIC trace_common advapi32 kernel32)
  return()
endif()

if(WIN32)
  add_executable(trace_snapshot ${TRACE_DIR}/trace_snapshot.cpp
                                ${TRACE_DIR}/registry_snapshot_win.cpp
                                ${TRACE_DIR}/folder_snapshot_win.cpp ${TRACE_FORMAT_SOURCES})
  target_include_directories(trace_snapshot PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(trace_snapshot PRIVATE advapi32 kernel32)
  # Makes a link key and an unreadable key for the test of trace_snapshot under Wine.
  add_executable(trace_fixture ${TRACE_DIR}/trace_fixture.cpp)
  target_link_libraries(trace_fixture PRIVATE advapi32 kernel32)

  # trace_report runs on the build machine: the Wine test compares its
  # snapshots with a copy built by the build machine's compiler.
  find_program(USBINST_HOST_CXX NAMES c++ g++ clang++)
  set(TRACE_REPORT_SOURCES ${TRACE_COMPARE_SOURCES} ${TRACE_DIR}/trace_report.cpp)
  file(GLOB TRACE_HEADERS CONFIGURE_DEPENDS ${TRACE_DIR}/*.h)
  set(TRACE_REPORT_HOST ${CMAKE_BINARY_DIR}/host/trace_report)
  add_custom_command(OUTPUT ${TRACE_REPORT_HOST}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
                     COMMAND ${USBINST_HOST_CXX} -std=c++20 -O1 -Wall -Wextra -Wshadow -Werror
                             -I${CMAKE_SOURCE_DIR} ${TRACE_REPORT_SOURCES} -o ${TRACE_REPORT_HOST}
                     DEPENDS ${TRACE_REPORT_SOURCES} ${TRACE_HEADERS}
                     COMMENT "Building trace_report for the build machine")
  add_custom_target(trace_report_host ALL DEPENDS ${TRACE_REPORT_HOST})
  # changes_check, for the build machine too: compares the removal preview's
  # predicted changes with the real difference of two snapshots.
  set(CHANGES_CHECK_SOURCES ${TRACE_FORMAT_SOURCES} ${TRACE_DIR}/snapshot_diff.cpp
                            ${TRACE_DIR}/trace_rules.cpp ${TRACE_DIR}/changes_check.cpp)
  set(CHANGES_CHECK_HOST ${CMAKE_BINARY_DIR}/host/changes_check)
  add_custom_command(OUTPUT ${CHANGES_CHECK_HOST}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
                     COMMAND ${USBINST_HOST_CXX} -std=c++20 -O1 -Wall -Wextra -Wshadow -Werror
                             -I${CMAKE_SOURCE_DIR} ${CHANGES_CHECK_SOURCES} -o ${CHANGES_CHECK_HOST}
                     DEPENDS ${CHANGES_CHECK_SOURCES} ${TRACE_HEADERS}
                     COMMENT "Building changes_check for the build machine")
  add_custom_target(changes_check_host ALL DEPENDS ${CHANGES_CHECK_HOST})
else()
  add_executable(trace_report ${TRACE_DIR}/trace_report.cpp)
  target_link_libraries(trace_report PRIVATE trace_common)

  file(GLOB TRACE_TESTS CONFIGURE_DEPENDS ${TRACE_DIR}/*_test.cpp)
  add_executable(trace_tests ${TRACE_TESTS})
  target_link_libraries(trace_tests PRIVATE trace_common GTest::gtest GTest::gtest_main)
  add_test(NAME trace_tests COMMAND trace_tests)
endif()
