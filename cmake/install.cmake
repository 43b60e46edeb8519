# Installs like a Debian tool and packs three .debs from one cpack run, split
# as Debian splits a library from its tools: the helper the application ships
# needs the sound libraries only, tva1 brings libsndfile, and the simulated
# build comes with its documentation and sample scenarios. tavirel-audio is
# started by the application, never typed, so it lives in libexec with the
# simulated build beside it; tva1 is for people.
include(GNUInstallDirs)
set(TAVIREL_HELPER_DIR ${CMAKE_INSTALL_LIBEXECDIR}/tavirel)
set(doc_root ${CMAKE_INSTALL_DATADIR}/doc)
# What programs and tests read (the schemas, the scenarios and their
# recordings) lives outside /usr/share/doc, which slim images drop.
set(TAVIREL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/tavirel-audio)

# A program, stripped for a package as Debian strips it: without the
# compiler's .comment, which nothing at run time reads.
function(tavirel_install_program target destination component)
  install(TARGETS ${target} RUNTIME DESTINATION ${destination} COMPONENT ${component})
  if(CMAKE_OBJCOPY)
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/${target}\" COMMAND_ERROR_IS_FATAL ANY)
endif()" COMPONENT ${component})
  endif()
endfunction()

# A document as its package holds it: each link of the source tree becomes
# the link that resolves in the package, or, for a file another package
# holds, that file's installed path. ARGN: pairs of link and replacement.
function(tavirel_install_doc source package component)
  file(READ ${source} text)
  set(pairs ${ARGN})
  while(pairs)
    list(POP_FRONT pairs from to)
    string(FIND "${text}" "${from}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${source} no longer holds the link ${from}")
    endif()
    string(REPLACE "${from}" "${to}" text "${text}")
  endwhile()
  get_filename_component(name ${source} NAME)
  file(WRITE ${CMAKE_BINARY_DIR}/package/${package}/${name} "${text}")
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${source})
  install(FILES ${CMAKE_BINARY_DIR}/package/${package}/${name} DESTINATION ${doc_root}/${package} COMPONENT ${component})
endfunction()
set(tools_doc "/usr/share/doc/tavirel-audio-tools")
set(data /usr/share/tavirel-audio)

tavirel_install_program(tavirel-audio ${TAVIREL_HELPER_DIR} helper)
tavirel_install_doc(README.md tavirel-audio helper
  "[docs/protocol.md](docs/protocol.md)" "[protocol.md](protocol.md)"
  "[docs/tva1.md](docs/tva1.md)" "`${tools_doc}/tva1.md` (tavirel-audio-tools)"
  "[docs/simulation.md](docs/simulation.md)" "`/usr/share/doc/tavirel-audio-sim/simulation.md` (tavirel-audio-sim)"
  "[examples/](examples/)" "`${tools_doc}/examples/` (tavirel-audio-tools)")
tavirel_install_doc(docs/protocol.md tavirel-audio helper
  "[`schema/`](schema/)" "[`${data}/schema/`](../../tavirel-audio/schema/)"
  "[`schema/check.schema.json`](schema/check.schema.json)"
  "[`${data}/schema/check.schema.json`](../../tavirel-audio/schema/check.schema.json)"
  "[`../examples/`](../examples/)" "`${tools_doc}/examples/` (tavirel-audio-tools)"
  "[`simulation.md`](simulation.md)" "`/usr/share/doc/tavirel-audio-sim/simulation.md` (tavirel-audio-sim)"
  "[`examples/scenarios/stage.json`](../examples/scenarios/stage.json)" "`${data}/scenarios/stage.json` (tavirel-audio-sim)")
install(DIRECTORY docs/schema DESTINATION ${TAVIREL_DATA_DIR} COMPONENT helper)

# The readers to start from go with the tools: people write their parent
# from them, as they take tva1 to look at its stream.
tavirel_install_program(tva1 ${CMAKE_INSTALL_BINDIR} tools)
install(FILES docs/tva1.md docs/meter.png docs/filter-response.png
        DESTINATION ${doc_root}/tavirel-audio-tools COMPONENT tools)
install(FILES examples/python/listen.py examples/python/tavirel_audio.py examples/python/line_check.py
        DESTINATION ${doc_root}/tavirel-audio-tools/examples/python COMPONENT tools)
install(FILES examples/cpp/tva1_reader.cpp examples/cpp/line_check.cpp DESTINATION ${doc_root}/tavirel-audio-tools/examples/cpp COMPONENT tools)

# The scenarios name their recordings relative to themselves, so the folder
# goes as it is; docs/simulation.md says where.
tavirel_install_program(tavirel-audio-sim ${TAVIREL_HELPER_DIR} sim)
tavirel_install_doc(docs/simulation.md tavirel-audio-sim sim
  "[`examples/scenarios/`](../examples/scenarios/)" "[`${data}/scenarios/`](../../tavirel-audio/scenarios/)"
  "[`protocol.md`](protocol.md)" "`/usr/share/doc/tavirel-audio/protocol.md` (tavirel-audio)")
install(DIRECTORY examples/scenarios DESTINATION ${TAVIREL_DATA_DIR} COMPONENT sim)

# Every package carries the licence as a machine-readable copyright file and
# the changelog made from CHANGELOG.md, whose newest entry must be this version.
file(STRINGS CHANGELOG.md newest REGEX "^## " LIMIT_COUNT 1)
if(NOT newest MATCHES "^## ${PROJECT_VERSION} ")
  message(FATAL_ERROR "CHANGELOG.md begins with \"${newest}\", not an entry for ${PROJECT_VERSION}")
endif()
set(TAVIREL_MAINTAINER "Tavirel developers <audio@tavirel.app>")
file(READ LICENSE licence_text)
string(REGEX REPLACE "^MIT License\n\nCopyright \\(c\\) [^\n]*\n\n" "" licence_text "${licence_text}")
string(REGEX REPLACE "\n\n" "\n.\n" licence_text "${licence_text}")
string(REGEX REPLACE "\n([^\n])" "\n \\1" licence_text "${licence_text}")
configure_file(cmake/copyright.in ${CMAKE_BINARY_DIR}/package/copyright @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/package/changelog.gz
  COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_SOURCE_DIR}/CHANGELOG.md -DOUT=${CMAKE_BINARY_DIR}/package/changelog
          -DPACKAGE=${PROJECT_NAME} -DMAINTAINER=${TAVIREL_MAINTAINER} -P ${CMAKE_SOURCE_DIR}/cmake/debian-changelog.cmake
  COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/package/changelog
  DEPENDS ${CMAKE_SOURCE_DIR}/CHANGELOG.md ${CMAKE_SOURCE_DIR}/cmake/debian-changelog.cmake VERBATIM)
add_custom_target(package-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/package/changelog.gz)
set(packages helper tavirel-audio tools tavirel-audio-tools sim tavirel-audio-sim)
while(packages)
  list(POP_FRONT packages component package)
  install(FILES ${CMAKE_BINARY_DIR}/package/copyright ${CMAKE_BINARY_DIR}/package/changelog.gz
          DESTINATION ${doc_root}/${package} COMPONENT ${component})
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
endwhile()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL helper tools sim)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TAVIREL_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tavirel.app")
# A description's first line is its synopsis; the rest is at most 80 columns.
set(CPACK_DEBIAN_HELPER_DESCRIPTION "mixing-console capture helper for Tavirel live transcription
The audio process the Tavirel application starts as a child process: it lists
audio inputs and MIDI destinations and streams chosen console channels as
16 kHz 16-bit TVA1 frames, over PipeWire or ALSA.")
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "tools for Tavirel TVA1 audio streams
tva1 encodes audio into the TVA1 frame stream tavirel-audio writes, and meters,
plays and converts such streams to WAV or FLAC files.")
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_SIM_DESCRIPTION "simulated Tavirel capture helper, for testing applications
tavirel-audio-sim is tavirel-audio over a simulated machine described by a JSON
scenario: consoles, signals, MIDI destinations and faults, without hardware.")
set(CPACK_DEBIAN_SIM_PACKAGE_SECTION devel)
include(CPack)
