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
BUILD_PACKAGES=(cmake make g++ qt6-base-dev libjpeg-dev fonts-liberation libsqlite3-dev zlib1g-dev libarchive-dev)

# The real emulators the real-window tests start: Debian's FCEUX, RetroArch and its Nestopia
# core, and the session bus RetroArch needs.
EMULATOR_PACKAGES=(fceux retroarch libretro-nestopia dbus-daemon)

# Cross-building for Windows and running the result under Wine (./test --windows).
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 qt6-base-dev-tools xz-utils unzip)

# Prints folder (in build/), unpacking archive (from ../shared/windows) into build/ first when
# folder lacks probe or the archive is newer. Without either, prints how to build it and fails.
#   unpack_prebuilt FOLDER PROBE ARCHIVE WHAT HOW-TO-BUILD
unpack_prebuilt() {
  local folder=$1 probe=$2 archive=$3 what=$4 build=$5
  if [ ! -f "$folder/$probe" ] || { [ -f "$archive" ] && [ "$archive" -nt "$folder/.unpacked" ]; }; then
    if [ ! -f "$archive" ]; then
      {
        echo "No $what: neither $folder nor $archive exists."
        echo "Build it into $folder (Debian 12, as root) with"
        echo "  $build"
        echo "then run ./test --windows again."
      } >&2
      return 1
    fi
    echo "Unpacking the $what into build/" >&2
    rm -rf "$folder"
    mkdir -p build
    tar -xJf "$archive" -C build
    touch "$folder/.unpacked"
  fi
  printf '%s\n' "$folder"
}

# A Qt for Windows (MinGW); building one takes 30 to 60 minutes on 2 cores.
windows_qt() {
  unpack_prebuilt "$PWD/build/qt6-mingw" lib/cmake/Qt6/Qt6Config.cmake ../shared/windows/qt-6.4.2-mingw-w64-x86_64.tar.xz \
    "Qt for Windows" "sudo tools/windows/build-qt.sh"
}

# The Windows builds of SQLite and zlib (with libarchive and liblzma); 2 to 3 minutes to build.
windows_deps() {
  unpack_prebuilt "$PWD/build/deps-mingw" lib/libsqlite3.a ../shared/windows/deps-mingw-w64-x86_64.tar.xz \
    "Windows libraries" "sudo PREFIX=$PWD/build/deps-mingw tools/windows/build-deps.sh"
}
