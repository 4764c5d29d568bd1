# The POSIX operating-system layer (os/os.h).
# The portable parts (the output thread, lock names) are built with it.
file(GLOB FWU_OS_POSIX_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp
     ${CMAKE_CURRENT_LIST_DIR}/../*.cpp)
add_library(fw_os STATIC ${FWU_OS_POSIX_SOURCES})
target_link_libraries(fw_os PUBLIC fw_base Threads::Threads)
