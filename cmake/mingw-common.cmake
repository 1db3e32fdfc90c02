# Shared part of the MinGW-w64 toolchain files; USBINST_MINGW_TRIPLE names the
# target and USBINST_MINGW_THREADS the compilers' thread model:
#  - posix (the default) for the test programs: GoogleTest needs std::mutex,
#    which the win32-model compilers of this GCC generation lack;
#  - win32 for the shipped program: the posix model links in winpthread,
#    which imports kernel32 functions that Windows 95, NT 4 and XP lack
#    (GetTickCount64, AddVectoredExceptionHandler, TryEnterCriticalSection...).
# The plain compiler names are the fallback on distributions without suffixes.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${USBINST_MINGW_TRIPLE})
if(NOT USBINST_MINGW_THREADS)
  set(USBINST_MINGW_THREADS posix)
endif()

find_program(USBINST_MINGW_CXX
             NAMES ${USBINST_MINGW_TRIPLE}-g++-${USBINST_MINGW_THREADS} ${USBINST_MINGW_TRIPLE}-g++
             REQUIRED)
find_program(USBINST_MINGW_CC
             NAMES ${USBINST_MINGW_TRIPLE}-gcc-${USBINST_MINGW_THREADS} ${USBINST_MINGW_TRIPLE}-gcc
             REQUIRED)
find_program(USBINST_MINGW_RC NAMES ${USBINST_MINGW_TRIPLE}-windres REQUIRED)
find_program(USBINST_MINGW_OBJDUMP NAMES ${USBINST_MINGW_TRIPLE}-objdump REQUIRED)

set(CMAKE_CXX_COMPILER ${USBINST_MINGW_CXX})
set(CMAKE_C_COMPILER ${USBINST_MINGW_CC})
set(CMAKE_RC_COMPILER ${USBINST_MINGW_RC})
set(CMAKE_OBJDUMP ${USBINST_MINGW_OBJDUMP})

set(CMAKE_FIND_ROOT_PATH /usr/${USBINST_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
