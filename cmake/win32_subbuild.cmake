# The win32 flavour, built from this same tree with the mingw toolchain.
include(ExternalProject)
set(SXE_WIN32_BINARY_DIR ${CMAKE_BINARY_DIR}/win32)
ExternalProject_Add(win32
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${SXE_WIN32_BINARY_DIR}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
             -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DSXE_TESTS=${SXE_TESTS}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  USES_TERMINAL_BUILD ON)
install(PROGRAMS ${SXE_WIN32_BINARY_DIR}/pack/sxe-pack.exe DESTINATION bin)
install(FILES ${SXE_WIN32_BINARY_DIR}/sxe-launcher.exe ${SXE_WIN32_BINARY_DIR}/inflate/inflate.dll
        DESTINATION lib/sxe/win32)
