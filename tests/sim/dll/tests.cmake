# The simulated visa32.dll itself (Windows build): loaded as the program loads VISA, by
# name and by ordinal, with its scenario and record files taken from the environment.
add_executable(sim_dll_tests ${CMAKE_CURRENT_LIST_DIR}/visa32_dll_test.cpp)
target_link_libraries(sim_dll_tests PRIVATE fw_visa ${GTEST_TARGETS} ${GTEST_MAIN})
target_compile_definitions(sim_dll_tests PRIVATE FWSIM_VISA32_PATH="$<TARGET_FILE:fwsim_visa32>")
add_dependencies(sim_dll_tests fwsim_visa32)
add_test(NAME sim_dll_tests_windows COMMAND sim_dll_tests --gtest_brief=1)
set_tests_properties(sim_dll_tests_windows PROPERTIES TIMEOUT 300)
