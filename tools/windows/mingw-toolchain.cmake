# Cross-compiling for x86-64 Windows with Debian's mingw-w64 (posix threads) against a MinGW Qt:
# the prebuilt one unpacked by ./test --windows, or one that build-qt.sh built (which also uses this
# file to build that Qt). Say where that Qt is, once, when configuring:
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=<this file> -DQT_MINGW_PREFIX=<unpacked qt6-mingw>
# (or set the environment variable QT_MINGW_PREFIX). Host tools (moc, rcc, uic) are Debian's Qt 6.4.2.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 10)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   /usr/bin/${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER  /usr/bin/${_mingw}-windres)
set(CMAKE_AR     /usr/bin/${_mingw}-ar     CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${_mingw}-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP  /usr/bin/${_mingw}-strip  CACHE FILEPATH "")
set(CMAKE_NM      /usr/bin/${_mingw}-nm      CACHE FILEPATH "")
set(CMAKE_OBJCOPY /usr/bin/${_mingw}-objcopy CACHE FILEPATH "")
set(CMAKE_OBJDUMP /usr/bin/${_mingw}-objdump CACHE FILEPATH "")
if(NOT QT_MINGW_PREFIX AND DEFINED ENV{QT_MINGW_PREFIX})
  set(QT_MINGW_PREFIX "$ENV{QT_MINGW_PREFIX}")
endif()
if(NOT QT_MINGW_PREFIX)
  message(FATAL_ERROR "Set QT_MINGW_PREFIX to the unpacked MinGW Qt (the folder holding lib/cmake/Qt6).")
endif()
set(QT_MINGW_PREFIX "${QT_MINGW_PREFIX}" CACHE PATH "The MinGW Qt to build against")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QT_MINGW_PREFIX)
# The static SQLite and zlib (and libarchive, liblzma) that build-deps.sh makes, unpacked by
# ./test --windows into build/deps-mingw.
if(NOT QUORVANE_MINGW_DEPS AND DEFINED ENV{QUORVANE_MINGW_DEPS})
  set(QUORVANE_MINGW_DEPS "$ENV{QUORVANE_MINGW_DEPS}")
endif()
set(QUORVANE_MINGW_DEPS "${QUORVANE_MINGW_DEPS}" CACHE PATH "The MinGW builds of SQLite, zlib, libarchive and liblzma")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVANE_MINGW_DEPS)
# Target headers, libraries and CMake packages only from those libraries, the MinGW sysroot and that Qt; programs
# (host tools) only from the host.
set(CMAKE_FIND_ROOT_PATH ${QUORVANE_MINGW_DEPS} /usr/${_mingw} ${QT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Debian keeps the host Qt's CMake files in lib/<triplet>/cmake.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
