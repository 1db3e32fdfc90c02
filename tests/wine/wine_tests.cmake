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

add_test(NAME windows_imports
         COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/check-imports.sh ${CMAKE_OBJDUMP}
                 $<TARGET_FILE:usbinst> $<TARGET_FILE:contract_tests>
                 $<TARGET_FILE:string_table_check> $<TARGET_FILE:driver_install_wine>
                 $<TARGET_FILE:phone_simulator> $<TARGET_FILE:dialog_driver>
                 $<TARGET_FILE:removal_footprint> $<TARGET_FILE:registry_cleanup_wine>
                 $<TARGET_FILE:trace_snapshot> $<TARGET_FILE:trace_fixture>
                 $<TARGET_FILE:customer_machine>)

# wine64 alone cannot run a 32-bit program (it exits 0 without running it),
# so the x86 build runs under Wine only where the 32-bit loader is installed.
if(CMAKE_SIZEOF_VOID_P EQUAL 8 OR EXISTS /usr/lib/wine/wine)
  set(USBINST_RUN_UNDER_WINE ON)
else()
  set(USBINST_RUN_UNDER_WINE OFF)
  message(STATUS "No 32-bit Wine loader: the x86 programs are built and their imports "
                 "checked, but they do not run under Wine")
endif()

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

  # With an X display, so that the window and dialog cases run too.
  add_wine_test(contract_tests_wine --gui $<TARGET_FILE:contract_tests>)
  add_wine_test(string_table_check $<TARGET_FILE:string_table_check>)
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
                $<TARGET_FILE_DIR:usbinst>)

  # The installation round trip from the driver CD: the notice, the wizard, the
  # phone plugged in function by function, Next; a second instance and a removal
  # run during the wizard; the Windows 98 wizard. The run without the switch
  # starts from a fresh machine of its own. Screenshots of both templates go to
  # build/<preset>/screenshots.
  set(USBINST_ROUND_TRIP ${CMAKE_SOURCE_DIR}/tests/wine/install-round-trip.sh
                         $<TARGET_FILE_DIR:usbinst> ${CMAKE_SOURCE_DIR}/tests/data/cd
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
  set(USBINST_TRACE_ROUND_TRIP ${CMAKE_SOURCE_DIR}/tests/wine/trace-round-trip.sh
                               $<TARGET_FILE_DIR:usbinst> ${CMAKE_SOURCE_DIR}/tests/data/cd
                               ${CMAKE_BINARY_DIR}/trace)
  function(add_trace_test version scenario)
    set(name trace_${version}_${scenario})
    add_wine_test(${name} --gui --timeout 240 ${USBINST_TRACE_ROUND_TRIP} ${version} ${scenario})
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
                 USBINST_TRACE_REPORT=${TRACE_REPORT_HOST})
  endfunction()
  foreach(scenario full no-switch cancel second remove-during reinstall own-ports)
    add_trace_test(winxp-sp3 ${scenario})
  endforeach()
  add_trace_test(win2k own-ports)
  foreach(version win95 win98 winme nt40 win2k winxp-sp1 win7)
    add_trace_test(${version} full)
  endforeach()
  foreach(version win98 nt40 win2k win7)
    add_trace_test(${version} reinstall)
  endforeach()
endif()
