# Installation layout and the Debian package (cpack -G DEB in the build folder).
include(GNUInstallDirs)

set(_programs marrowgate-cli)
if(TARGET marrowgate)
  list(APPEND _programs marrowgate)
endif()
install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# An installed copy finds its message file here, not beside the program.
install(FILES ${CMAKE_SOURCE_DIR}/resources/marrowgate_msg.dat DESTINATION ${CMAKE_INSTALL_DATADIR}/marrowgate)
install(FILES ${CMAKE_SOURCE_DIR}/resources/marrowgate.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/marrowgate.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The manual page of marrowgate-cli, made from its --help and --version.
find_program(HELP2MAN help2man)
if(HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
  set(_man ${CMAKE_BINARY_DIR}/man/marrowgate-cli.1)
  add_custom_command(
    OUTPUT ${_man}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1
            --name=sort\ PADS\ ASCII\ part-type\ libraries\ into\ one\ library\ per\ key
            --output=${_man} $<TARGET_FILE:marrowgate-cli>
    COMMAND gzip -9nf ${_man}
    DEPENDS marrowgate-cli
    COMMENT "Writing the manual page of marrowgate-cli")
  add_custom_target(marrowgate_man ALL DEPENDS ${_man}.gz)
  install(FILES ${_man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME marrowgate)
set(CPACK_PACKAGE_VENDOR "Vorlane")
set(CPACK_PACKAGE_CONTACT "Vorlane <support@vorlane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Sorts PADS ASCII part-type libraries into one library per key")
set(CPACK_PACKAGE_DESCRIPTION
    "Marrowgate reads up to four PADS ASCII part-type library files and writes every part type out again, byte for byte, into new part-type libraries: one per first character of the part name, per logic family, per first PCB decal name, or per number of pads of the part's PCB decal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin (X11, Wayland) to show itself.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${MARROWGATE_SITE_URL}")
set(CPACK_STRIP_FILES ON)
include(CPack)
