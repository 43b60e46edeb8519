# The macOS program: the core over the system frameworks, the Objective-C host
# services, the bundle information embedded in the executable (macOS asks the
# user for the microphone only when it finds the usage text), and a signature
# with the hardened runtime and our entitlements. Nothing is linked but the
# system's libraries and frameworks.
enable_language(OBJCXX)

tavirel_library(tavirel_platform_macos platform/macos/authorization.mm platform/macos/main_loop.mm
                platform/macos/system_log.mm)
target_compile_options(tavirel_platform_macos PRIVATE -fobjc-arc)
target_link_libraries(tavirel_platform_macos PUBLIC "-framework CoreAudio" "-framework AudioToolbox"
  "-framework CoreMIDI" "-framework CoreFoundation" "-framework AVFoundation" "-framework Foundation")

# The plist the executable embeds: the template with the project's version
# filled in, at <build>/Info.plist. scripts/check-macos reads this entry to
# compare it with the linked section.
configure_file(${CMAKE_SOURCE_DIR}/platform/macos/Info.plist.in ${CMAKE_BINARY_DIR}/Info.plist @ONLY)
set(TAVIREL_EMBEDDED_PLIST ${CMAKE_BINARY_DIR}/Info.plist CACHE INTERNAL
    "Info.plist embedded in __TEXT,__info_plist")
target_link_options(tavirel_platform_macos INTERFACE
  "LINKER:-sectcreate,__TEXT,__info_plist,${TAVIREL_EMBEDDED_PLIST}")

add_executable(tavirel-audio main/tavirel-audio.cpp)
target_link_libraries(tavirel-audio PRIVATE tavirel_core tavirel_platform_macos)
tavirel_warnings(tavirel-audio)
set_property(TARGET tavirel-audio APPEND PROPERTY LINK_DEPENDS ${TAVIREL_EMBEDDED_PLIST})

# Ad hoc ("-") lets a local build run; a release names a Developer ID
# Application identity and gets a secure timestamp, which notarisation needs.
set(TAVIREL_CODESIGN_IDENTITY "-" CACHE STRING "codesign identity: - for ad hoc, or a Developer ID Application")
set(TAVIREL_ENTITLEMENTS ${CMAKE_SOURCE_DIR}/platform/macos/tavirel-audio.entitlements)
if(CMAKE_CROSSCOMPILING)
  find_program(TAVIREL_CODESIGN codesign)
else()
  find_program(TAVIREL_CODESIGN codesign REQUIRED)
endif()
if(TAVIREL_CODESIGN)
  set(sign_options --force --sign "${TAVIREL_CODESIGN_IDENTITY}" --options runtime
      --entitlements ${TAVIREL_ENTITLEMENTS})
  if(NOT TAVIREL_CODESIGN_IDENTITY STREQUAL "-")
    list(APPEND sign_options --timestamp)
  endif()
  add_custom_command(TARGET tavirel-audio POST_BUILD
    COMMAND ${TAVIREL_CODESIGN} ${sign_options} $<TARGET_FILE:tavirel-audio> VERBATIM)
  set_property(TARGET tavirel-audio APPEND PROPERTY LINK_DEPENDS ${TAVIREL_ENTITLEMENTS})
else()
  message(STATUS "codesign not found: tavirel-audio is left unsigned (cross build)")
endif()

# The unit tests that need no simulated machine, the Core Foundation text
# services among them (their keys are shared with the ICU ones), run wherever
# GoogleTest is at hand (e.g. Homebrew's). Their list and the support they
# link come from tests/unit_tests.cmake, as on Linux. A cross build
# (scripts/check-macos) cannot run them, so ctest lists them when it runs.
if(TAVIREL_TESTS)
  find_package(GTest QUIET)
  if(GTest_FOUND)
    enable_testing()
    include(GoogleTest)
    include(${CMAKE_SOURCE_DIR}/tests/unit_tests.cmake)
    add_executable(unit_tests ${tavirel_portable_unit_tests})
    target_link_libraries(unit_tests PRIVATE tavirel_core tavirel_platform_macos tavirel_unit_support
                          GTest::gtest_main)
    tavirel_warnings(unit_tests)
    if(CMAKE_CROSSCOMPILING)
      gtest_discover_tests(unit_tests DISCOVERY_MODE PRE_TEST)
    else()
      gtest_discover_tests(unit_tests)
    endif()
  endif()
endif()
