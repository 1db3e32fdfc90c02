# Embeds the other makers' INF files of tests/data/real/infs in a generated
# source, real_infs.inc, so that the tests on the simulated machine and the
# contract tests under Wine read the very same bytes without reaching for the
# repository at run time. Each entry: { "file name", bytes, size }.
set(REAL_INF_DIR ${CMAKE_SOURCE_DIR}/tests/data/real/infs)
set(REAL_INF_GENERATED ${CMAKE_BINARY_DIR}/generated)
file(GLOB REAL_INF_FILES ${REAL_INF_DIR}/*.inf)
list(SORT REAL_INF_FILES)
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
file(CONFIGURE OUTPUT ${REAL_INF_GENERATED}/real_infs.inc CONTENT "${REAL_INF_ENTRIES}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${REAL_INF_DIR})
