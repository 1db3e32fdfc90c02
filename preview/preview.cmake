# The removal preview: what a removal would take from a machine described by a
# snapshot, a registry export or a folder listing (and, in the Windows build,
# by the live machine), found by running the removal on a simulated image of
# that machine. Files ending in _win.cpp are the Windows build's alone.
collect_sources(PREVIEW_SOURCES PREVIEW_TESTS preview)
list(FILTER PREVIEW_SOURCES EXCLUDE REGEX "/preview/preview_main\\.cpp$")
set(PREVIEW_WIN_SOURCES ${PREVIEW_SOURCES})
list(FILTER PREVIEW_WIN_SOURCES INCLUDE REGEX "_win\\.cpp$")
list(FILTER PREVIEW_SOURCES EXCLUDE REGEX "_win\\.cpp$")
if(NOT PREVIEW_SOURCES)
  return()
endif()
add_library(preview_core STATIC ${PREVIEW_SOURCES})
target_include_directories(preview_core PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(preview_core PUBLIC usbinst_logic platform_sim trace_common)
if(NOT EXISTS ${CMAKE_SOURCE_DIR}/preview/preview_main.cpp)
  return()
endif()
add_executable(usbinst_preview ${CMAKE_SOURCE_DIR}/preview/preview_main.cpp ${PREVIEW_WIN_SOURCES})
target_link_libraries(usbinst_preview PRIVATE preview_core)

if(WIN32)
  # A console program that loads on Windows XP and later (the live machine is
  # read with XP's calls): the PE header asks for 5.1, and 5.2 for the 64-bit
  # build, the first 64-bit Windows.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(PREVIEW_PE_MINOR 2)
  else()
    set(PREVIEW_PE_MINOR 1)
  endif()
  target_link_libraries(usbinst_preview PRIVATE trace_snapshot_win)
  target_link_options(usbinst_preview PRIVATE
    -Wl,--subsystem,console:5.${PREVIEW_PE_MINOR}
    -Wl,--major-os-version,5 -Wl,--minor-os-version,${PREVIEW_PE_MINOR}
    -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,${PREVIEW_PE_MINOR})
  return()
endif()

if(PREVIEW_TESTS)
  add_executable(preview_tests ${PREVIEW_TESTS} ${CMAKE_SOURCE_DIR}/tests/sim_test_support.cpp
                               ${CMAKE_SOURCE_DIR}/tests/run_checks.cpp)
  target_link_libraries(preview_tests PRIVATE preview_core GTest::gtest GTest::gtest_main)
  target_compile_definitions(preview_tests PRIVATE USBINST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_test(NAME preview_tests COMMAND preview_tests)
endif()
