#!/usr/bin/env bash
# qxacquire streaming from the simulated board at its default frame time
# (33 ms, 30.3 frames/s): frames per second of a stream as a fraction of the
# board's rate, for each architecture of QX_ARCHS; the builds are those of
# scripts/setup-env.sh. QX_STREAM_COUNT frames a stream (default 60).
set -euo pipefail
source "$(dirname "$0")/acquire_common.sh"
count=${QX_STREAM_COUNT:-60}
frame_ms=33

stream() {  # LABEL TARGET BOARD_CONFIG ARGUMENTS...
  local label=$1 target=$2 board=$3
  shift 3
  acquire "frame_ms = $frame_ms\n$board" --count "$count" "$@" |
    awk -v label="$label" -v target="$target" -v board="$frame_ms" '
      / frames\/s, / { for (i = 1; i < NF; ++i) if ($(i + 1) == "frames/s,") fps = $i }
      END {
        if (fps == "") { printf "%-36s   failed\n", label; exit }
        printf "%-36s %8.1f %8.2f %8.1f\n", label, fps, fps * board / 1000, target
      }'
}

for arch in $QX_ARCHS; do
  qx_use_arch "$arch"
  qx_build --target qxacquire >/dev/null
  echo "== qxacquire streams, $arch: $count frames at the board's $frame_ms ms ($(awk -v ms=$frame_ms 'BEGIN { printf "%.1f", 1000 / ms }') frames/s)"
  printf '%-36s %8s %8s %8s\n' case frames/s "of board" target
  for mech in native memory file; do
    for format in bmp png; do
      stream "640x480 8-bit $mech -> $format" 0.9 "" --mech "$mech" --format "$format"
    done
  done
  stream "2048x2048 12-bit memory -> bmp" 0.8 'width = 2048\nheight = 2048\ndepth = 12\n' --mech memory --format bmp
done
