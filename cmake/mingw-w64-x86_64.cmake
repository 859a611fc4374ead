# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake -DKESTREL_GUI=OFF
# The programs are linked statically, so a .exe needs no DLL beside it. When Wine is installed,
# the tests and the programs built here run under it (ctest, gtest_discover_tests): each build
# tree has a Wine prefix of its own, and Wine is kept from opening windows or installing add-ons.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
# The posix thread model: the C++ library's threads and mutexes exist only in it with GCC 12.
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

find_program(KESTREL_WINE NAMES wine)
if(KESTREL_WINE)
  set(KESTREL_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  # Without a display Wine runs console programs as they are; mscoree and mshtml switched off
  # keep it from offering to install its .NET and browser add-ons when it sets up the prefix.
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
      WINEPREFIX=${KESTREL_WINE_PREFIX} WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
      ${KESTREL_WINE})
endif()
