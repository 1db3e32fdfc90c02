# The simulated Windows machine as the logic's platform layer: the native
# build's, and the Windows build of the removal preview's.
collect_sources(SIM_SOURCES SIM_TESTS platform/sim)
# platform/system_library.cpp is both layers' own: it builds on their calls.
add_library(platform_sim STATIC ${SIM_SOURCES} ${CMAKE_SOURCE_DIR}/platform/system_library.cpp
                                ${CMAKE_SOURCE_DIR}/resources/string_table.cpp)
target_include_directories(platform_sim PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(usbinst_logic PUBLIC platform_sim)
