# The Windows operating-system layer (os/os.h); winmm is loaded at run time.
# The portable parts (the output thread, lock names) are built with it.
file(GLOB FWU_OS_WIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp
     ${CMAKE_CURRENT_LIST_DIR}/../*.cpp)
add_library(fw_os STATIC ${FWU_OS_WIN_SOURCES})
target_link_libraries(fw_os PUBLIC fw_base_win kernel32 advapi32 Threads::Threads)
