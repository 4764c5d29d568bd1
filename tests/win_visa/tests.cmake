# The Windows VISA binding against real DLLs in the Wine prefix (Windows build only). The
# tests install libraries into the prefix's system directory and restore it afterwards;
# they hold the resource locks so that no other test sees their libraries.
add_library(fake_visa SHARED ${CMAKE_CURRENT_LIST_DIR}/fake_library/fake_visa.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/fake_library/fake_visa.def)
target_link_libraries(fake_visa PRIVATE fw_visa)
set_target_properties(fake_visa PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

file(GLOB WIN_VISA_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(win_visa_tests ${WIN_VISA_TEST_SOURCES})
target_link_libraries(win_visa_tests PRIVATE fw_visa_win fw_instrument test_support ${GTEST_TARGETS} ${GTEST_MAIN})
set_target_properties(win_visa_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
add_dependencies(win_visa_tests fake_visa)
target_compile_definitions(win_visa_tests PRIVATE FWSIM_VISA32_PATH="$<TARGET_FILE:fwsim_visa32>")
add_dependencies(win_visa_tests fwsim_visa32)
add_test(NAME win_visa_tests_windows COMMAND win_visa_tests --gtest_brief=1)
# The end-to-end tests install the same library under the lock fwu_wine_prefix_state.
set_tests_properties(win_visa_tests_windows PROPERTIES TIMEOUT 300
                     RESOURCE_LOCK "visa32;fwu_wine_prefix_state")
