# Other people's data (real machines' registries, other makers' INF files)
# is never part of this repository: it lives in a folder beside it, by
# default ../shared/realworld, with its provenance and licences. The tests
# that use it read it from there; where it is absent they skip and say so.
set(USBINST_REALWORLD_DIR "${CMAKE_SOURCE_DIR}/../shared/realworld" CACHE PATH
    "Folder of the real-world corpus (registries/, infs/); tests that need it skip without it")
get_filename_component(USBINST_REALWORLD_DIR "${USBINST_REALWORLD_DIR}" ABSOLUTE)
set(REALWORLD_GENERATED ${CMAKE_BINARY_DIR}/generated)

# The corpus's INF files (INF files and the .inx and .inf.in templates that
# Setup reads as INF files) are embedded in a generated source,
# real_infs.inc, so that the tests on the simulated machine and the contract
# tests under Wine read the very same bytes without reaching for the folder
# at run time. Each entry: { "file name", bytes, size }.
set(REAL_INF_DIR ${USBINST_REALWORLD_DIR}/infs)
set(REAL_INF_FILES)
if(IS_DIRECTORY ${REAL_INF_DIR})
  file(GLOB REAL_INF_FILES ${REAL_INF_DIR}/*.inf ${REAL_INF_DIR}/*.inx ${REAL_INF_DIR}/*.inf.in)
  list(SORT REAL_INF_FILES)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${REAL_INF_DIR})
else()
  message(STATUS "Real-world corpus: ${REAL_INF_DIR} is absent; the tests of other makers' INF files will be skipped")
endif()
set(REAL_INF_ENTRIES "")
foreach(path IN LISTS REAL_INF_FILES)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
  get_filename_component(name ${path} NAME)
  file(READ ${path} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "(..)" "\\\\x\\1" escaped "${hex}")
  string(APPEND REAL_INF_ENTRIES "{\"${name}\", \"${escaped}\", ${size}},\n")
endforeach()
file(CONFIGURE OUTPUT ${REALWORLD_GENERATED}/real_infs.inc CONTENT "${REAL_INF_ENTRIES}")
file(CONFIGURE OUTPUT ${REALWORLD_GENERATED}/realworld_dir.h
     CONTENT "#define USBINST_REALWORLD_DIR \"${USBINST_REALWORLD_DIR}\"\n")
