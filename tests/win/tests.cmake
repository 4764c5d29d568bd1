# End-to-end tests of FirmwareUpdate.exe under Wine: each scenario (e2e.sh) puts the program
# alone in an empty folder, installs the simulated visa32.dll in the prefix's system
# directory and works the real window with uidriver (tools/uidriver). Needs Xvfb and a running Wine session
# (scripts/run-tests.sh starts both).

set(FWU_E2E_SCENARIOS
    string_resource more_info_96dpi more_info_192dpi help_available help_missing
    missing_visa_library corrupted_file complete_update failure_mid_update
    close_during_transfer fwtool_update fwtool_holds fwtool_check_unicode_folder)
foreach(scenario ${FWU_E2E_SCENARIOS})
  add_test(NAME win_e2e_${scenario}
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/e2e.sh ${scenario}
                   $<TARGET_FILE:FirmwareUpdate> $<TARGET_FILE:uidriver>
                   $<TARGET_FILE:fwsim_visa32> ${CMAKE_BINARY_DIR}/e2e)
  # All scenarios share the prefix's system directory (visa32.dll) and its desktop
  # settings (dots per inch); they must not overlap, nor other tests that change them.
  set_tests_properties(win_e2e_${scenario} PROPERTIES TIMEOUT 300
                       RESOURCE_LOCK "visa32;fwu_wine_prefix_state")
endforeach()
