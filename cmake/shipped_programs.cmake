# The shipped programs, each configured and built as a project of its own with
# the win32-threads compilers, then copied beside the test programs:
#  - windows-x64: usbinst.exe, the 64-bit program, which the x64 tests run;
#  - windows-x86: usbinst.exe, the 32-bit program the CD starts, and
#    usbinst64.exe, the 64-bit program it hands over to on 64-bit Windows.
# The target named after each file builds it; it runs the inner build on every
# build of this one, which is a quick no-op when nothing changed.
include(ExternalProject)

function(add_shipped_program target toolchain file)
  set(inner ${CMAKE_BINARY_DIR}/shipped/${target})
  ExternalProject_Add(${target}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${inner}
    CMAKE_GENERATOR Ninja
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/${toolchain}
               -DCMAKE_BUILD_TYPE=Release -DUSBINST_SHIPPED_ONLY=ON
               -DUSBINST_WERROR=${USBINST_WERROR}
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${inner}/usbinst.exe
    INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different ${inner}/usbinst.exe
                    ${CMAKE_BINARY_DIR}/${file}
    USES_TERMINAL_BUILD ON)
endfunction()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_shipped_program(usbinst mingw-x86_64-shipped.cmake usbinst.exe)
else()
  add_shipped_program(usbinst mingw-i686-shipped.cmake usbinst.exe)
  add_shipped_program(usbinst64 mingw-x86_64-shipped.cmake usbinst64.exe)
endif()
