# The shipped 64-bit program: Debian's MinGW-w64 with win32 threads.
set(USBINST_MINGW_TRIPLE x86_64-w64-mingw32)
set(USBINST_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
