# What a Windows build finds: Qt for Windows (TORV_QT_WIN, through the toolchain
# file), the static libjpeg-turbo cross-built into TORV_WIN_DEPS, and GoogleTest
# compiled from Debian's source with the same compiler (there is no prebuilt
# one for mingw). scripts/windows.sh configures with all of them.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets PrintSupport)
find_package(JPEG REQUIRED)

set(TORV_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source, compiled for the Windows tests")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
# Its own CMake names the targets GTest::gtest and GTest::gtest_main, as Linux's package does.
add_subdirectory(${TORV_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# A program's icon and version resource: torv_windows_resource(TARGET "description").
function(torv_windows_resource target description)
  set(TORV_RC_ICON ${PROJECT_SOURCE_DIR}/assets/icon_program.ico)
  set(TORV_RC_NAME ${target})
  set(TORV_RC_DESCRIPTION ${description})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
endfunction()
