#!/usr/bin/env bash
# The board's largest frame, a 1 GiB line-scan frame (16384 x 65535, 8-bit),
# taken by qxacquire by each transfer (native, memory, file) into BMP, TIFF
# and PNG, for each architecture of QX_ARCHS, one run at a time (a run holds
# 1 to 8 GB). The board delivers at once (frame_ms = 0). For each case:
#
# Memory: qxacquire's peak working set as bench/qxpeak.cpp reports it, the
# PeakWorkingSetSize of GetProcessMemoryInfo: the most physical memory the
# process held at once, its own pages and its libraries' (under Wine, the
# VmHWM of the process's /proc/PID/status). qxacquire holds the source, so
# the source's host buffer of the frame (1,073,725,440 bytes) is part of it.
# Printed: the peak, the peak less the host buffer, and the case's bound: the
# host buffer + 192 MiB for memory transfers and file -> PNG; the host buffer
# + the source's bitmap (the frame behind its 1064-byte header and palette) +
# 192 MiB for native -> BMP. Before the cases, qxpeak's figure for a process
# that writes 1 GiB of its own, against one that writes none, shows that the
# figure counts what a process touches.
#
# Time: from DAT_IMAGEINFO's answer to the frame's line (its file written),
# from qxacquire's --verbose lines as they come; against the source's
# transfer alone and dd's write of the same bytes into the same folder. The
# transfer alone: for native and file transfers, from DAT_IMAGEINFO's answer
# to the transfer's TWRC_XFERDONE (a file transfer's includes the source's
# writing of its file); for memory transfers, `qxbench alone`: the source's
# memory transfer of the same frame with nothing written, in as many strips
# as qxacquire's memory -> BMP run took. dd starts with no dirty pages and is
# timed into the page cache, as qxacquire writes (and, for comparison, with
# the file's sync after it). Targets: memory -> BMP at most 1.5 x (the memory
# transfer alone + dd), native -> BMP at most 3 x its transfer.
#
# memory -> BMP runs QX_LARGE_ROUNDS times (default 3), each round followed
# by the memory transfer alone and dd; its figures are the rounds' medians
# (its peak the largest). The other cases run once, against the medians.
set -euo pipefail
source "$(dirname "$0")/acquire_common.sh"
rounds=${QX_LARGE_ROUNDS:-3}
host=1073725440
board='frame_ms = 0\nwidth = 16384\nheight = 65535\n'
launch=(./qxpeak.exe)

# median VALUE...: the middle one of the numbers among them, or "-".
median() {
  printf '%s\n' "$@" | awk '$1 != "" && $1 != "-"' | sort -g | awk '{ v[NR] = $1 } END { print NR ? v[int((NR + 1) / 2)] : "-" }'
}

# seconds VALUE: a time in seconds to two places, or "-".
seconds() { awk -v v="$1" 'BEGIN { print v == "-" ? "-" : sprintf("%.2f", v) }'; }

# dd of the frame's bytes: sets written (seconds into the page cache) and
# synced (the same with the file's sync after it).
write_disk() {
  sync
  local began=$EPOCHREALTIME into
  dd if=/dev/zero of="$work/disk.bin" bs=8M count=$host iflag=count_bytes status=none
  into=$EPOCHREALTIME
  sync "$work/disk.bin"
  read -r written synced < <(awk -v b="$began" -v i="$into" -v s="$EPOCHREALTIME" 'BEGIN { print i - b, s - b }')
  rm -f "$work/disk.bin"
}

# run_case MECH FORMAT: one qxacquire run of the frame; sets status, peak,
# transfer and frame (seconds from DAT_IMAGEINFO's answer to the transfer's
# end and to the frame's line, "-" when not reached), strips (memory
# transfer calls), error and box (the first error line and the first box the
# source showed, "-" for none).
run_case() {
  sync
  acquire "$board" --verbose --mech "$1" --format "$2" >"$work/run.log" || true
  rm -rf "$work/out"
  IFS=$'\t' read -r status peak transfer frame strips error box < <(awk '
    /DAT_IMAGEINFO \/ MSG_GET -> TWRC_SUCCESS/ && start == "" { start = $1 }
    /DAT_IMAGE(NATIVE|MEM|FILE)XFER \/ MSG_GET -> TWRC_XFERDONE/ { transferred = $1 }
    /DAT_IMAGEMEMXFER \/ MSG_GET -> TWRC_(SUCCESS|XFERDONE)/ { ++strips }
    / frame 1: [0-9]+x[0-9]+,/ { written = $1 }
    $2 == "qxpeak:" && $3 == "peak" { peak = $6; status = $10 }
    $2 == "error:" && error == "" { error = substr($0, index($0, " ") + 1) }
    $2 == "box:" && box == "" { box = substr($0, index($0, " ") + 1) }
    function since(t) { return start == "" || t == "" ? "-" : sprintf("%.4f", t - start) }
    END {
      if (status == "") { status = "-"; error = error == "" ? "qxpeak printed no figure" : error }
      printf "%s\t%s\t%s\t%s\t%d\t%s\t%s\n", status, peak == "" ? "-" : peak, since(transferred), since(written),
        strips, error == "" ? "-" : error, box == "" ? "-" : box
    }' "$work/run.log")
}

# alone STRIPS: the source's memory transfer alone; sets alone (seconds or
# "-") and alone_line (qxbench's line, or why there is none). qxbench has
# nobody to close the source's error boxes: a run that shows one waits until
# the time limit, and Wine's trace of the box names it.
alone() {
  local out
  out=$(WINEDEBUG=-all,trace+msgbox on_board "$board" timeout 120 wine ./qxbench.exe alone "$1") || true
  alone=$(awk '$2 == "@" && $3 == "memory-alone" { print $4 }' <<<"$out")
  alone_line=$(awk '
    /:trace:msgbox:/ { sub(/.*MSGBOX_OnInit /, ""); line = "the source showed the box " $0; exit }
    $2 != "@" && !/:(fixme|err|warn):/ { $1 = ""; line = substr($0, 2) }
    END { print line }' <<<"$out")
  [ -n "$alone" ] || alone=-
  [ -n "$alone_line" ] || alone_line="no answer within 120 s"
}

# row LABEL BOUND TARGET_ALONE TARGET_BOTH ALONE: one case's line (its
# figures in status, peak, frame, error, box); BOUND in bytes or "-", the
# targets of time x alone and time x (alone + dd) or "-". A failed run's peak
# is shown, not judged: it says how far the run came.
row() {
  awk -v label="$1" -v bound="$2" -v over_alone="$3" -v over_both="$4" -v alone="$5" -v disk="$disk" \
      -v status="$status" -v peak="$peak" -v frame="$frame" -v error="$error" -v box="$box" -v host=$host '
    function mib(b) { return sprintf("%.1f", b / 1048576) }
    function seconds(s) { return s == "-" ? "-" : sprintf("%.2f", s) }
    function ratio(a, b, target) {
      if (a == "-" || b == "-" || b + 0 == 0) return "-"
      return sprintf("%.2f", a / b) (target == "-" ? "" : " (<= " target ")")
    }
    BEGIN {
      limit = bound == "-" ? "-" : mib(bound) (peak == "-" || status != "0" ? "" : peak + 0 <= bound + 0 ? " ok" : " OVER")
      both = alone == "-" || disk == "-" ? "-" : alone + disk
      printf "%-15s %4s %9s %9s %13s %7s %7s %12s %15s\n", label, status, peak == "-" ? "-" : mib(peak),
        peak == "-" ? "-" : mib(peak - host), limit, seconds(frame), seconds(alone),
        ratio(frame, alone, over_alone), ratio(frame, both, over_both)
      if (status != "0") printf "%15s failed: %s\n", "", error
      if (status != "0" && box != "-") printf "%15s %s\n", "", box
    }'
}

for arch in $QX_ARCHS; do
  qx_use_arch "$arch"
  qx_build --target qxacquire --target qxbench --target qxpeak >/dev/null
  echo "== qxacquire, the 1 GiB line-scan frame (16384x65535 8-bit), $arch; the source's host buffer $host bytes"
  on_board "$board" wine ./qxpeak.exe ./qxpeak.exe --touch 0 >"$work/none.log" || true
  on_board "$board" wine ./qxpeak.exe ./qxpeak.exe --touch 1024 >"$work/touched.log" || true
  awk '$2 == "qxpeak:" && $3 == "peak" { peak[FILENAME] = $6 }
    END {
      none = peak[ARGV[1]]; touched = peak[ARGV[2]]
      if (none == "" || touched == "") { print "qxpeak: no figure for a process that writes 1024 MiB"; exit }
      printf "qxpeak: a process that writes 1024 MiB peaks at %.1f MiB, %.1f MiB over one that writes none (%.1f MiB)\n",
        touched / 1048576, (touched - none) / 1048576, none / 1048576
    }' "$work/none.log" "$work/touched.log"

  times=() alones=() writes=() syncs=() peaks=()
  alone_line="not measured: qxacquire's memory transfer failed"
  for ((round = 1; round <= rounds; ++round)); do
    run_case memory bmp
    peaks+=("$peak")
    alone=-
    if [ "$status" = 0 ]; then
      times+=("$frame")
      alone "$strips"
      alones+=("$alone")
    fi
    write_disk
    writes+=("$written") syncs+=("$synced")
    printf 'round %d: memory -> bmp %s s (exit %s, %d strips), the memory transfer alone %s s, dd %s s (%s s with its sync)\n' \
      "$round" "$(seconds "$frame")" "$status" "$strips" "$(seconds "$alone")" "$(seconds "$written")" "$(seconds "$synced")"
    [ "$status" = 0 ] || break
  done
  memory_alone=$(median "${alones[@]}")
  disk=$(median "${writes[@]}")
  [ "$status" = 0 ] && frame=$(median "${times[@]}")
  peak=$(printf '%s\n' "${peaks[@]}" | sort -g | tail -1)
  echo "the last memory transfer alone: $alone_line"
  printf "medians of %d round(s) of %d: memory -> bmp %s s, the memory transfer alone %s s, dd %s s (%s s with its sync)\n" \
    "${#times[@]}" "$rounds" "$(seconds "$frame")" "$(seconds "$memory_alone")" "$(seconds "$disk")" \
    "$(seconds "$(median "${syncs[@]}")")"
  echo "(memory -> bmp below: these medians, and the largest peak of its rounds)"
  printf '%-15s %4s %9s %9s %13s %7s %7s %12s %15s\n' case exit "peak MiB" "- host" "bound MiB" "time s" \
    "alone s" "x alone" "x (alone+dd)"
  row "memory -> bmp" $((host + (192 << 20))) - 1.5 "$memory_alone"
  for format in tiff png; do
    run_case memory "$format"
    row "memory -> $format" $((host + (192 << 20))) - - "$memory_alone"
  done
  for format in bmp tiff png; do
    run_case native "$format"
    bound=-
    [ "$format" = bmp ] && bound=$((2 * host + 1064 + (192 << 20)))
    row "native -> $format" "$bound" "$([ "$format" = bmp ] && echo 3 || echo -)" - "$transfer"
  done
  for format in bmp tiff png; do
    run_case file "$format"
    bound=-
    [ "$format" = png ] && bound=$((host + (192 << 20)))
    row "file -> $format" "$bound" - - "$transfer"
  done
done
