# The kernel's USBTMC driver behind the eight VISA calls (Linux only): fwtool's built-in
# backend when no vendor library is installed.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBUDEV REQUIRED IMPORTED_TARGET libudev)
file(GLOB FWU_VISA_USBTMC_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_library(fw_visa_usbtmc STATIC ${FWU_VISA_USBTMC_SOURCES})
target_link_libraries(fw_visa_usbtmc PUBLIC fw_visa fw_base PRIVATE PkgConfig::LIBUDEV)
