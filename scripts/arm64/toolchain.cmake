# Cross-compiles for 64-bit ARM Linux (Debian 12 arm64, 64-bit Raspberry Pi
# OS) with Debian's cross compiler. The libraries, Qt's among them, come from
# an arm64 Debian root given as KOLVEX_ARM64_ROOT (scripts/test-arm64.sh
# makes one with debootstrap).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

if(NOT KOLVEX_ARM64_ROOT)
    set(KOLVEX_ARM64_ROOT "$ENV{KOLVEX_ARM64_ROOT}")
endif()
if(NOT IS_DIRECTORY "${KOLVEX_ARM64_ROOT}/usr/lib/aarch64-linux-gnu")
    message(FATAL_ERROR "KOLVEX_ARM64_ROOT (\"${KOLVEX_ARM64_ROOT}\") is no arm64 Debian root")
endif()
# try_compile projects see the root too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KOLVEX_ARM64_ROOT)
set(CMAKE_SYSROOT "${KOLVEX_ARM64_ROOT}")
set(CMAKE_FIND_ROOT_PATH "${KOLVEX_ARM64_ROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The strip of the cross binutils, which the arm64 root has under the same name.
set(CMAKE_STRIP /usr/bin/aarch64-linux-gnu-strip)

# Qt's code generators run on the build machine: the host's moc, rcc and uic
# (the same Qt release) stand in for the arm64 ones of the root, which would
# run under emulation.
set(CMAKE_PROJECT_INCLUDE "${CMAKE_CURRENT_LIST_DIR}/host-qt-tools.cmake")
