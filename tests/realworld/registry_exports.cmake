# The registries of real machines (registries/*.reg.xz of the real-world
# corpus: HKLM\SYSTEM of Windows XP SP3, 7 SP1 and 10 1709, exported with
# hivexregedit) are decompressed into the build folder when a test program
# that reads them is built (target real_registries), never into the
# repository. Without the corpus or without xz the test programs are built
# all the same and their tests skip, saying why (REAL_REGISTRY_SKIP).
include_guard(GLOBAL)
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
