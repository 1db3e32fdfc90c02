# Windows build (MinGW-w64): the real executable and the platform contract
# tests, both statically linked; the tests run under Wine.
enable_language(RC)

# Every executable imports only system DLLs: the C++ run-time, libgcc and
# (for the test programs) winpthread are linked in.
add_link_options(-static -static-libgcc -static-libstdc++)

# The removal preview's own build: the logic on the simulated machine
# (cmake/preview_windows.cmake), without the platform layer below.
if(USBINST_PREVIEW_ONLY)
  include(${CMAKE_SOURCE_DIR}/cmake/preview_windows.cmake)
  return()
endif()

# The platform layer: straight calls into Windows. Setup API functions are
# looked up at run time (setupapi.dll is missing on Windows 95 and lacks the
# device functions on NT 4), so setupapi is not linked; nor are comctl32 and
# version, whose functions are fetched from the system folder's copies, so
# that no DLL beside the program can stand in for them
# (platform/system_library.cpp).
collect_sources(WIN32_PLATFORM_SOURCES WIN32_PLATFORM_TESTS platform/win32)
add_library(platform_win32 STATIC ${WIN32_PLATFORM_SOURCES}
                                  ${CMAKE_SOURCE_DIR}/platform/system_library.cpp)
target_include_directories(platform_win32 PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(platform_win32 PUBLIC advapi32 user32 gdi32 kernel32)
target_link_libraries(usbinst_logic PUBLIC platform_win32)

# The resource script pulls in the string table, the version header and the
# manifest; windres reports no dependencies, so they are listed here.
set(USBINST_RC ${CMAKE_SOURCE_DIR}/resources/usbinst.rc)
file(GLOB USBINST_RC_INPUTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.h
     ${CMAKE_SOURCE_DIR}/resources/*.inc ${CMAKE_SOURCE_DIR}/resources/*.manifest
     ${CMAKE_SOURCE_DIR}/resources/*.ico)
set_source_files_properties(${USBINST_RC} PROPERTIES OBJECT_DEPENDS "${USBINST_RC_INPUTS}")

# The shipped program is built in a build of its own (cmake/shipped.cmake);
# everything below is the test build around it.
if(USBINST_SHIPPED_ONLY)
  include(${CMAKE_SOURCE_DIR}/cmake/shipped.cmake)
  return()
endif()
include(${CMAKE_SOURCE_DIR}/cmake/shipped_programs.cmake)

# GoogleTest, compiled from the distribution's sources with the cross compiler.
set(USBINST_GTEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest source folder")
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(${USBINST_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -Wno-error)
target_compile_options(gtest_main PRIVATE -Wno-error)

# The contract tests carry the installer's resources, so that LoadStringA
# finds the same string table as in usbinst.exe.
file(GLOB CONTRACT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/tests/*.cpp)
include(${CMAKE_SOURCE_DIR}/tests/realworld/realworld.cmake)
add_executable(contract_tests ${CONTRACT_TESTS} ${USBINST_RC})
target_include_directories(contract_tests PRIVATE ${CMAKE_SOURCE_DIR} ${REALWORLD_GENERATED})
target_link_libraries(contract_tests PRIVATE platform_win32 gtest gtest_main)

# Reads the string table, dialog templates, icon, version information and
# manifest back out of the built usbinst.exe, which it finds beside itself.
add_executable(string_table_check ${CMAKE_SOURCE_DIR}/tests/wine/string_table_check.cpp
                                  ${CMAKE_SOURCE_DIR}/tests/wine/dialog_template_check.cpp
                                  ${CMAKE_SOURCE_DIR}/resources/string_table.cpp)
target_include_directories(string_table_check PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(string_table_check PRIVATE gtest gtest_main version user32 kernel32)
add_dependencies(string_table_check usbinst)

# Runs usbinst.exe under Wine and answers its dialogs.
add_executable(answer_dialogs ${CMAKE_SOURCE_DIR}/tests/wine/answer_dialogs.cpp)
target_link_libraries(answer_dialogs PRIVATE user32 kernel32)
add_dependencies(answer_dialogs usbinst)

# The driver installer on the real platform layer, on the test driver CD.
add_executable(driver_install_wine ${CMAKE_SOURCE_DIR}/tests/wine/driver_install_wine.cpp
                                   ${USBINST_RC})
target_link_libraries(driver_install_wine PRIVATE usbinst_logic platform_win32 gtest)

include(${CMAKE_SOURCE_DIR}/tests/trace/trace.cmake)
# A benchmark of the removal run on Wine's registry (not a test): scripts/bench.sh
# runs it under answer_dialogs, which must sit beside it.
add_executable(removal_bench_wine ${CMAKE_SOURCE_DIR}/bench/removal_bench_wine.cpp ${USBINST_RC})
target_link_libraries(removal_bench_wine PRIVATE usbinst_logic platform_win32)
add_dependencies(removal_bench_wine answer_dialogs)

include(${CMAKE_SOURCE_DIR}/tests/signed_cd.cmake)
include(${CMAKE_SOURCE_DIR}/tests/wine/wine_tests.cmake)
