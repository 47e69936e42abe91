#!/usr/bin/env bash
# Installs what is missing, builds, and acquires from the simulated board through
# the development Source Manager. Extra arguments go to the demo program.
#
# --screenshot FILE.png: the demo opens the source's dialog and plays its user
# (Preview, Stop Preview, Acquire, Cancel); while the live preview runs it leaves
# FILE.png.ready, and this script photographs the whole virtual screen into
# FILE.png and removes the marker. Example: scripts/demo.sh --screenshot docs/preview.png
args=()
shot=""
while [ $# -gt 0 ]; do
  if [ "$1" = --screenshot ] && [ $# -ge 2 ]; then
    shot=$(realpath -m "$2")
    shift 2
  else
    args+=("$1")
    shift
  fi
done

# One architecture: win64 unless QX_ARCHS names another (QX_ARCHS=win32 scripts/demo.sh).
QX_ARCHS=${QX_ARCHS:-win64}
source "$(dirname "$0")/setup-env.sh"
# Only the demo and what it loads are built; the build folder's test setting
# is left as it is (a cached QX_BUILD_TESTS=OFF would silently drop the tests
# from a later scripts/test.sh in the same folder).
echo "== building the demo in $QX_BUILD"
cmake -S "$QX_ROOT" -B "$QX_BUILD" -DCMAKE_TOOLCHAIN_FILE="$QX_TOOLCHAIN" >/dev/null
if ! cmake --build "$QX_BUILD" -j"$(nproc)" --target qxdemo >"$QX_BUILD/demo-build.log" 2>&1; then
  cat "$QX_BUILD/demo-build.log" >&2
  exit 1
fi
cd "$QX_BIN"

if [ -z "$shot" ]; then
  wine ./qxdemo.exe "${args[@]}"
  exit
fi

mkdir -p "$(dirname "$shot")"
rm -f "$shot" "$shot.ready"
wine ./qxdemo.exe "${args[@]}" --screenshot "$(winepath -w "$shot")" &
demo=$!
taken=0
while kill -0 "$demo" 2>/dev/null; do
  if [ -e "$shot.ready" ]; then
    if import -window root "$shot"; then taken=1; fi
    rm -f "$shot.ready"
  fi
  sleep 0.2
done
status=0
wait "$demo" || status=$?
if [ "$taken" = 1 ]; then echo "screenshot: $shot"; else echo "no screenshot was taken" >&2; fi
[ "$status" = 0 ] && [ "$taken" = 1 ]
