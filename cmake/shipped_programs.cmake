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

# OPTION selects what the inner build makes (cmake/windows.cmake) in INNER_DIR:
# INNER_FILE, stripped, copied here as FILE, and SHIPPED.debug, its debug
# information (cmake/split_debug.cmake), copied beside it; SHIPPED is the name
# the program ships with, which its debug link names. The code is compiled
# with line tables and function names (-g1; GCC's code does not depend on
# -g), so that the debug file turns a crash address into a function and a
# line.
function(add_inner_program target toolchain option inner_dir inner_file file shipped)
  ExternalProject_Add(${target}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${inner_dir}
    CMAKE_GENERATOR Ninja
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/${toolchain}
               -DCMAKE_BUILD_TYPE=Release -D${option}=ON
               -DUSBINST_WERROR=${USBINST_WERROR} -DUSBINST_SHIPPED_NAME=${shipped}
               -DCMAKE_CXX_FLAGS=-g1
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${inner_dir}/${inner_file} ${inner_dir}/${shipped}.debug
    INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different ${inner_dir}/${inner_file}
                    ${CMAKE_BINARY_DIR}/${file}
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${inner_dir}/${shipped}.debug
                    ${CMAKE_BINARY_DIR}/${shipped}.debug
    USES_TERMINAL_BUILD ON)
endfunction()

# The 64-bit program is the same build in both presets (the windows-x64
# preset tests it as usbinst.exe, the windows-x86 preset ships it as
# usbinst64.exe beside the 32-bit one): one inner build beside the presets'
# build folders serves both, so the test command compiles it once. Two builds
# of presets that share it must not run at the same time.
get_filename_component(USBINST_BUILD_PARENT ${CMAKE_BINARY_DIR} DIRECTORY)
set(USBINST_SHIPPED64_DIR ${USBINST_BUILD_PARENT}/shipped-x86_64 CACHE PATH
    "inner build of the 64-bit shipped program, shared by the Windows presets")

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_inner_program(usbinst mingw-x86_64-shipped.cmake USBINST_SHIPPED_ONLY
                    ${USBINST_SHIPPED64_DIR} usbinst.exe usbinst.exe usbinst64.exe)
else()
  add_inner_program(usbinst mingw-i686-shipped.cmake USBINST_SHIPPED_ONLY
                    ${CMAKE_BINARY_DIR}/shipped/usbinst usbinst.exe usbinst.exe usbinst.exe)
  add_inner_program(usbinst64 mingw-x86_64-shipped.cmake USBINST_SHIPPED_ONLY
                    ${USBINST_SHIPPED64_DIR} usbinst.exe usbinst64.exe usbinst64.exe)
  if(EXISTS ${CMAKE_SOURCE_DIR}/preview/preview_main.cpp)
    add_inner_program(usbinst_preview mingw-i686-shipped.cmake USBINST_PREVIEW_ONLY
                      ${CMAKE_BINARY_DIR}/shipped/usbinst_preview usbinst_preview.exe
                      usbinst_preview.exe usbinst_preview.exe)
  endif()
endif()
