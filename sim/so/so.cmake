# libfwsim-visa.so (Linux build): the simulated instrument behind the eight VISA entry
# points under their standard names, as a Linux VISA library exports them; only those
# eight are exported. Lies at <build>/sim/libfwsim-visa.so (build/native/sim/ for
# `make native`); others find it through the target fwsim_visa_so.
set_target_properties(fwsim fw_visa PROPERTIES POSITION_INDEPENDENT_CODE ON)
add_library(fwsim_visa_so SHARED ${CMAKE_CURRENT_LIST_DIR}/fwsim_visa.cpp)
target_link_libraries(fwsim_visa_so PRIVATE fwsim)
target_link_options(fwsim_visa_so PRIVATE -Wl,--exclude-libs,ALL)
set_target_properties(fwsim_visa_so PROPERTIES
  OUTPUT_NAME fwsim-visa
  CXX_VISIBILITY_PRESET hidden
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sim)
