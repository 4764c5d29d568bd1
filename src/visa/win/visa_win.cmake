# The Windows binding of the VISA library (DynamicVisaLibrary), linked into the program.
file(GLOB FWU_VISA_WIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_library(fw_visa_win STATIC ${FWU_VISA_WIN_SOURCES})
target_link_libraries(fw_visa_win PUBLIC fw_visa fw_base_win kernel32)
add_library(fw_visa_loader ALIAS fw_visa_win)
