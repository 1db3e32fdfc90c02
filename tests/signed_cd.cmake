# The signed variant of the test driver CD (tests/make_signed_cd.cmake), made
# in the build tree whenever the unsigned CD changes: build/<preset>/cd-signed.
# The simulated machine's tests load it (LoadDriverCd with CdVariant::Signed),
# the Wine round trips copy it into their prefixes.
set(USBINST_SIGNED_CD_DIR ${CMAKE_BINARY_DIR}/cd-signed)
set(USBINST_SIGNED_CD_INFS KV6bus.inf KV6obx2.inf KV6sdm2.inf KV6mdm2.inf)
file(GLOB_RECURSE USBINST_CD_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/data/cd/*)
string(REPLACE ";" "," USBINST_SIGNED_CD_INF_ARG "${USBINST_SIGNED_CD_INFS}")
add_custom_command(
  OUTPUT ${USBINST_SIGNED_CD_DIR}.stamp
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}/tests/data/cd
          -DOUTPUT=${USBINST_SIGNED_CD_DIR} "-DINFS=${USBINST_SIGNED_CD_INF_ARG}"
          -P ${CMAKE_SOURCE_DIR}/tests/make_signed_cd.cmake
  DEPENDS ${USBINST_CD_FILES} ${CMAKE_SOURCE_DIR}/tests/make_signed_cd.cmake
  COMMENT "Making the signed test driver CD"
  VERBATIM)
add_custom_target(signed_cd ALL DEPENDS ${USBINST_SIGNED_CD_DIR}.stamp)
