# Sourced by the test, demo and benchmark commands: installs what is missing,
# prepares a Wine prefix of our own and a virtual display, and configures the
# build folder. Leaves QX_BUILD (the build folder) and QX_BIN set.
set -euo pipefail

QX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QX_BUILD=${QX_BUILD:-$QX_ROOT/build}
QX_BIN=$QX_BUILD/bin

source "$QX_ROOT/scripts/wine-prefix.sh"

qx_sudo() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

qx_install_packages() {
  local need=()
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix)
  command -v wine >/dev/null || need+=(wine64 wine)
  command -v Xvfb >/dev/null || need+=(xvfb xauth)
  command -v cmake >/dev/null || need+=(cmake)
  command -v cppcheck >/dev/null || need+=(cppcheck)
  [ -d /usr/src/googletest ] || need+=(googletest)
  command -v convert >/dev/null && convert -version >/dev/null 2>&1 || need+=(imagemagick)
  command -v xwd >/dev/null || need+=(x11-apps)
  command -v makensis >/dev/null || need+=(nsis)
  command -v python3 >/dev/null || need+=(python3)
  if [ ${#need[@]} -gt 0 ]; then
    echo "== installing: ${need[*]}"
    qx_sudo apt-get update -qq
    qx_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
  fi
}

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
    WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1 || true
    kill "$QX_XVFB_PID" >/dev/null 2>&1 || true
  fi
}

qx_prepare_wine() {
  export WINEPREFIX=${WINEPREFIX:-$QX_BUILD/wineprefix}
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEARCH=win64
  qx_make_prefix
  # Load our development Source Manager rather than Wine's builtin one.
  export WINEDLLOVERRIDES="twain_32=n,b"
}

qx_build() {
  echo "== building in $QX_BUILD"
  cmake -S "$QX_ROOT" -B "$QX_BUILD" -DCMAKE_TOOLCHAIN_FILE="$QX_ROOT/cmake/mingw-w64-x86_64.cmake" "$@" >/dev/null
  if ! cmake --build "$QX_BUILD" -j"$(nproc)" >"$QX_BUILD/build.log" 2>&1; then
    grep -E '(error|Error)' "$QX_BUILD/build.log" | head -40 >&2
    echo "== build failed; whole log in $QX_BUILD/build.log" >&2
    return 1
  fi
  grep -E 'warning:' "$QX_BUILD/build.log" || true
}

qx_install_packages
mkdir -p "$QX_BUILD"
qx_start_display
qx_prepare_wine
