# The fuzzers (preset "fuzz"): clang's libFuzzer over the logic on the
# simulated machine, with AddressSanitizer and UndefinedBehaviorSanitizer.
# Everything is compiled with -fsanitize=fuzzer-no-link (the preset's flags);
# only the fuzzers link libFuzzer's driver. scripts/fuzz.sh runs them.
set(FUZZ_SUPPORT ${CMAKE_SOURCE_DIR}/tests/sim_test_support.cpp
                 ${CMAKE_SOURCE_DIR}/tests/run_checks.cpp)
foreach(fuzzer removal_fuzzer text_fuzzer)
  add_executable(${fuzzer} ${CMAKE_SOURCE_DIR}/tests/fuzz/${fuzzer}.cpp ${FUZZ_SUPPORT})
  target_link_libraries(${fuzzer} PRIVATE usbinst_logic platform_sim)
  target_link_options(${fuzzer} PRIVATE -fsanitize=fuzzer,address,undefined)
endforeach()

# The removal preview's input readers. The fuzz preset builds neither the
# trace tools nor the preview, so the sources they need are compiled here.
add_executable(registry_export_fuzzer
               ${CMAKE_SOURCE_DIR}/tests/fuzz/registry_export_fuzzer.cpp
               ${CMAKE_SOURCE_DIR}/preview/registry_export_reader.cpp
               ${CMAKE_SOURCE_DIR}/preview/folder_listing_reader.cpp
               ${CMAKE_SOURCE_DIR}/preview/entry_adder.cpp
               ${CMAKE_SOURCE_DIR}/preview/input_text.cpp
               ${CMAKE_SOURCE_DIR}/tests/trace/snapshot_escape.cpp
               ${CMAKE_SOURCE_DIR}/tests/trace/snapshot_entry.cpp
               ${CMAKE_SOURCE_DIR}/tests/trace/entry_detail.cpp)
target_link_libraries(registry_export_fuzzer PRIVATE platform_sim)
target_link_options(registry_export_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)

# The test command's short run: 25 seconds of each fuzzer from its seed
# corpus, with a scratch corpus emptied first, so the run takes the same time
# however long scripts/fuzz.sh has grown build/fuzz/corpus.
foreach(fuzzer removal_fuzzer text_fuzzer registry_export_fuzzer)
  set(scratch ${CMAKE_BINARY_DIR}/test-corpus/${fuzzer})
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/artifacts)
  add_test(NAME ${fuzzer}
           COMMAND sh -c "rm -rf '${scratch}' && mkdir -p '${scratch}' && exec \"$0\" \"$@\""
                   $<TARGET_FILE:${fuzzer}> -max_total_time=25 -max_len=4096 -timeout=30
                   -rss_limit_mb=4096 -print_final_stats=1
                   -artifact_prefix=${CMAKE_BINARY_DIR}/artifacts/${fuzzer}-
                   ${scratch} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${fuzzer})
  set_tests_properties(${fuzzer} PROPERTIES TIMEOUT 120)
endforeach()
