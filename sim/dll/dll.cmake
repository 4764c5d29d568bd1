# visa32.dll (Windows build): the simulated instrument behind the standard VISA exports.
# Its export table (names and standard ordinals) comes from the one list of entry points
# in src/visa/visa_functions.h. Others find the DLL through the target fwsim_visa32:
#   $<TARGET_FILE:fwsim_visa32>   or the cache variable FWSIM_VISA32_DLL (same expression).
file(READ ${PROJECT_SOURCE_DIR}/src/visa/visa_functions.h FWSIM_VISA_LIST)
string(REGEX MATCHALL "X\\(([0-9]+), *([A-Za-z0-9_]+)" FWSIM_VISA_ROWS "${FWSIM_VISA_LIST}")
set(FWSIM_DEF "LIBRARY visa32.dll\nEXPORTS\n")
foreach(row IN LISTS FWSIM_VISA_ROWS)
  string(REGEX REPLACE "X\\(([0-9]+), *([A-Za-z0-9_]+)" "    \\2 @\\1\n" line "${row}")
  string(APPEND FWSIM_DEF "${line}")
endforeach()
# Written through a copy so that an unchanged list does not relink the DLL.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/visa32.def.new "${FWSIM_DEF}")
configure_file(${CMAKE_CURRENT_BINARY_DIR}/visa32.def.new ${CMAKE_CURRENT_BINARY_DIR}/visa32.def
               COPYONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/src/visa/visa_functions.h)

add_library(fwsim_visa32 SHARED ${CMAKE_CURRENT_LIST_DIR}/visa32.cpp
                                ${CMAKE_CURRENT_BINARY_DIR}/visa32.def)
target_link_libraries(fwsim_visa32 PRIVATE fwsim)
target_link_options(fwsim_visa32 PRIVATE -static -static-libgcc -static-libstdc++ -s)
set_target_properties(fwsim_visa32 PROPERTIES
  OUTPUT_NAME visa32
  PREFIX ""
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fwsim)
set(FWSIM_VISA32_DLL "$<TARGET_FILE:fwsim_visa32>" CACHE INTERNAL "path of the simulated visa32.dll")
