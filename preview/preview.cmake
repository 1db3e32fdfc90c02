# The removal preview (native build): what a removal would take from a machine
# described by a snapshot, a registry export or a folder listing, found by
# running the removal on a simulated image of that machine.
collect_sources(PREVIEW_SOURCES PREVIEW_TESTS preview)
list(FILTER PREVIEW_SOURCES EXCLUDE REGEX "/preview/preview_main\\.cpp$")
# Files ending in _win.cpp are the Windows build's alone (the live machine's
# reader); that build (cmake/preview_windows.cmake) makes the program only.
set(PREVIEW_WIN_SOURCES ${PREVIEW_SOURCES})
list(FILTER PREVIEW_WIN_SOURCES INCLUDE REGEX "_win\\.cpp$")
list(FILTER PREVIEW_SOURCES EXCLUDE REGEX "_win\\.cpp$")
if(WIN32)
  set(PREVIEW_TESTS)
else()
  set(PREVIEW_WIN_SOURCES)
endif()
if(PREVIEW_SOURCES)
  add_library(preview_core STATIC ${PREVIEW_SOURCES})
  target_include_directories(preview_core PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(preview_core PUBLIC usbinst_logic platform_sim trace_common)
  if(EXISTS ${CMAKE_SOURCE_DIR}/preview/preview_main.cpp)
    add_executable(usbinst_preview ${CMAKE_SOURCE_DIR}/preview/preview_main.cpp
                                   ${PREVIEW_WIN_SOURCES})
    target_link_libraries(usbinst_preview PRIVATE preview_core)
  endif()
  if(PREVIEW_TESTS)
    add_executable(preview_tests ${PREVIEW_TESTS} ${CMAKE_SOURCE_DIR}/tests/sim_test_support.cpp
                                 ${CMAKE_SOURCE_DIR}/tests/run_checks.cpp
                                 ${CMAKE_SOURCE_DIR}/tests/driver_cd.cpp)
    target_link_libraries(preview_tests PRIVATE preview_core GTest::gtest GTest::gtest_main)
    target_compile_definitions(preview_tests PRIVATE USBINST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                               USBINST_SIGNED_CD_DIR="${USBINST_SIGNED_CD_DIR}")
    add_dependencies(preview_tests signed_cd)
    add_test(NAME preview_tests COMMAND preview_tests)
    # The removal and the preview on the registries of real machines.
    include(${CMAKE_SOURCE_DIR}/tests/realworld/real_registries.cmake)
  endif()
  # The preview of a registry the size of a real SYSTEM hive (a benchmark, not a test).
  add_executable(preview_bench ${CMAKE_SOURCE_DIR}/bench/preview_bench.cpp
                               ${CMAKE_SOURCE_DIR}/tests/sim_test_support.cpp)
  target_link_libraries(preview_bench PRIVATE preview_core)
endif()
