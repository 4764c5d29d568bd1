# The kernel USBTMC backend's calls (Linux), run among a simulated instrument by
# fwsim-usbtmc: the binary must run under its umockdev preload, so its cases are one test.
if(TARGET fwsim_usbtmc AND NOT FWU_SANITIZE_THREAD)
  add_executable(usbtmc_tests ${CMAKE_CURRENT_LIST_DIR}/usbtmc_backend_test.cpp)
  target_link_libraries(usbtmc_tests PRIVATE fw_visa_usbtmc ${GTEST_TARGETS} ${GTEST_MAIN})
  add_test(NAME usbtmc_backend
           COMMAND $<TARGET_FILE:fwsim_usbtmc> --deadline 60 -- $<TARGET_FILE:usbtmc_tests>
                   --gtest_brief=1)
  set_tests_properties(usbtmc_backend PROPERTIES TIMEOUT 90)
endif()
