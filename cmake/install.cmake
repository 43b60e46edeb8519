# Installs like a Debian tool and packs a .deb whose dependencies come from
# the binaries. tavirel-audio is started by the application, never typed, so
# it lives in libexec with the simulated build beside it; tva1 is for people.
include(GNUInstallDirs)
set(TAVIREL_HELPER_DIR ${CMAKE_INSTALL_LIBEXECDIR}/tavirel)
install(TARGETS tavirel-audio tavirel-audio-sim RUNTIME DESTINATION ${TAVIREL_HELPER_DIR})
install(TARGETS tva1 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR} FILES_MATCHING PATTERN "*.md" PATTERN "*.png"
        PATTERN "man" EXCLUDE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tavirel developers <audio@tavirel.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "mixing-console capture helper for Tavirel live transcription")
set(CPACK_PACKAGE_DESCRIPTION "The audio process the Tavirel application starts to stream chosen console
channels as 16 kHz TVA1 frames, and tva1, which meters, plays and converts those streams.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
