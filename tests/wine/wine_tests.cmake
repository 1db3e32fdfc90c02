# Tests of the Windows build. The import check needs only objdump; the
# others run the programs under Wine, each in a fresh copy of one base prefix
# that the wine_prefix fixture makes at the start of every test run.
set(USBINST_WINE_RUN ${CMAKE_SOURCE_DIR}/tests/wine/run-in-wine.sh)
set(USBINST_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
set(USBINST_WINE_ENV USBINST_WINE_ROOT=${USBINST_WINE_ROOT})

# The registry cleanup of the installer's logic, run on Wine's registry.
add_executable(registry_cleanup_wine ${CMAKE_SOURCE_DIR}/tests/wine/registry_cleanup_wine.cpp
                                     ${USBINST_RC})
target_include_directories(registry_cleanup_wine PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(registry_cleanup_wine PRIVATE usbinst_logic platform_win32 gtest gtest_main
                                                    advapi32)
add_dependencies(answer_dialogs registry_cleanup_wine)

# The test tools that play the phone and the user in the installation round trip.
add_executable(phone_simulator ${CMAKE_SOURCE_DIR}/tests/wine/phone_simulator.cpp)
target_include_directories(phone_simulator PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(phone_simulator PRIVATE advapi32 user32 kernel32)
add_executable(dialog_driver ${CMAKE_SOURCE_DIR}/tests/wine/dialog_driver.cpp)
target_link_libraries(dialog_driver PRIVATE comctl32 user32 kernel32)
add_dependencies(dialog_driver usbinst phone_simulator)
# Plants the phone's footprint for the removal run, checks what is left, and
# plays the CD launcher's window.
add_executable(removal_footprint ${CMAKE_SOURCE_DIR}/tests/wine/removal_footprint.cpp)
target_link_libraries(removal_footprint PRIVATE setupapi advapi32 user32 kernel32)
add_dependencies(removal_footprint usbinst answer_dialogs)
# Makes a fresh prefix look like a customer's PC (Windows' layout, other
# makers' devices) for the round trips that compare before and after.
add_executable(customer_machine ${CMAKE_SOURCE_DIR}/tests/wine/customer_machine.cpp)
target_include_directories(customer_machine PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(customer_machine PRIVATE advapi32 kernel32)
add_dependencies(customer_machine usbinst trace_snapshot trace_report_host)
# Writes a real PC's registry export into a prefix and stages other makers'
# INF files, then compares both with their sources (the removal on real
# machines below).
add_executable(real_machine ${CMAKE_SOURCE_DIR}/tests/wine/real_machine.cpp
                            ${CMAKE_SOURCE_DIR}/tests/wine/registry_export_file.cpp)
target_include_directories(real_machine PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(real_machine PRIVATE advapi32 ntdll kernel32)
include(${CMAKE_SOURCE_DIR}/tests/realworld/registry_exports.cmake)
add_dependencies(real_machine usbinst answer_dialogs removal_footprint real_registries)

# The planting test's stranger's DLL, which leaves a mark when loaded, and the
# control that loads it by a bare name (tests/wine/planted-dll.sh).
add_library(planted_dll SHARED ${CMAKE_SOURCE_DIR}/tests/wine/planted_dll.cpp)
set_target_properties(planted_dll PROPERTIES PREFIX "" OUTPUT_NAME planted_dll)
target_link_libraries(planted_dll PRIVATE kernel32)
add_executable(dll_search_probe ${CMAKE_SOURCE_DIR}/tests/wine/dll_search_probe.cpp)
target_link_libraries(dll_search_probe PRIVATE kernel32)
add_dependencies(dll_search_probe planted_dll usbinst answer_dialogs)

# The test programs import only DLLs that Windows ships.
add_test(NAME windows_imports
         COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/check-imports.sh ${CMAKE_OBJDUMP}
                 $<TARGET_FILE:contract_tests>
                 $<TARGET_FILE:string_table_check> $<TARGET_FILE:driver_install_wine>
                 $<TARGET_FILE:phone_simulator> $<TARGET_FILE:dialog_driver>
                 $<TARGET_FILE:removal_footprint> $<TARGET_FILE:registry_cleanup_wine>
                 $<TARGET_FILE:trace_snapshot> $<TARGET_FILE:trace_fixture>
                 $<TARGET_FILE:customer_machine> $<TARGET_FILE:real_machine>)

# The shipped programs load on the oldest Windows they claim: every imported
# function is exported there (tests/data/windows-imports.tsv) and the PE
# header asks for no newer Windows. The 32-bit program claims Windows 95 and
# NT 4, the 64-bit one XP x64.
# The x86-64 objdump reads both kinds of program.
find_program(USBINST_OBJDUMP_BOTH NAMES x86_64-w64-mingw32-objdump REQUIRED)
set(USBINST_IMPORT_CHECK ${CMAKE_SOURCE_DIR}/tests/wine/check-shipped-imports.sh
                         ${USBINST_OBJDUMP_BOTH} ${CMAKE_SOURCE_DIR}/tests/data/windows-imports.tsv)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_test(NAME shipped_imports COMMAND ${USBINST_IMPORT_CHECK} x64 ${CMAKE_BINARY_DIR}/usbinst.exe)
else()
  add_test(NAME shipped_imports COMMAND ${USBINST_IMPORT_CHECK} x86 ${CMAKE_BINARY_DIR}/usbinst.exe)
  add_test(NAME shipped_imports_64 COMMAND ${USBINST_IMPORT_CHECK} x64
                                           ${CMAKE_BINARY_DIR}/usbinst64.exe)
  # The removal preview, a console program, claims Windows XP.
  if(TARGET usbinst_preview)
    add_test(NAME preview_imports COMMAND ${USBINST_IMPORT_CHECK} x86 --oldest 5.1 --console --any-dll
                                          ${CMAKE_BINARY_DIR}/usbinst_preview.exe)
  endif()
endif()

# The shipped programs are stripped, their debug information beside them
# (cmake/split_debug.cmake), and it reads an address back to a source line.
find_program(USBINST_ADDR2LINE_BOTH NAMES x86_64-w64-mingw32-addr2line REQUIRED)
find_program(USBINST_NM_BOTH NAMES x86_64-w64-mingw32-nm REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(USBINST_SHIPPED_FILES ${CMAKE_BINARY_DIR}/usbinst.exe)
else()
  set(USBINST_SHIPPED_FILES ${CMAKE_BINARY_DIR}/usbinst.exe ${CMAKE_BINARY_DIR}/usbinst64.exe)
  if(TARGET usbinst_preview)
    list(APPEND USBINST_SHIPPED_FILES ${CMAKE_BINARY_DIR}/usbinst_preview.exe)
  endif()
endif()
add_test(NAME shipped_debug_split
         COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/check-debug-split.sh ${USBINST_OBJDUMP_BOTH}
                 ${USBINST_ADDR2LINE_BOTH} ${USBINST_NM_BOTH} ${CMAKE_SOURCE_DIR}
                 ${USBINST_SHIPPED_FILES})

# The shipped programs signed as a CD maker signs them (scripts/sign.sh), with
# a certificate made for the test, on copies in build/<preset>/signed (the
# other tests keep running the build's unsigned programs): each signature
# verifies (tests/wine/sign-check.sh), the signed copies pass the import and
# header checks, and a signed usbinst.exe runs a removal under Wine.
set(USBINST_SIGNED_DIR ${CMAKE_BINARY_DIR}/signed)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_test(NAME shipped_imports_signed
           COMMAND ${USBINST_IMPORT_CHECK} x64 ${USBINST_SIGNED_DIR}/usbinst.exe)
  set(USBINST_SIGNED_CHECKS shipped_imports_signed)
else()
  add_test(NAME shipped_imports_signed
           COMMAND ${USBINST_IMPORT_CHECK} x86 ${USBINST_SIGNED_DIR}/usbinst.exe)
  add_test(NAME shipped_imports_64_signed
           COMMAND ${USBINST_IMPORT_CHECK} x64 ${USBINST_SIGNED_DIR}/usbinst64.exe)
  set(USBINST_SIGNED_CHECKS shipped_imports_signed shipped_imports_64_signed)
  if(TARGET usbinst_preview)
    add_test(NAME preview_imports_signed
             COMMAND ${USBINST_IMPORT_CHECK} x86 --oldest 5.1 --console
                     ${USBINST_SIGNED_DIR}/usbinst_preview.exe)
    list(APPEND USBINST_SIGNED_CHECKS preview_imports_signed)
  endif()
endif()
list(TRANSFORM USBINST_SHIPPED_FILES REPLACE "^${CMAKE_BINARY_DIR}/" "${USBINST_SIGNED_DIR}/"
     OUTPUT_VARIABLE USBINST_SIGNED)
add_test(NAME signed_programs_import_dlls
         COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/check-imports.sh ${USBINST_OBJDUMP_BOTH}
                 ${USBINST_SIGNED})
list(APPEND USBINST_SIGNED_CHECKS signed_programs_import_dlls)
add_test(NAME signed_programs
         COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/sign-check.sh ${USBINST_SIGNED_DIR}
                 ${USBINST_SHIPPED_FILES} --beside $<TARGET_FILE:answer_dialogs>)
set_tests_properties(signed_programs PROPERTIES FIXTURES_SETUP signed_programs)
set_tests_properties(${USBINST_SIGNED_CHECKS} PROPERTIES FIXTURES_REQUIRED signed_programs)

# The check itself: a program that calls GetTickCount64 (Vista) must fail it,
# naming the function.
add_executable(import_probe WIN32 ${CMAKE_SOURCE_DIR}/tests/wine/import_probe.cpp)
target_link_libraries(import_probe PRIVATE comctl32 kernel32)
add_test(NAME shipped_imports_refuse_a_vista_function
         COMMAND ${USBINST_IMPORT_CHECK} x86 $<TARGET_FILE:import_probe>)
set_tests_properties(shipped_imports_refuse_a_vista_function PROPERTIES
                     PASS_REGULAR_EXPRESSION "FAIL import_probe.exe: KERNEL32.DLL GetTickCount64 first in NT 6.0")
# ... and a program without the Terminal Server mark (import_probe has none).
add_test(NAME shipped_imports_refuse_a_program_not_terminal_server_aware
         COMMAND ${USBINST_IMPORT_CHECK} x86 $<TARGET_FILE:import_probe>)
set_tests_properties(shipped_imports_refuse_a_program_not_terminal_server_aware PROPERTIES
                     PASS_REGULAR_EXPRESSION "FAIL import_probe.exe: not Terminal Server aware")
# ... and one that imports a DLL that is no known DLL (import_probe: comctl32).
add_test(NAME shipped_imports_refuse_a_dll_loaded_from_the_programs_folder
         COMMAND ${USBINST_IMPORT_CHECK} x86 $<TARGET_FILE:import_probe>)
set_tests_properties(shipped_imports_refuse_a_dll_loaded_from_the_programs_folder PROPERTIES
                     PASS_REGULAR_EXPRESSION "FAIL import_probe.exe: imports COMCTL32.DLL")
add_test(NAME shipped_imports_refuse_a_vista_function_on_xp
         COMMAND ${USBINST_IMPORT_CHECK} x86 --oldest 5.1 $<TARGET_FILE:import_probe>)
set_tests_properties(shipped_imports_refuse_a_vista_function_on_xp PROPERTIES
                     PASS_REGULAR_EXPRESSION "GetTickCount64 first in NT 6.0, the program claims 5.1")

# The Wine tests of each preset run its own programs: the windows-x86 preset
# the 32-bit programs in 32-bit prefixes (a Windows 95 to XP PC), and the
# handover to the 64-bit program in a 64-bit prefix; the windows-x64 preset
# the 64-bit programs in 64-bit prefixes.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(USBINST_WINE_ARCH win64)
  set(USBINST_RUN_UNDER_WINE ON)
elseif(EXISTS /usr/lib/wine/wine)
  set(USBINST_WINE_ARCH win32)
  set(USBINST_RUN_UNDER_WINE ON)
else()
  set(USBINST_RUN_UNDER_WINE OFF)
  message(WARNING "No 32-bit Wine loader (apt-get install wine32:i386): the x86 programs "
                  "are built and their imports checked, but they do not run under Wine")
endif()
list(APPEND USBINST_WINE_ENV USBINST_WINE_ARCH=${USBINST_WINE_ARCH})

# Adds a test that runs a Windows program under Wine.
function(add_wine_test name)
  add_test(NAME ${name} COMMAND ${USBINST_WINE_RUN} ${ARGN})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${USBINST_WINE_ENV}"
                                          FIXTURES_REQUIRED wine_prefix)
endfunction()

if(USBINST_RUN_UNDER_WINE)
  add_test(NAME wine_prefix_make COMMAND ${USBINST_WINE_RUN} --make-base)
  add_test(NAME wine_prefix_remove COMMAND ${USBINST_WINE_RUN} --remove-base)
  set_tests_properties(wine_prefix_make PROPERTIES ENVIRONMENT "${USBINST_WINE_ENV}"
                                                   FIXTURES_SETUP wine_prefix)
  set_tests_properties(wine_prefix_remove PROPERTIES ENVIRONMENT "${USBINST_WINE_ENV}"
                                                     FIXTURES_CLEANUP wine_prefix)

  set(USBINST_TRACE_ROUND_TRIP ${CMAKE_SOURCE_DIR}/tests/wine/trace-round-trip.sh
                               ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}/tests/data/cd
                               ${CMAKE_BINARY_DIR}/trace)
  function(add_trace_test version scenario)
    set(name trace_${version}_${scenario})
    add_wine_test(${name} --gui --timeout 240 ${USBINST_TRACE_ROUND_TRIP} ${version} ${scenario})
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
                 USBINST_TRACE_REPORT=${TRACE_REPORT_HOST})
  endfunction()

  # The round trip with the signed CD (tests/signed_cd.cmake), reports in
  # build/<preset>/trace-signed/<version>-<scenario>.
  function(add_signed_trace_test version scenario)
    set(name trace_${version}_${scenario}_signed)
    add_wine_test(${name} --gui --timeout 240 ${CMAKE_SOURCE_DIR}/tests/wine/trace-round-trip.sh
                  ${CMAKE_BINARY_DIR} ${USBINST_SIGNED_CD_DIR} ${CMAKE_BINARY_DIR}/trace-signed
                  ${version} ${scenario})
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
                 USBINST_TRACE_REPORT=${TRACE_REPORT_HOST})
  endfunction()

  # Both presets: the platform layer, the resources of the built program, and
  # the installation-and-removal round trip on XP SP3 and Windows 7 (see below).
  # With an X display, so that the window and dialog cases run too.
  add_wine_test(contract_tests_wine --gui $<TARGET_FILE:contract_tests>)
  add_wine_test(string_table_check $<TARGET_FILE:string_table_check>)
  add_trace_test(winxp-sp3 full)
  add_trace_test(win7 full)
  # A DLL planted beside the program under a system library's name is loaded
  # by neither a removal nor an installation run.
  add_wine_test(planted_dll_wine --gui --timeout 300
                ${CMAKE_SOURCE_DIR}/tests/wine/planted-dll.sh ${CMAKE_BINARY_DIR}
                ${CMAKE_SOURCE_DIR}/tests/data/cd)

  # The signed program (see signed_programs above) runs: a removal run on a
  # clean machine, which has nothing to report, so any dialog fails it.
  add_wine_test(signed_removal_run --gui --timeout 150 ${USBINST_SIGNED_DIR}/answer_dialogs.exe
                --no-dialog 120 usbinst.exe /r)
  set_property(TEST signed_removal_run APPEND PROPERTY FIXTURES_REQUIRED signed_programs)

  # A removal run beside another program's hung window of the wizard's title.
  add_trace_test(win7 remove-foreign)
  if(USBINST_WINE_ARCH STREQUAL "win64")
    # The Wine benchmark's smallest run, one repeat, as a check only: the
    # phone's footprint gone after the removal, every foreign entry kept. Its
    # times are not judged (scripts/bench.sh measures).
    add_wine_test(removal_bench_wine_check --gui --timeout 300 $<TARGET_FILE:answer_dialogs>
                  --no-dialog 280 removal_bench_wine.exe 1000 1)
    return()
  endif()

  # The rest proves the 32-bit program, the one Windows 95 to XP run.
  # The package install and the stale OEM INF removal on the test driver CD,
  # which the program reads from the repository through Wine's Z: drive.
  add_wine_test(driver_install_wine $<TARGET_FILE:driver_install_wine>
                Z:${CMAKE_SOURCE_DIR}/tests/data)

  # Whole runs of the installer on a fresh prefix, with an X display for its
  # windows. A removal run on a clean machine has nothing to report, so any
  # dialog fails it; an installation run's notice, messages and wizard are
  # answered (the wizard with Cancel, as the phone never arrives).
  add_wine_test(usbinst_removal_run --gui --timeout 150 $<TARGET_FILE:answer_dialogs>
                --no-dialog 120 usbinst.exe /r)
  # The registry cleanup on the prefix's real registry, with the device keys
  # protected in the same wineserver session; any message box fails it.
  add_wine_test(registry_cleanup_wine --gui --timeout 150 $<TARGET_FILE:answer_dialogs>
                --no-dialog 120 registry_cleanup_wine.exe)
  add_wine_test(usbinst_installation_run --gui --timeout 150 $<TARGET_FILE:answer_dialogs>
                120 usbinst.exe)

  # A removal run on a machine with the phone's footprint, real services and
  # devices included, and a CD launcher window waiting for the notification;
  # then one with a launcher window whose thread takes no messages.
  add_wine_test(wine_removal_round_trip --gui --timeout 260
                ${CMAKE_SOURCE_DIR}/tests/wine/removal-round-trip.sh
                ${CMAKE_BINARY_DIR})

  # A removal run on the registry of a real Windows XP SP3 and a real Windows 7
  # SP1 PC (the real-world corpus's exports, decompressed into the build
  # folder), with the phone's footprint, every INF of the corpus as another
  # maker's OEM INF and a stale phone device naming one of them: every real
  # key, value and staged file stays as it was, the footprint goes, no dialog.
  # Wine differences are listed in the script. 15 to 25 s each on an idle 2-core machine.
  # Skipped, naming the folder, without the corpus or xz.
  foreach(machine winxp-sp3 win7-sp1)
    string(REGEX REPLACE "-sp1$" "" version ${machine})
    set(name wine_real_registry_removal_${version})
    if(REAL_REGISTRY_SKIP)
      add_test(NAME ${name} COMMAND sh -c "echo \"skipped: $0\"; exit 77" "${REAL_REGISTRY_SKIP}")
    elseif(NOT REAL_INF_FILES)
      add_test(NAME ${name} COMMAND sh -c "echo \"skipped: $0 is absent\"; exit 77" "${REAL_INF_DIR}")
    else()
      add_wine_test(${name} --gui --timeout 400
                    ${CMAKE_SOURCE_DIR}/tests/wine/real-registry-removal.sh ${CMAKE_BINARY_DIR}
                    ${REAL_REGISTRY_OUT}/${machine}_SYSTEM.reg ${REAL_INF_DIR} ${version})
    endif()
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
  endforeach()

  # The installation round trip from the driver CD: the notice, the wizard, the
  # phone plugged in function by function, Next; a second instance and a removal
  # run during the wizard; the Windows 98 wizard. The run without the switch
  # starts from a fresh machine of its own. Screenshots of both templates go to
  # build/<preset>/screenshots.
  set(USBINST_ROUND_TRIP ${CMAKE_SOURCE_DIR}/tests/wine/install-round-trip.sh
                         ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}/tests/data/cd
                         ${CMAKE_BINARY_DIR}/screenshots)
  add_wine_test(wine_install_round_trip --gui --timeout 400 ${USBINST_ROUND_TRIP}
                switch second remove legacy-shot)
  add_wine_test(wine_install_round_trip_no_switch --gui --timeout 200 ${USBINST_ROUND_TRIP}
                no-switch)

  # trace_snapshot.exe twice around a known change, compared by trace_report
  # (built for this machine); snapshots and reports go to build/<preset>/trace.
  add_wine_test(trace_snapshot_round_trip --timeout 200
                ${CMAKE_SOURCE_DIR}/tests/trace/snapshot-round-trip.sh
                $<TARGET_FILE_DIR:trace_snapshot> ${TRACE_REPORT_HOST}
                ${CMAKE_SOURCE_DIR}/tests/trace/snapshot-round-trip.rules
                ${CMAKE_BINARY_DIR}/trace)

  # Installation and removal round trips on a machine made to look like a
  # customer's PC, with a snapshot before and after compared by trace_report
  # against tests/trace/rules: a difference no rule explains fails the test.
  # One test per Windows version and scenario, reports and screenshots in
  # build/<preset>/trace/<version>-<scenario>. Every scenario on XP SP3, the
  # version most customers have; the full round trip on every other version;
  # the reinstallation where the removal plan differs: Windows 98 for 95/98/Me,
  # NT 4, 2000 and 7 (XP SP1 removes as SP3 does; only its wizard text
  # differs). The other scenarios differ only in how the wizard ends, which
  # does not depend on the version. 20 to 40 s a test on an idle 2-core machine.
  foreach(scenario no-switch cancel second remove-during reinstall own-ports)
    add_trace_test(winxp-sp3 ${scenario})
  endforeach()
  add_trace_test(win2k own-ports)
  foreach(version win95 win98 winme nt40 win2k winxp-sp1)
    add_trace_test(${version} full)
  endforeach()
  foreach(version win98 nt40 win2k win7)
    add_trace_test(${version} reinstall)
  endforeach()

  # The removal preview of the live machine (Windows 7, as Wine presents it by
  # default): it changes nothing, and the real removal that follows changes
  # exactly what it predicted.
  if(TARGET usbinst_preview)
    add_trace_test(win7 preview)
    set_property(TEST trace_win7_preview APPEND PROPERTY ENVIRONMENT
                 USBINST_CHANGES_CHECK=${CHANGES_CHECK_HOST})
  endif()

  # 64-bit Windows (a 64-bit prefix, Windows 7): the 32-bit program from the CD
  # hands the run to usbinst64.exe beside it, and the round trip is as clean as
  # one started with the 64-bit program; without usbinst64.exe it says so and
  # leaves InstallFlag 0, and nothing else changes.
  # The preview of a live 64-bit machine from the 32-bit usbinst_preview.exe:
  # the removal there is usbinst64.exe's, which resets InstallFlag in the
  # 32-bit view, and the preview predicts exactly that.
  set(USBINST_X64_SCENARIOS handover handover-missing)
  if(TARGET usbinst_preview)
    list(APPEND USBINST_X64_SCENARIOS preview)
  endif()
  # The signed CD on XP SP3 and Windows 7 (32-bit prefixes), and on Windows 10
  # (Wine's win10, a 64-bit prefix) through the handover to usbinst64.exe.
  add_signed_trace_test(winxp-sp3 full)
  add_signed_trace_test(win7 full)
  add_signed_trace_test(win10-x64 handover)
  set_property(TEST trace_win10-x64_handover_signed APPEND PROPERTY ENVIRONMENT
               USBINST_WINE_ARCH=win64)
  foreach(scenario ${USBINST_X64_SCENARIOS})
    add_trace_test(win7-x64 ${scenario})
    set_property(TEST trace_win7-x64_${scenario} APPEND PROPERTY ENVIRONMENT
                 USBINST_WINE_ARCH=win64 USBINST_CHANGES_CHECK=${CHANGES_CHECK_HOST})
  endforeach()
endif()
