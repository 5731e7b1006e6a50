# Cross-compiles for 64-bit Windows with Debian's MinGW-w64, against the libraries that
# scripts/windows-deps builds (Qt, OpenSSL, libssh, SQLite) into a cache outside the tree.
#
# Where that cache is, first match wins:
#   ZUDUVOR_WINDOWS_DEPS_FILE, a file that sets ZUDUVOR_WINDOWS_DEPS (the `windows` preset
#     names build/windows-deps.cmake, which scripts/windows-deps writes after each run);
#   the environment variable ZUDUVOR_WINDOWS_DEPS;
#   -DZUDUVOR_WINDOWS_DEPS=DIR (or the value cached by an earlier configure).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix-thread variants: Debian's plain x86_64-w64-mingw32-g++ is the win32-thread one,
# whose GCC 12 has no std::thread or std::mutex.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(ZUDUVOR_WINDOWS_DEPS_FILE AND EXISTS "${ZUDUVOR_WINDOWS_DEPS_FILE}")
  # Read on every configure, so a rebuilt cache (a new key) is picked up by an old build folder.
  include("${ZUDUVOR_WINDOWS_DEPS_FILE}")
elseif(DEFINED ENV{ZUDUVOR_WINDOWS_DEPS})
  set(ZUDUVOR_WINDOWS_DEPS "$ENV{ZUDUVOR_WINDOWS_DEPS}")
endif()
if(NOT ZUDUVOR_WINDOWS_DEPS)
  message(FATAL_ERROR "The Windows libraries are not built yet: run bash scripts/windows-deps")
endif()
set(ZUDUVOR_WINDOWS_DEPS "${ZUDUVOR_WINDOWS_DEPS}" CACHE PATH "Prefix of the cross-built Windows libraries" FORCE)
# try_compile projects read this file again; they need the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZUDUVOR_WINDOWS_DEPS ZUDUVOR_WINDOWS_DEPS_FILE)

# Libraries, headers and CMake packages come only from the cache and MinGW's own tree
# (zlib from libz-mingw-w64-dev); programs (moc, uic, windres) always from the host.
set(CMAKE_FIND_ROOT_PATH "${ZUDUVOR_WINDOWS_DEPS}" /usr/x86_64-w64-mingw32)
list(APPEND CMAKE_PREFIX_PATH "${ZUDUVOR_WINDOWS_DEPS}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt's host tools come from Debian's own Qt of the same version (qt6-base-dev-tools).
set(QT_HOST_PATH /usr CACHE PATH "Host Qt for moc, uic and rcc")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "CMake packages of the host Qt")

# OpenSSL is linked statically: its Windows system libraries go at the end of every link
# line (CMake's MinGW defaults plus sockets, certificates and the random source).
set(_zuduvor_win_libs "-lkernel32 -luser32 -lgdi32 -lwinspool -lshell32 -lole32 -loleaut32 -luuid -lcomdlg32 -ladvapi32 -lws2_32 -lcrypt32 -lbcrypt")
set(CMAKE_C_STANDARD_LIBRARIES "${_zuduvor_win_libs}" CACHE STRING "Libraries linked into every C program")
set(CMAKE_CXX_STANDARD_LIBRARIES "${_zuduvor_win_libs}" CACHE STRING "Libraries linked into every C++ program")
set(OPENSSL_USE_STATIC_LIBS TRUE)
