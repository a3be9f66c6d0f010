#!/usr/bin/env bash
# Builds the Qt for Windows that ./test --windows builds against, when no prebuilt one is at hand:
# Qt 6.4.2 qtbase (Core, Gui, Widgets, Test; the windows, offscreen and minimal platform plugins;
# bundled PNG, JPEG, zlib, freetype, harfbuzz and pcre2) cross-compiled for x86-64 Windows with
# Debian 12's mingw-w64 (posix threads), from Debian's own qt6-base source package, so that it
# matches the host Qt whose moc, rcc and uic it uses.
# Run as root on Debian 12 x86-64; 30 to 60 minutes on 2 cores. The result goes to $PREFIX
# (default: build/qt6-mingw in this project, where ./test --windows looks for it).
set -euo pipefail
project=$(cd "$(dirname "$0")/../.." && pwd)
WORK=${WORK:-$project/build/qt-src}
PREFIX=${PREFIX:-$project/build/qt6-mingw}
JOBS=${JOBS:-$(nproc)}
SRC="$WORK/qt6-base-6.4.2+dfsg"
BUILD="$WORK/build"
export DEBIAN_FRONTEND=noninteractive

# 1. The cross compiler, the host Qt of the same version, and the tools. apt-get source needs a
#    deb-src entry: one for the archive the machine already uses is added when there is none.
if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  uri=$(grep -hE '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1 | awk '{print $2}')
  [ -n "$uri" ] || uri=$(grep -hE '^deb ' /etc/apt/sources.list 2>/dev/null | head -n 1 | awk '{print $2}')
  [ -n "$uri" ] || { echo "No Debian archive found in the apt sources." >&2; exit 1; }
  printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" > /etc/apt/sources.list.d/bookworm-src.sources
fi
apt-get update -qq || true
apt-get install -y -qq --no-install-recommends --no-upgrade \
  dpkg-dev xz-utils perl python3 cmake ninja-build \
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  qt6-base-dev qt6-base-dev-tools

# 2. Debian's source, its patches applied by dpkg-source.
mkdir -p "$WORK"
cd "$WORK"
[ -d "$SRC" ] || apt-get source qt6-base=6.4.2+dfsg-10 || apt-get source qt6-base
test -d "$SRC"

# 3. Configure a shared release qtbase with only what this program and its tests use.
#  - tabletevent off: Debian's +dfsg source drops the Wintab headers the windows plugin would need.
#  - directwrite3 off: with direct2d off, Qt 6.4.2's windows plugin still refers to the DirectWrite
#    font database that Gui then leaves out, and fails to link; GDI fonts serve instead.
#  - PCRE2 without JIT: its per-thread JIT stack is a thread_local, and mingw-w64 runs that
#    destructor after freeing its storage, so any thread that used a regular expression (QDir name
#    filters do) crashed as it ended (msys2 MINGW-packages#2519, GCC PR 80816).
rm -rf "$BUILD" "$PREFIX"
start=$(date +%s)
cmake -S "$SRC" -B "$BUILD" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$project/tools/windows/mingw-toolchain.cmake" -DQT_MINGW_PREFIX="$PREFIX" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF -DQT_BUILD_MANUAL_TESTS=OFF \
  -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF \
  -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_printsupport=OFF \
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_testlib=ON \
  -DFEATURE_icu=OFF -DFEATURE_pkg_config=OFF -DFEATURE_zstd=OFF -DFEATURE_androiddeployqt=OFF \
  -DFEATURE_tabletevent=OFF -DFEATURE_directwrite3=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
  -DFEATURE_system_doubleconversion=OFF \
  -DFEATURE_jpeg=ON -DFEATURE_png=ON -DFEATURE_freetype=ON \
  -DCMAKE_C_FLAGS=-DPCRE2_DISABLE_JIT > "$WORK/configure.log"

# 4. Build and install.
nice -n 10 cmake --build "$BUILD" --parallel "$JOBS" > "$WORK/build.log"
cmake --install "$BUILD" --strip > /dev/null
end=$(date +%s)
echo "Qt for Windows in $PREFIX, built in $(( (end - start) / 60 )) min $(( (end - start) % 60 )) s"
