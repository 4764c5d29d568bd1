# The POSIX binding of a VISA shared library (dlopen), for the command line, with the
# kernel's USBTMC driver as the built-in alternative.
include(${CMAKE_CURRENT_LIST_DIR}/../usbtmc/visa_usbtmc.cmake)
file(GLOB FWU_VISA_POSIX_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_library(fw_visa_posix STATIC ${FWU_VISA_POSIX_SOURCES})
target_link_libraries(fw_visa_posix PUBLIC fw_visa fw_visa_usbtmc fw_base ${CMAKE_DL_LIBS})
add_library(fw_visa_loader ALIAS fw_visa_posix)
