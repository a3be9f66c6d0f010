# Sourced by ./run and ./test: installs the Debian packages that are missing, and nothing else.
need_packages() {
  if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "Not a Debian system: make sure these are installed: $*" >&2
    return 0
  fi
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Packages for building and for the program's own look (the form font); SQLite keeps what is known
# of each ROM, zlib sums them.
BUILD_PACKAGES=(cmake make g++ qt6-base-dev libjpeg-dev fonts-liberation libsqlite3-dev zlib1g-dev)

# Cross-building for Windows and running the result under Wine (./test --windows).
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 qt6-base-dev-tools xz-utils unzip)

# Prints the folder of a Qt for Windows (MinGW) in the build tree, unpacking the prebuilt one from
# ../shared/windows when it is there. Without either, says how to build one and fails.
windows_qt() {
  local qt=$PWD/build/qt6-mingw archive=../shared/windows/qt-6.4.2-mingw-w64-x86_64.tar.xz
  if [ ! -f "$qt/lib/cmake/Qt6/Qt6Config.cmake" ] || { [ -f "$archive" ] && [ "$archive" -nt "$qt/.unpacked" ]; }; then
    if [ ! -f "$archive" ]; then
      {
        echo "No Qt for Windows: neither $qt nor $archive exists."
        echo "Build one into $qt (30 to 60 minutes on 2 cores; Debian 12, as root) with"
        echo "  sudo tools/windows/build-qt.sh"
        echo "then run ./test --windows again."
      } >&2
      return 1
    fi
    echo "Unpacking the Qt for Windows into build/" >&2
    rm -rf "$qt"
    mkdir -p build
    tar -xJf "$archive" -C build
    touch "$qt/.unpacked"
  fi
  printf '%s\n' "$qt"
}

# Prints the folder of the Windows builds of SQLite and zlib (with libarchive and liblzma) in the
# build tree, unpacking the prebuilt archive from ../shared/windows when it is there. Without
# either, says how to build one and fails.
windows_deps() {
  local deps=$PWD/build/deps-mingw archive=../shared/windows/deps-mingw-w64-x86_64.tar.xz
  if [ ! -f "$deps/lib/libsqlite3.a" ] || { [ -f "$archive" ] && [ "$archive" -nt "$deps/.unpacked" ]; }; then
    if [ ! -f "$archive" ]; then
      {
        echo "No Windows libraries: neither $deps nor $archive exists."
        echo "Build them into $deps (2 to 3 minutes on 2 cores; Debian 12, as root) with"
        echo "  sudo PREFIX=$deps tools/windows/build-deps.sh"
        echo "then run ./test --windows again."
      } >&2
      return 1
    fi
    echo "Unpacking the Windows libraries into build/" >&2
    rm -rf "$deps"
    mkdir -p build
    tar -xJf "$archive" -C build
    touch "$deps/.unpacked"
  fi
  printf '%s\n' "$deps"
}
