# The removal and the preview on the registries of real machines, on the
# simulated machine; the exports come decompressed (registry_exports.cmake).
include(${CMAKE_SOURCE_DIR}/tests/realworld/registry_exports.cmake)
add_executable(real_registry_tests ${CMAKE_SOURCE_DIR}/tests/realworld/real_registries_test.cpp
                                   ${CMAKE_SOURCE_DIR}/tests/sim_test_support.cpp
                                   ${CMAKE_SOURCE_DIR}/tests/driver_cd.cpp)
add_dependencies(real_registry_tests real_registries signed_cd)
target_include_directories(real_registry_tests PRIVATE ${REALWORLD_GENERATED})
target_link_libraries(real_registry_tests PRIVATE preview_core GTest::gtest GTest::gtest_main)
target_compile_definitions(real_registry_tests PRIVATE
                           USBINST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                           USBINST_SIGNED_CD_DIR="${USBINST_SIGNED_CD_DIR}"
                           USBINST_REAL_REGISTRY_OUT="${REAL_REGISTRY_OUT}"
                           USBINST_REAL_REGISTRY_SKIP="${REAL_REGISTRY_SKIP}")
add_test(NAME real_registry_tests COMMAND real_registry_tests)
