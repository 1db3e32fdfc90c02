# The shipped programs, each configured and built as a project of its own with
# the win32-threads compilers, then copied beside the test programs:
#  - windows-x64: usbinst.exe, the 64-bit program, which the x64 tests run;
#  - windows-x86: usbinst.exe, the 32-bit program the CD starts, and
#    usbinst64.exe, the 64-bit program it hands over to on 64-bit Windows;
#    and usbinst_preview.exe, the removal preview for Windows XP and later
#    (the posix-threads compilers would link in winpthread, whose imports,
#    GetTickCount64 among them, XP lacks).
# The target named after each file builds it; it runs the inner build on every
# build of this one, which is a quick no-op when nothing changed.
include(ExternalProject)

# OPTION selects what the inner build makes (cmake/windows.cmake); it makes
# INNER_FILE, stripped, and FILE.debug, its debug information
# (cmake/split_debug.cmake), both copied here. The code is compiled with line
# tables and function names (-g1; GCC's code does not depend on -g), so that
# the debug file turns a crash address into a function and a line.
function(add_inner_program target toolchain option inner_file file)
  set(inner ${CMAKE_BINARY_DIR}/shipped/${target})
  ExternalProject_Add(${target}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${inner}
    CMAKE_GENERATOR Ninja
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/${toolchain}
               -DCMAKE_BUILD_TYPE=Release -D${option}=ON
               -DUSBINST_WERROR=${USBINST_WERROR} -DUSBINST_SHIPPED_NAME=${file}
               -DCMAKE_CXX_FLAGS=-g1
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${inner}/${inner_file} ${inner}/${file}.debug
    INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different ${inner}/${inner_file}
                    ${CMAKE_BINARY_DIR}/${file}
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${inner}/${file}.debug
                    ${CMAKE_BINARY_DIR}/${file}.debug
    USES_TERMINAL_BUILD ON)
endfunction()

function(add_shipped_program target toolchain file)
  add_inner_program(${target} ${toolchain} USBINST_SHIPPED_ONLY usbinst.exe ${file})
endfunction()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_shipped_program(usbinst mingw-x86_64-shipped.cmake usbinst.exe)
else()
  add_shipped_program(usbinst mingw-i686-shipped.cmake usbinst.exe)
  add_shipped_program(usbinst64 mingw-x86_64-shipped.cmake usbinst64.exe)
  if(EXISTS ${CMAKE_SOURCE_DIR}/preview/preview_main.cpp)
    add_inner_program(usbinst_preview mingw-i686-shipped.cmake USBINST_PREVIEW_ONLY
                      usbinst_preview.exe usbinst_preview.exe)
  endif()
endif()
