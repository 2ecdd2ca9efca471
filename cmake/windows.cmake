# What a Windows build finds: Qt for Windows (TORV_QT_WIN, through the toolchain
# file), the static libjpeg-turbo cross-built into TORV_WIN_DEPS, and GoogleTest
# compiled from Debian's source with the same compiler (there is no prebuilt
# one for mingw). scripts/windows.sh configures with all of them.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets PrintSupport)
find_package(JPEG REQUIRED)

set(TORV_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source, compiled for the Windows tests")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${TORV_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# The toolchain's threads, exceptions and C++ runtime come as DLLs beside the
# programs (scripts/windows.sh bundles what they import).
add_library(GTest::gtest ALIAS gtest)
add_library(GTest::gtest_main ALIAS gtest_main)
