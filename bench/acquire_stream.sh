#!/usr/bin/env bash
# qxacquire streaming from the simulated board at its default frame time
# (33 ms, 30.3 frames/s): frames per second of a stream as a fraction of the
# board's rate, and a 1 GiB line-scan frame written natively to BMP against
# the source's native transfer of it (both timed in the same run, from the
# lines qxacquire prints). For each architecture of QX_ARCHS; the builds are
# those of scripts/setup-env.sh. QX_STREAM_COUNT frames a stream (default 60).
set -euo pipefail
source "$(dirname "$0")/../scripts/setup-env.sh"
count=${QX_STREAM_COUNT:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"; qx_stop_display' EXIT
frame_ms=33

# acquire BOARD_CONFIG ARGUMENTS...: qxacquire on that board; every line it
# prints behind the seconds since the epoch at which it came.
acquire() {
  printf 'frame_ms = %s\n%b' "$frame_ms" "$1" >"$work/board.ini"
  shift
  rm -rf "$work/out"
  (cd "$QX_BIN" && QXSIM_CONFIG=$(winepath -w "$work/board.ini") wine ./qxacquire.exe --dsm TWAIN_32.DLL \
     --unattended --out "$(winepath -w "$work/out")" "$@" 2>&1) |
    while IFS= read -r line; do printf '%s %s\n' "$EPOCHREALTIME" "$line"; done
}

stream() {  # LABEL TARGET BOARD_CONFIG ARGUMENTS...
  local label=$1 target=$2 board=$3
  shift 3
  acquire "$board" --count "$count" "$@" |
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
  # The 1 GiB frame: its native transfer is the time from the line after
  # DAT_IMAGEINFO to the transfer's own line; qxacquire's is that plus the
  # write, up to the frame's line. The disk's own speed in the same run: the
  # same bytes written by dd into the same folder, each write starting with
  # no dirty pages left by the one before.
  sync
  began=$EPOCHREALTIME
  dd if=/dev/zero of="$work/disk.bin" bs=8M count=128 status=none
  disk=$(awk -v began="$began" -v ended="$EPOCHREALTIME" 'BEGIN { print ended - began }')
  rm -f "$work/disk.bin"
  sync
  acquire 'width = 16384\nheight = 65535\n' --verbose --format bmp |
    awk -v disk="$disk" '
      /DAT_IMAGEINFO \/ MSG_GET -> TWRC_SUCCESS/ { start = $1 }
      /DAT_IMAGENATIVEXFER \/ MSG_GET -> TWRC_XFERDONE/ { transferred = $1 }
      / frame 1: 16384x65535/ { written = $1 }
      END {
        if (!start || !transferred || !written) { print "1 GiB 16384x65535 8-bit native -> bmp: failed"; exit }
        t = transferred - start; w = written - start
        printf "1 GiB 16384x65535 8-bit native -> bmp: transfer %.2f s, transfer + write %.2f s, %.2f x the transfer (target <= 3); the write %.2f s = %.2f x dd of 1 GiB (%.2f s)\n", t, w, w / t, w - t, (w - t) / disk, disk
      }'
  rm -rf "$work/out"
done
