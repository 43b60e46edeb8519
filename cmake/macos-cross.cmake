# Cross build for macOS from Linux: clang for arm64-apple-macos, the macOS SDK
# given in TAVIREL_MACOS_SDK as sysroot, and lld's Mach-O linker. It proves
# that the macOS program compiles and links; it does not run it.
#   cmake -S . -B build-macos -DCMAKE_TOOLCHAIN_FILE=cmake/macos-cross.cmake -DTAVIREL_MACOS_SDK=<sdk-root>
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR arm64)

# Try-compiles run in their own project and see the cache entry only if passed on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVIREL_MACOS_SDK TAVIREL_LD64 TAVIREL_MACOS_EXTRA_FRAMEWORKS
     TAVIREL_MACOS_EXTRA_CXX_INCLUDE)
if(NOT TAVIREL_MACOS_SDK AND DEFINED ENV{TAVIREL_MACOS_SDK})
  set(TAVIREL_MACOS_SDK "$ENV{TAVIREL_MACOS_SDK}")
endif()
if(NOT EXISTS "${TAVIREL_MACOS_SDK}/System/Library/Frameworks")
  message(FATAL_ERROR "TAVIREL_MACOS_SDK must name a macOS SDK (got '${TAVIREL_MACOS_SDK}')")
endif()
set(TAVIREL_MACOS_SDK "${TAVIREL_MACOS_SDK}" CACHE PATH "macOS SDK used as sysroot")
set(CMAKE_OSX_SYSROOT "${TAVIREL_MACOS_SDK}" CACHE PATH "")

# Debian names LLVM's tools after their version.
find_program(TAVIREL_LD64 NAMES ld64.lld ld64.lld-16 ld64.lld-15 ld64.lld-14 REQUIRED)
find_program(CMAKE_AR NAMES llvm-ar llvm-ar-16 llvm-ar-15 llvm-ar-14 REQUIRED)
find_program(CMAKE_RANLIB NAMES llvm-ranlib llvm-ranlib-16 llvm-ranlib-15 llvm-ranlib-14 REQUIRED)
find_program(CMAKE_INSTALL_NAME_TOOL NAMES llvm-install-name-tool llvm-install-name-tool-16
             llvm-install-name-tool-15 llvm-install-name-tool-14 REQUIRED)

find_program(TAVIREL_CLANG NAMES clang clang-16 clang-15 clang-14 REQUIRED)
find_program(TAVIREL_CLANGXX NAMES clang++ clang++-16 clang++-15 clang++-14 REQUIRED)
set(CMAKE_C_COMPILER ${TAVIREL_CLANG})
set(CMAKE_CXX_COMPILER ${TAVIREL_CLANGXX})
set(CMAKE_OBJCXX_COMPILER ${TAVIREL_CLANGXX})
# The target names the same system as the deployment target, 14.0 unless given.
if(CMAKE_OSX_DEPLOYMENT_TARGET)
  set(minos ${CMAKE_OSX_DEPLOYMENT_TARGET})
else()
  set(minos 14.0)
endif()
foreach(lang C CXX OBJCXX)
  set(CMAKE_${lang}_COMPILER_TARGET arm64-apple-macos${minos})
endforeach()
# Off a Mac clang assumes an old ld64 unless told the linker's version; from
# 520 on it passes -platform_version, the only form lld accepts. Debian's clang
# would look for libstdc++ even for Apple targets.
set(link_flags "--ld-path=${TAVIREL_LD64} -mlinker-version=711 -stdlib=libc++")
set(compile_flags "")
# A partial SDK's missing frameworks (headers and stubs) may be supplied in a
# folder of their own, as system frameworks.
if(TAVIREL_MACOS_EXTRA_FRAMEWORKS)
  set(compile_flags "-iframework ${TAVIREL_MACOS_EXTRA_FRAMEWORKS}")
  string(APPEND link_flags " -F${TAVIREL_MACOS_EXTRA_FRAMEWORKS}")
endif()
# So may the C++ library headers an older SDK's libc++ lacks, in a folder
# searched before the SDK's own (scripts/check-macos: scripts/macos-check/libc++).
set(cxx_flags "-stdlib=libc++ ${compile_flags}")
if(TAVIREL_MACOS_EXTRA_CXX_INCLUDE)
  string(APPEND cxx_flags " -isystem ${TAVIREL_MACOS_EXTRA_CXX_INCLUDE}")
endif()
set(CMAKE_C_FLAGS_INIT "${compile_flags}")
set(CMAKE_CXX_FLAGS_INIT "${cxx_flags}")
set(CMAKE_OBJCXX_FLAGS_INIT "${cxx_flags}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${link_flags}")

# Headers and libraries come from the SDK only; programs from the host.
set(CMAKE_FIND_ROOT_PATH "${TAVIREL_MACOS_SDK}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
