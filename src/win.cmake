# The Windows program: FirmwareUpdate.exe (fully static, no console) with its help file
# UpdateUtilityHelp.chm beside it in ${CMAKE_BINARY_DIR}/bin.
enable_language(RC)

set(FWU_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
set(FWU_RES_DIR ${CMAKE_CURRENT_BINARY_DIR}/win_resources)

# The icon is drawn from a committed SVG in the sizes the shell asks for.
find_program(FWU_CONVERT convert REQUIRED)
add_custom_command(
  OUTPUT ${FWU_RES_DIR}/mainframe.ico
  COMMAND ${CMAKE_COMMAND} -E make_directory ${FWU_RES_DIR}
  COMMAND ${FWU_CONVERT} -background none ${CMAKE_CURRENT_SOURCE_DIR}/ui/win/mainframe.svg
          -define icon:auto-resize=48,32,16 ${FWU_RES_DIR}/mainframe.ico
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/win/mainframe.svg
  COMMENT "Drawing the program icon")

# The operators' help, compiled from help/ with chmcmd.
find_program(FWU_CHMCMD chmcmd REQUIRED)
file(GLOB FWU_HELP_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/help/*)
set(FWU_HELP_WORK ${CMAKE_CURRENT_BINARY_DIR}/help)
add_custom_command(
  OUTPUT ${FWU_BIN_DIR}/UpdateUtilityHelp.chm
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${FWU_HELP_WORK}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/help ${FWU_HELP_WORK}
  COMMAND ${CMAKE_COMMAND} -E chdir ${FWU_HELP_WORK} ${FWU_CHMCMD} --verbosity 1 UpdateUtilityHelp.hhp > ${CMAKE_CURRENT_BINARY_DIR}/chmcmd.log
  COMMAND ${CMAKE_COMMAND} -E make_directory ${FWU_BIN_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${FWU_HELP_WORK}/UpdateUtilityHelp.chm ${FWU_BIN_DIR}/UpdateUtilityHelp.chm
  DEPENDS ${FWU_HELP_SOURCES}
  COMMENT "Compiling the help file")
add_custom_target(FirmwareUpdateHelp DEPENDS ${FWU_BIN_DIR}/UpdateUtilityHelp.chm)

# The dialog and its Windows services; the program adds the start-up and the resources.
file(GLOB FWU_UI_WIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/win/*.cpp)
add_library(fw_ui_win STATIC ${FWU_UI_WIN_SOURCES})
target_link_libraries(fw_ui_win PUBLIC fw_ui fw_os fw_base_win comctl32 comdlg32 gdi32 user32 advapi32)

file(GLOB FWU_APP_WIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/app/win/*.cpp)
set(FWU_RC ${CMAKE_CURRENT_SOURCE_DIR}/ui/win/firmware_update.rc)
# The script is UTF-8 (Chinese text, full-width colons).
set_source_files_properties(${FWU_RC} PROPERTIES COMPILE_OPTIONS "-c65001"
  OBJECT_DEPENDS "${FWU_RES_DIR}/mainframe.ico;${CMAKE_CURRENT_SOURCE_DIR}/ui/win/firmware_update.manifest;${CMAKE_CURRENT_SOURCE_DIR}/ui/control_ids.h")

add_executable(FirmwareUpdate WIN32 ${FWU_APP_WIN_SOURCES} ${FWU_RC})
target_include_directories(FirmwareUpdate PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${FWU_RES_DIR}
                           ${CMAKE_CURRENT_SOURCE_DIR}/ui/win)
target_link_libraries(FirmwareUpdate PRIVATE fw_ui_win fwcore fw_visa_win ws2_32)
# -municode: the entry point is wWinMain, as the whole dialog layer is UTF-16.
target_compile_options(FirmwareUpdate PRIVATE -municode)
target_link_options(FirmwareUpdate PRIVATE -static -mwindows -municode)
set_target_properties(FirmwareUpdate PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${FWU_BIN_DIR})
add_dependencies(FirmwareUpdate FirmwareUpdateHelp)
