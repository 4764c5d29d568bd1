# fwtool from the command line (native build only): pack a sample, check it, and the
# exit statuses of damaged files and wrong usage.
set(FWTOOL_DIR ${CMAKE_CURRENT_BINARY_DIR}/fwtool_files)
set(EXPECT ${CMAKE_CURRENT_SOURCE_DIR}/native/expect_status.sh)

add_test(NAME fwtool_pack_sample
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/native/make_sample.sh $<TARGET_FILE:fwtool> ${FWTOOL_DIR})
set_tests_properties(fwtool_pack_sample PROPERTIES FIXTURES_SETUP fwtool_sample)

add_test(NAME fwtool_check_packed_file_is_valid
         COMMAND sh ${EXPECT} 0 $<TARGET_FILE:fwtool> check ${FWTOOL_DIR}/sample.fw)
set_tests_properties(fwtool_check_packed_file_is_valid PROPERTIES
                     FIXTURES_REQUIRED fwtool_sample PASS_REGULAR_EXPRESSION "result: 0 OK\n$")

add_test(NAME fwtool_check_last_section_one_byte_short
         COMMAND sh ${EXPECT} 23 $<TARGET_FILE:fwtool> check ${FWTOOL_DIR}/short.fw)
set_tests_properties(fwtool_check_last_section_one_byte_short PROPERTIES
                     FIXTURES_REQUIRED fwtool_sample
                     PASS_REGULAR_EXPRESSION "result: 23 The firmware revision file is corrupted.")

add_test(NAME fwtool_check_missing_file
         COMMAND sh ${EXPECT} 125 $<TARGET_FILE:fwtool> check ${FWTOOL_DIR}/no-such-file.fw)
add_test(NAME fwtool_check_without_file
         COMMAND sh ${EXPECT} 125 $<TARGET_FILE:fwtool> check)
add_test(NAME fwtool_unknown_command
         COMMAND sh ${EXPECT} 125 $<TARGET_FILE:fwtool> verify ${FWTOOL_DIR}/sample.fw)
add_test(NAME fwtool_pack_without_sections
         COMMAND sh ${EXPECT} 125 $<TARGET_FILE:fwtool> pack --model K4417F --image-rev 1
                 --utility-rev 1.0.6 --description d -o ${FWTOOL_DIR}/none.fw)
add_test(NAME fwtool_pack_unknown_region
         COMMAND sh ${EXPECT} 125 $<TARGET_FILE:fwtool> pack --model K4417F --image-rev 1
                 --utility-rev 1.0.6 --description d --section boot=${EXPECT} -o ${FWTOOL_DIR}/x.fw)
add_test(NAME fwtool_help COMMAND sh ${EXPECT} 0 $<TARGET_FILE:fwtool> --help)

# list, a dry run and an update of two instruments at once through the dlopen binding.
add_test(NAME fwtool_update_through_simulator_library
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/native/update_through_library.sh
                 $<TARGET_FILE:fwtool> $<TARGET_FILE:fwsim_visa_so> ${FWTOOL_DIR})
set_tests_properties(fwtool_update_through_simulator_library PROPERTIES
                     FIXTURES_REQUIRED fwtool_sample TIMEOUT 120)

# What the compiler does not check: one place folds letter case, the procedure knows no
# window, fwtool leaves threads and VISA calls to the engine.
add_test(NAME source_rules
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/native/source_rules.sh ${PROJECT_SOURCE_DIR})

# fwtool update as an unattended job meets it (signals, a closed stdout, a full disk, a
# second fwtool, a slow reopen), each a real fwtool process against the simulator library.
find_program(FWU_PYTHON3 python3 REQUIRED)
# One updater per instrument whoever runs it (another environment, another user), a lock
# path planted by another user, a reader that never reads, a report cut short, instrument
# bytes that would drive the terminal, one serial on two resources.
foreach(case sigterm sighup second-sigint closed-stdout full-report two-processes slow-reopen
        two-environments two-users planted unread-stdout torn-report control-serial all-twins)
  add_test(NAME fwtool_unattended_${case}
           COMMAND ${FWU_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/native/unattended_runs.py
                   $<TARGET_FILE:fwtool> $<TARGET_FILE:fwsim_visa_so> ${FWTOOL_DIR} ${case})
  set_tests_properties(fwtool_unattended_${case} PROPERTIES TIMEOUT 90 SKIP_RETURN_CODE 77)
endforeach()

# fwtool as scripts and new users meet it: results as JSON data, files that cannot be opened,
# the choice of instruments, the text output's shape, the help's width.
foreach(case results cannot-open serial-usage list-serial one-shape help-width)
  add_test(NAME fwtool_cli_${case}
           COMMAND ${FWU_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/native/command_line.py
                   $<TARGET_FILE:fwtool> $<TARGET_FILE:fwsim_visa_so> ${FWTOOL_DIR} ${case})
  set_tests_properties(fwtool_cli_${case} PROPERTIES FIXTURES_REQUIRED fwtool_sample TIMEOUT 120)
endforeach()

# list and update with --visa usbtmc among simulated USBTMC instruments (fwsim-usbtmc under
# umockdev; a fwtool built with AddressSanitizer gets its runtime preloaded first).
if(TARGET fwsim_usbtmc AND NOT FWU_SANITIZE_THREAD)
  foreach(case list two old denied)
    add_test(NAME fwtool_usbtmc_${case}
             COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/native/usbtmc_bus.sh $<TARGET_FILE:fwtool>
                     $<TARGET_FILE:fwsim_usbtmc> $<TARGET_FILE:fwsim_visa_so> ${FWTOOL_DIR} ${case})
    set_tests_properties(fwtool_usbtmc_${case} PROPERTIES FIXTURES_REQUIRED fwtool_sample TIMEOUT 180)
  endforeach()
endif()

# The Debian package, unpacked: its files, its fwtool's version and search, its maintainer
# scripts; then lintian on it.
if(NOT FWU_SANITIZE AND NOT FWU_SANITIZE_THREAD)
  add_test(NAME fwtool_deb_package
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/native/deb_package.sh
                   ${CMAKE_BINARY_DIR}/CPackConfig.cmake ${FWTOOL_DIR})
  set_tests_properties(fwtool_deb_package PROPERTIES TIMEOUT 120 FIXTURES_SETUP deb_package)
  add_test(NAME fwtool_deb_lintian
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/native/deb_lintian.sh
                   ${FWTOOL_DIR}/deb_package/fwtool.deb)
  set_tests_properties(fwtool_deb_lintian PROPERTIES TIMEOUT 300 FIXTURES_REQUIRED deb_package)
endif()
