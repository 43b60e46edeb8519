# What every build of the unit tests takes from one place: the Linux build
# (tests/CMakeLists.txt) and the macOS build (cmake/macos.cmake) both include
# this file, so a unit test that needs a support source gets it on both at
# once, and scripts/check-macos links the macOS set on Linux.

# The unit tests that need no simulated machine: they run on every platform,
# against the system frameworks on macOS.
set(tavirel_portable_unit_tests
  ${CMAKE_CURRENT_LIST_DIR}/unit/test_args.cpp ${CMAKE_CURRENT_LIST_DIR}/unit/test_biquad.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unit/test_control_line.cpp ${CMAKE_CURRENT_LIST_DIR}/unit/test_events.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unit/test_frame_format.cpp ${CMAKE_CURRENT_LIST_DIR}/unit/test_process_end.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unit/test_resampler.cpp ${CMAKE_CURRENT_LIST_DIR}/unit/test_ring.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unit/test_run_options.cpp ${CMAKE_CURRENT_LIST_DIR}/unit/test_unicode_match.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unit/test_work_queue.cpp)

# The support sources the unit tests link, on every platform: GoogleTest and
# the C++ library only (the process runner, which the process tests use, is
# Linux's; tests/CMakeLists.txt adds it).
add_library(tavirel_unit_support STATIC ${CMAKE_CURRENT_LIST_DIR}/support/tva1_samples.cpp)
target_include_directories(tavirel_unit_support PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavirel_unit_support PUBLIC GTest::gtest)
tavirel_warnings(tavirel_unit_support)
