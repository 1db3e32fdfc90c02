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
