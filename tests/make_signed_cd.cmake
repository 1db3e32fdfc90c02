# Makes the signed variant of the test driver CD from the unsigned one:
#
#   cmake -DSOURCE=tests/data/cd -DOUTPUT=build/x/cd-signed -DINFS=a.inf,b.inf -P make_signed_cd.cmake
#
# A copy of SOURCE in OUTPUT in which each INF of INFS (the ones handed to the
# system's INF store, in SOURCE/Drivers) names a catalog of its own stem in
# [Version] (CatalogFile=KV6bus.cat, one undecorated entry: one catalog covers
# the package's 32-bit and 64-bit files, as a package signed for both
# platforms has it) and that catalog lies beside it. The catalog is a marked
# stand-in: nothing here can sign, and neither the simulated machine nor Wine
# reads a catalog's content. The other files are copied unchanged.
foreach(required SOURCE OUTPUT INFS)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "make_signed_cd: ${required} not given")
  endif()
endforeach()

string(REPLACE "," ";" INFS "${INFS}")
file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT})
file(COPY ${SOURCE}/ DESTINATION ${OUTPUT})

foreach(inf IN LISTS INFS)
  set(path ${OUTPUT}/Drivers/${inf})
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "make_signed_cd: ${SOURCE}/Drivers/${inf} does not exist")
  endif()
  get_filename_component(stem ${inf} NAME_WE)
  file(READ ${path} text)
  # The catalog line goes right after the Signature line of [Version].
  string(REGEX MATCH "Signature=\"[^\"]*\"\r?\n" signature "${text}")
  if(signature STREQUAL "")
    message(FATAL_ERROR "make_signed_cd: ${inf} has no Signature line")
  endif()
  string(REGEX MATCH "\r?\n$" newline "${signature}")
  string(REPLACE "${signature}" "${signature}CatalogFile=${stem}.cat${newline}" text "${text}")
  file(WRITE ${path} "${text}")
  file(WRITE ${OUTPUT}/Drivers/${stem}.cat
       "ORVEX driver installer test fixture: stand-in catalog of ${inf}, not signed.\r\n")
endforeach()
file(WRITE ${OUTPUT}.stamp "")
