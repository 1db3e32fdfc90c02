# The removal preview as a Windows program, configured and built as a project
# of its own (cmake/shipped_programs.cmake): it runs the installer's logic on
# the simulated machine, as the native preview does, so this build links the
# logic with platform/sim and never with platform/win32. Only --live reads
# the machine the program runs on (preview/*_win.cpp).
include(${CMAKE_SOURCE_DIR}/cmake/platform_sim.cmake)
include(${CMAKE_SOURCE_DIR}/tests/trace/trace.cmake)
include(${CMAKE_SOURCE_DIR}/preview/preview.cmake)
