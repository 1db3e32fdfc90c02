# The removal preview as a Windows program, configured and built as a project
# of its own (cmake/shipped_programs.cmake): it runs the installer's logic on
# the simulated machine, as the native preview does, so this build links the
# logic with platform/sim and never with platform/win32. Only --live reads
# the machine the program runs on (preview/*_win.cpp).
#
# Optimized with -O1: at -O2 and -O3, GCC 12's inlining makes -Wrestrict and
# -Warray-bounds report copies of 2 GB that overlap themselves, or past the
# end of a vector that is being grown, in the std::string and std::vector code
# of the simulated machine (known false positives: GCC bug 105329 and its
# kin). -O1 keeps every warning on and an error, and the preview fast enough.
set(CMAKE_CXX_FLAGS_RELEASE "-O1 -DNDEBUG")
include(${CMAKE_SOURCE_DIR}/cmake/platform_sim.cmake)
include(${CMAKE_SOURCE_DIR}/tests/trace/trace.cmake)
include(${CMAKE_SOURCE_DIR}/preview/preview.cmake)

# A console program that loads on Windows XP and later (the live machine is
# read with XP's calls): the PE header asks for 5.1, and 5.2 for a 64-bit
# build, the first 64-bit Windows.
if(TARGET usbinst_preview)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(PREVIEW_PE_MINOR 2)
  else()
    set(PREVIEW_PE_MINOR 1)
  endif()
  target_link_libraries(usbinst_preview PRIVATE trace_snapshot_win)
  target_link_options(usbinst_preview PRIVATE
    -Wl,--subsystem,console:5.${PREVIEW_PE_MINOR}
    -Wl,--major-os-version,5 -Wl,--minor-os-version,${PREVIEW_PE_MINOR}
    -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,${PREVIEW_PE_MINOR}
    -Wl,--tsaware)
  # Shipped stripped, its debug information beside it.
  set(USBINST_SHIPPED_NAME usbinst_preview.exe CACHE STRING "the name the program ships with")
  include(${CMAKE_SOURCE_DIR}/cmake/split_debug.cmake)
  split_debug_info(usbinst_preview ${USBINST_SHIPPED_NAME}.debug)
endif()
# Only the program is built here; the benchmark is the native build's.
if(TARGET preview_bench)
  set_target_properties(preview_bench PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
