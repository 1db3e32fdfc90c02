# Native build: the logic on the simulated Windows machine, and every unit test.
include(${CMAKE_SOURCE_DIR}/cmake/platform_sim.cmake)

# The fuzz preset builds the fuzzers only.
if(USBINST_FUZZ)
  include(${CMAKE_SOURCE_DIR}/tests/fuzz/fuzzers.cmake)
  return()
endif()

find_package(GTest REQUIRED)

collect_sources(TEST_SUPPORT_SOURCES TESTS_DIR_TESTS tests)
file(GLOB CONTRACT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/tests/*.cpp)

add_executable(unit_tests ${LOGIC_TESTS} ${SIM_TESTS} ${TESTS_DIR_TESTS} ${TEST_SUPPORT_SOURCES})
target_link_libraries(unit_tests PRIVATE usbinst_logic platform_sim GTest::gtest GTest::gtest_main)
# Test fixtures (tests/data) are read from the repository at test time.
target_compile_definitions(unit_tests PRIVATE USBINST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
include(${CMAKE_SOURCE_DIR}/tests/signed_cd.cmake)
target_compile_definitions(unit_tests PRIVATE USBINST_SIGNED_CD_DIR="${USBINST_SIGNED_CD_DIR}")
add_dependencies(unit_tests signed_cd)
add_test(NAME unit_tests COMMAND unit_tests)

include(${CMAKE_SOURCE_DIR}/tests/realworld/realworld.cmake)
target_include_directories(unit_tests PRIVATE ${REALWORLD_GENERATED})

add_executable(contract_tests ${CONTRACT_TESTS})
target_include_directories(contract_tests PRIVATE ${REALWORLD_GENERATED})
target_link_libraries(contract_tests PRIVATE platform_sim GTest::gtest GTest::gtest_main)
target_compile_definitions(contract_tests PRIVATE USBINST_CONTRACT_SIM=1)
add_test(NAME contract_tests_sim COMMAND contract_tests)

# A benchmark of the removal run on large simulated registries (not a test).
add_executable(removal_bench ${CMAKE_SOURCE_DIR}/bench/removal_bench.cpp
               ${CMAKE_SOURCE_DIR}/tests/sim_test_support.cpp)
target_link_libraries(removal_bench PRIVATE usbinst_logic platform_sim)
# Its smallest size as a check of the run only (the phone's footprint gone,
# every foreign entry kept, no handle open); its times are not judged.
add_test(NAME removal_bench_check COMMAND removal_bench 1000)

# The snapshot comparison of the trace tools and its tests.
include(${CMAKE_SOURCE_DIR}/tests/trace/trace.cmake)

# The removal preview tool and its tests.
include(${CMAKE_SOURCE_DIR}/preview/preview.cmake)
