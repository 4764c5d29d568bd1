# fwtool as a Debian package (Linux build): `make deb` gives build/deb/fwtool_<version>_amd64.deb
# with /usr/bin/fwtool, the udev rule that opens the instrument's USBTMC nodes to its users,
# a man page made from `fwtool --help` and the operators' part of the README.
file(STRINGS ${PROJECT_SOURCE_DIR}/src/firmware/model_catalogue.cpp FWU_VERSION_LINE
     REGEX "UTILITY_VERSION\\[\\] = ")
string(REGEX MATCH "[0-9][0-9.]*" FWU_VERSION "${FWU_VERSION_LINE}")

set(FWU_DEB_FILES ${CMAKE_BINARY_DIR}/deb_files)
find_program(HELP2MAN help2man REQUIRED)
add_custom_command(
  OUTPUT ${FWU_DEB_FILES}/fwtool.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${FWU_DEB_FILES}
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/man_commands.sh $<TARGET_FILE:fwtool>
          ${FWU_DEB_FILES}/commands.h2m
  COMMAND ${HELP2MAN} --no-info --section 1 --name "check, pack and write K4417F firmware"
          --include ${FWU_DEB_FILES}/commands.h2m --output ${FWU_DEB_FILES}/fwtool.1
          $<TARGET_FILE:fwtool>
  COMMAND gzip -9nf ${FWU_DEB_FILES}/fwtool.1
  DEPENDS fwtool ${CMAKE_CURRENT_LIST_DIR}/man_commands.sh
  VERBATIM)
add_custom_command(
  OUTPUT ${FWU_DEB_FILES}/README.md
  COMMAND ${CMAKE_COMMAND} -E make_directory ${FWU_DEB_FILES}
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/operator_readme.sh ${PROJECT_SOURCE_DIR}/README.md
          ${FWU_DEB_FILES}/README.md
  DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_LIST_DIR}/operator_readme.sh
  VERBATIM)
add_custom_target(deb_files ALL DEPENDS ${FWU_DEB_FILES}/fwtool.1.gz ${FWU_DEB_FILES}/README.md)

install(TARGETS fwtool RUNTIME DESTINATION bin)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/60-k4417f-usbtmc.rules DESTINATION lib/udev/rules.d)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/fwtool-tmpfiles.conf DESTINATION lib/tmpfiles.d
        RENAME fwtool.conf)
install(FILES ${FWU_DEB_FILES}/fwtool.1.gz DESTINATION share/man/man1)
install(FILES ${FWU_DEB_FILES}/README.md DESTINATION share/doc/fwtool)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fwtool)
set(CPACK_PACKAGE_VERSION ${FWU_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "K4417F firmware maintainers <maintainers@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "K4417F firmware update from the command line")
set(CPACK_PACKAGE_DESCRIPTION "fwtool checks and packs K4417F firmware revision files, and \
lists and updates K4417F instruments through a vendor VISA library or the kernel's own \
USBTMC driver.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
