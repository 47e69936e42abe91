#!/usr/bin/env bash
# Installs what is missing, builds, and runs qxacquire on the simulated board
# through the development Source Manager: the source's capability table, then
# one frame by each transfer mechanism (native, memory, file), written as PNG
# files under out/ (in the current folder). Options: scripts/demo.sh --help.
set -euo pipefail

usage() {
  cat <<'TEXT'
scripts/demo.sh [OPTION]...
  --depth N, --size WxH  the simulated board (default 8 bits, 640x480)
  --interactive          the source's dialog with live preview instead (qxacquire --ui),
                         of the simulated board's moving target
  --screenshot FILE.png  qxacquire opens the dialog and qxdialog plays its user (Preview,
                         Stop Preview, Acquire); while the live preview runs it
                         leaves FILE.png.ready, and this script photographs the whole
                         virtual screen into FILE.png and removes the marker.
  anything else          goes to qxacquire (one run; see qxacquire --help)
TEXT
}

depth=8 size=640x480 shot="" interactive=0 args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --depth) depth=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --screenshot) shot=$(realpath -m "$2"); shift 2 ;;
    --interactive) interactive=1; shift ;;
    --help) usage; exit 0 ;;
    *) args+=("$1"); shift ;;
  esac
done
out=$(realpath -m out)

# One architecture: win64 unless QX_ARCHS names another (QX_ARCHS=win32 scripts/demo.sh).
QX_ARCHS=${QX_ARCHS:-win64}
source "$(dirname "$0")/setup-env.sh"
# Only qxacquire and what it loads are built (and tools/qxdialog for the
# screenshot); the build folder's test setting is left as it is (a cached
# QX_BUILD_TESTS=OFF would silently drop the tests from a later
# scripts/test.sh in the same folder).
targets=(--target qxacquire)
if [ -n "$shot" ]; then targets+=(--target qxdialog); fi
qx_build "${targets[@]}"
cd "$QX_BIN"
# The simulated board reads qxsim.ini beside Kvd.dll when the source loads it.
# The dialog's live preview shows the moving target, where motion is plain.
pattern=ramp
if [ -n "$shot" ] || [ "$interactive" = 1 ]; then pattern=target; fi
printf '# Written by scripts/demo.sh: the simulated board.\nwidth = %s\nheight = %s\ndepth = %s\npattern = %s\n' \
  "${size%x*}" "${size#*x}" "$depth" "$pattern" >qxsim.ini
acquire() { echo "\$ qxacquire $*"; wine ./qxacquire.exe "$@"; }
winout=$(winepath -w "$out")

if [ -n "$shot" ]; then
  mkdir -p "$(dirname "$shot")"
  rm -f "$shot" "$shot.ready"
  wine ./qxacquire.exe --out "$winout" --ui "${args[@]}" &
  app=$!
  wine ./qxdialog.exe "$(winepath -w "$shot")" &
  driver=$!
  taken=0
  while kill -0 "$app" 2>/dev/null || kill -0 "$driver" 2>/dev/null; do
    if [ -e "$shot.ready" ]; then
      if import -window root "$shot"; then taken=1; fi
      rm -f "$shot.ready"
    fi
    sleep 0.2
  done
  status=0
  wait "$app" || status=$?
  wait "$driver" || status=$?
  if [ "$taken" = 1 ]; then echo "screenshot: $shot"; else echo "no screenshot was taken" >&2; fi
  [ "$status" = 0 ] && [ "$taken" = 1 ]
elif [ "$interactive" = 1 ]; then
  acquire --ui --out "$winout" "${args[@]}"
elif [ ${#args[@]} -gt 0 ]; then
  acquire "${args[@]}"
else
  acquire --caps --mech native --out "$winout"
  acquire --mech memory --out "$winout"
  acquire --mech file --out "$winout"
  echo "== images in $out:"
  ls "$out"/*.png
fi
