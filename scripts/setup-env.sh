# Sourced by the test, demo, package and benchmark commands: installs what is
# missing, prepares a Wine prefix of our own and a virtual display; qx_build
# configures and builds. Inputs: QX_ARCHS, and the build folders
# QX_BUILD_WIN64 (default build/) and QX_BUILD_WIN32 (default build-win32/).
# Leaves QX_BUILD (the build folder), QX_BIN and QX_CMAKE_ARGS (toolchain and
# options) set for the first architecture of QX_ARCHS; qx_use_arch switches
# to another.
set -euo pipefail

QX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$QX_ROOT/scripts/install.sh"
source "$QX_ROOT/scripts/wine-prefix.sh"
# The architectures the commands build and run, each in its own build folder
# with its own Wine prefix: win64 (build/) and win32 (build-win32/).
QX_ARCHS=${QX_ARCHS:-win64 win32}
QX_BUILD_WIN64=${QX_BUILD_WIN64:-$QX_ROOT/build}
QX_BUILD_WIN32=${QX_BUILD_WIN32:-$QX_ROOT/build-win32}
QX_GIVEN_WINEPREFIX=${WINEPREFIX:-}
QX_WINEPREFIXES=()

qx_install_packages() {
  local need=()
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix)
  command -v wine >/dev/null || need+=(wine64 wine)
  command -v Xvfb >/dev/null || need+=(xvfb xauth)
  command -v cmake >/dev/null || need+=(cmake)
  command -v cppcheck >/dev/null || need+=(cppcheck)
  command -v clang++ >/dev/null || need+=(clang)
  [ -d /usr/src/googletest ] || need+=(googletest)
  command -v convert >/dev/null && convert -version >/dev/null 2>&1 || need+=(imagemagick)
  command -v xwd >/dev/null || need+=(x11-apps)
  command -v makensis >/dev/null || need+=(nsis)
  command -v python3 >/dev/null || need+=(python3)
  [ -f /usr/x86_64-w64-mingw32/lib/libz.a ] || need+=(libz-mingw-w64-dev)
  if qx_wants_arch win32; then
    command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix)
    # 32-bit programs run on Wine's 32-bit half, from Debian's i386 architecture.
    if ! qx_has_wine32; then
      dpkg --print-foreign-architectures | grep -qx i386 || qx_sudo dpkg --add-architecture i386
      need+=(wine32:i386)
    fi
  fi
  qx_apt_install "${need[@]}"
}

qx_wants_arch() { [[ " $QX_ARCHS " == *" $1 "* ]]; }

qx_start_display() {
  if [ -z "${DISPLAY:-}" ]; then
    local n=99
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    QX_XVFB_PID=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    trap qx_stop_display EXIT
  fi
}

qx_stop_display() {
  if [ -n "${QX_XVFB_PID:-}" ]; then
    local prefix
    for prefix in "${QX_WINEPREFIXES[@]}"; do WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true; done
    kill "$QX_XVFB_PID" >/dev/null 2>&1 || true
  fi
}

qx_prepare_wine() {
  export WINEPREFIX=${QX_GIVEN_WINEPREFIX:-$QX_BUILD/wineprefix}
  QX_WINEPREFIXES+=("$WINEPREFIX")
  qx_make_prefix
}

# qx_use_arch win64|win32: the build folder, toolchain and Wine prefix of one architecture.
qx_use_arch() {
  QX_ARCH=$1
  case $QX_ARCH in
    win64) QX_BUILD=$QX_BUILD_WIN64 QX_TOOLCHAIN=$QX_ROOT/cmake/mingw-w64-x86_64.cmake ;;
    win32) QX_BUILD=$QX_BUILD_WIN32 QX_TOOLCHAIN=$QX_ROOT/cmake/mingw-w64-i686.cmake ;;
    *) echo "unknown architecture '$QX_ARCH' (win64 or win32)" >&2; return 1 ;;
  esac
  QX_BIN=$QX_BUILD/bin
  # The 64-bit build folder installs and packages the 32-bit build's files too
  # when both architectures are built.
  QX_CMAKE_ARGS=(-DCMAKE_TOOLCHAIN_FILE="$QX_TOOLCHAIN")
  if [ "$QX_ARCH" = win64 ]; then
    if qx_wants_arch win32; then QX_CMAKE_ARGS+=(-DQX_WIN32_BUILD="$QX_BUILD_WIN32"); else QX_CMAKE_ARGS+=(-DQX_WIN32_BUILD=); fi
  fi
  mkdir -p "$QX_BUILD"
  qx_prepare_wine
}

# qx_configure [CMAKE_OPTION]...: configures the build folder of the current
# architecture (the lint step reads its compile_commands.json).
qx_configure() { cmake --no-warn-unused-cli -S "$QX_ROOT" -B "$QX_BUILD" "${QX_CMAKE_ARGS[@]}" "$@"; }

# qx_build [--target NAME]... [CMAKE_OPTION]...: configures the build folder of
# the current architecture and builds it (or the named targets). A failed
# build shows its output; a good one its compiler warnings.
qx_build() {
  local names=() targets=() log=$QX_BUILD/build.log
  while [ "${1:-}" = --target ]; do names+=("$2") targets+=(--target "$2"); shift 2; done
  echo "== building $QX_ARCH in $QX_BUILD${names[*]:+: ${names[*]}}"
  if ! { qx_configure "$@" && cmake --build "$QX_BUILD" -j"$(nproc)" "${targets[@]}"; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "== build failed (the output above is in $log)" >&2
    return 1
  fi
  grep -E ':[0-9]+:[0-9]+: warning:' "$log" || true
}

qx_install_packages
qx_start_display
qx_use_arch "${QX_ARCHS%% *}"
