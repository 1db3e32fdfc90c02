# The installer as it ships: a GUI program with narrow (ANSI) Windows calls,
# built by the win32-threads compilers (cmake/mingw-*-shipped.cmake).
#
# The PE header's operating-system and subsystem versions are set here, so
# that a change of the toolchain's defaults cannot raise them: Windows refuses
# to load a program that asks for a newer version than its own. 4.0 lets the
# 32-bit program load on Windows 95 and NT 4; 64-bit Windows starts at 5.2
# (XP x64 and Server 2003 x64).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(USBINST_PE_VERSION_MAJOR 5)
  set(USBINST_PE_VERSION_MINOR 2)
else()
  set(USBINST_PE_VERSION_MAJOR 4)
  set(USBINST_PE_VERSION_MINOR 0)
endif()
set(USBINST_PE_VERSION ${USBINST_PE_VERSION_MAJOR}.${USBINST_PE_VERSION_MINOR})

# --tsaware marks the program Terminal Server aware (DllCharacteristics
# 0x8000): on a Terminal Server in application mode Windows then gives it the
# shared Windows folder, not a private one of the user, and no per-user
# registry or INI mapping (install/windows_folders.cpp asks for the shared
# folder by name as well).
add_executable(usbinst WIN32 ${CMAKE_SOURCE_DIR}/app/main_win.cpp ${USBINST_RC})
target_link_libraries(usbinst PRIVATE usbinst_logic platform_win32)
target_link_options(usbinst PRIVATE
  -Wl,--subsystem,windows:${USBINST_PE_VERSION}
  -Wl,--major-os-version,${USBINST_PE_VERSION_MAJOR}
  -Wl,--minor-os-version,${USBINST_PE_VERSION_MINOR}
  -Wl,--major-subsystem-version,${USBINST_PE_VERSION_MAJOR}
  -Wl,--minor-subsystem-version,${USBINST_PE_VERSION_MINOR}
  -Wl,--tsaware)

# Stripped, its debug information beside it under the name it ships with
# (usbinst64.exe is this build's usbinst.exe).
set(USBINST_SHIPPED_NAME usbinst.exe CACHE STRING "the name the program ships with")
include(${CMAKE_SOURCE_DIR}/cmake/split_debug.cmake)
split_debug_info(usbinst ${USBINST_SHIPPED_NAME}.debug)
