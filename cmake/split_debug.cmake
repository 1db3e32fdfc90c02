# A shipped program leaves the build without its debug information and its
# symbol table, which are more than half its size (the CD carries what the
# build leaves; Windows loads neither). Both are kept beside it as NAME.debug,
# and the program names that file and its checksum (a .gnu_debuglink
# section), so that gdb or addr2line, given the program with the file beside
# it, turn a crash address a user reports into a function and a line. The
# step runs right after the link, so every test runs the stripped program.
function(split_debug_info target debug_name)
  if(NOT CMAKE_OBJCOPY)
    message(FATAL_ERROR "no objcopy for ${CMAKE_CXX_COMPILER}: the shipped programs cannot be "
                        "stripped")
  endif()
  # The program is linked into the build's top folder, where the debug file
  # goes beside it.
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${debug_name}
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${debug_name}
            $<TARGET_FILE:${target}>
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    BYPRODUCTS ${CMAKE_BINARY_DIR}/${debug_name}
    COMMENT "Keeping the debug information of ${target} in ${debug_name}"
    VERBATIM)
endfunction()
