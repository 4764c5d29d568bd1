# fwsim-usbtmc (Linux build, when umockdev is installed): runs a command among simulated
# instruments that the kernel's USBTMC driver seems to offer. Lies at <build>/sim/.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(UMOCKDEV IMPORTED_TARGET umockdev-1.0 glib-2.0 gobject-2.0)
if(UMOCKDEV_FOUND)
  add_executable(fwsim_usbtmc ${CMAKE_CURRENT_LIST_DIR}/fwsim_usbtmc.cpp
                              ${CMAKE_CURRENT_LIST_DIR}/sim_usbtmc_bus.cpp)
  target_link_libraries(fwsim_usbtmc PRIVATE fwsim PkgConfig::UMOCKDEV Threads::Threads)
  set_target_properties(fwsim_usbtmc PROPERTIES
    OUTPUT_NAME fwsim-usbtmc RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sim)
else()
  message(STATUS "umockdev not found: fwsim-usbtmc and its tests are left out")
endif()
