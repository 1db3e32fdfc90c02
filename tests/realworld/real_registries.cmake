# The registries of real machines (registries/*.reg.xz of the real-world
# corpus: HKLM\SYSTEM of Windows XP SP3, 7 SP1 and 10 1709, exported with
# hivexregedit) are decompressed into the build folder when the test program
# is built, never into the repository. Without the corpus or without xz the
# test program is built all the same and its tests skip, saying why.
set(REAL_REGISTRY_DIR ${USBINST_REALWORLD_DIR}/registries)
set(REAL_REGISTRY_OUT ${CMAKE_BINARY_DIR}/realworld/registries)
find_program(USBINST_XZ xz)
set(REAL_REGISTRY_OUTPUTS)
set(REAL_REGISTRY_SKIP "")
if(NOT IS_DIRECTORY ${REAL_REGISTRY_DIR})
  set(REAL_REGISTRY_SKIP "the real-world corpus's registries are absent (${REAL_REGISTRY_DIR})")
elseif(NOT USBINST_XZ)
  set(REAL_REGISTRY_SKIP "xz was not found at build time: the registries in ${REAL_REGISTRY_DIR} could not be decompressed")
else()
  file(GLOB REAL_REGISTRY_FILES ${REAL_REGISTRY_DIR}/*.reg.xz)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${REAL_REGISTRY_DIR})
  foreach(compressed IN LISTS REAL_REGISTRY_FILES)
    get_filename_component(name ${compressed} NAME)
    string(REGEX REPLACE "\\.xz$" "" name "${name}")
    set(output ${REAL_REGISTRY_OUT}/${name})
    # Written under another name first, so that an interrupted build leaves
    # no file that looks whole.
    add_custom_command(OUTPUT ${output}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${REAL_REGISTRY_OUT}
                       COMMAND sh -c "\"$0\" -dc \"$1\" > \"$2.part\" && mv \"$2.part\" \"$2\""
                               ${USBINST_XZ} ${compressed} ${output}
                       DEPENDS ${compressed}
                       COMMENT "Decompressing ${name} of the real-world corpus"
                       VERBATIM)
    list(APPEND REAL_REGISTRY_OUTPUTS ${output})
  endforeach()
endif()
if(REAL_REGISTRY_SKIP)
  message(STATUS "Real-world corpus: ${REAL_REGISTRY_SKIP}; the tests on real registries will be skipped")
endif()
add_custom_target(real_registries DEPENDS ${REAL_REGISTRY_OUTPUTS})

add_executable(real_registry_tests ${CMAKE_SOURCE_DIR}/tests/realworld/real_registries_test.cpp
                                   ${CMAKE_SOURCE_DIR}/tests/sim_test_support.cpp
                                   ${CMAKE_SOURCE_DIR}/tests/driver_cd.cpp)
add_dependencies(real_registry_tests real_registries)
target_include_directories(real_registry_tests PRIVATE ${REALWORLD_GENERATED})
target_link_libraries(real_registry_tests PRIVATE preview_core GTest::gtest GTest::gtest_main)
target_compile_definitions(real_registry_tests PRIVATE
                           USBINST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                           USBINST_REAL_REGISTRY_OUT="${REAL_REGISTRY_OUT}"
                           USBINST_REAL_REGISTRY_SKIP="${REAL_REGISTRY_SKIP}")
add_test(NAME real_registry_tests COMMAND real_registry_tests)
