# The Linux binding (dlopen) against the simulated instrument's shared library and a
# library that lacks most entry points (native build only).
add_library(partial_visa SHARED ${CMAKE_CURRENT_LIST_DIR}/partial_library/partial_visa.cpp)
target_link_libraries(partial_visa PRIVATE fw_visa)
set_target_properties(partial_visa PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
fwu_unit_tests(visa_posix fw_visa_posix fw_instrument)
target_compile_definitions(visa_posix_tests PRIVATE
  FWSIM_VISA_SO="$<TARGET_FILE:fwsim_visa_so>" PARTIAL_VISA_SO="$<TARGET_FILE:partial_visa>")
add_dependencies(visa_posix_tests fwsim_visa_so partial_visa)
