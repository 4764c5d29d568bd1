# fwsim-usbtmc-gadget (Linux build only, never installed): a simulated instrument as a USB
# device for the kernel's own usbtmc driver, run inside the test guest (tests/kernel_vm).
# Lies at <build>/sim/.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  find_package(Threads REQUIRED)
  add_executable(fwsim_usbtmc_gadget ${CMAKE_CURRENT_LIST_DIR}/fwsim_usbtmc_gadget.cpp
                                     ${CMAKE_CURRENT_LIST_DIR}/gadget_port.cpp
                                     ${CMAKE_CURRENT_LIST_DIR}/usbtmc_function.cpp)
  target_link_libraries(fwsim_usbtmc_gadget PRIVATE fwsim Threads::Threads)
  set_target_properties(fwsim_usbtmc_gadget PROPERTIES
    OUTPUT_NAME fwsim-usbtmc-gadget RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sim)
endif()
