# Sourced: what a Windows program built here needs to run under Wine.
#   wine_env QT_PREFIX WINE_PREFIX
# Its DLLs come from the MinGW Qt and the MinGW runtime (WINEPATH); Wine hands Qt's variables to
# the program only under a WINE prefix (WINEQT_...); the offscreen platform gets real fonts.
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
mingw_dll_folder() { dirname "$(realpath "$(x86_64-w64-mingw32-g++-posix -print-file-name="$1")")"; }
wine_env() {
  local qt=$1 v
  export WINEPREFIX=$2 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  WINEPATH="$(winpath "$qt/bin");$(winpath "$(mingw_dll_folder libstdc++-6.dll)")"
  WINEPATH+=";$(winpath "$(mingw_dll_folder libwinpthread-1.dll)")"
  export WINEPATH
  for v in $(env | sed -n 's/^\(QT_[A-Z0-9_]*\)=.*/\1/p'); do export "WINE$v=${!v}"; done
  export WINEQT_PLUGIN_PATH="$(winpath "$qt/plugins")"
  export WINEQT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/liberation
}
