# shellcheck shell=bash
# Sourced by bench/acquire_stream.sh and bench/acquire_large.sh: the build
# environment (scripts/setup-env.sh), a work folder removed at the end, and
# programs of the build folder run on the simulated board.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup-env.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"; qx_stop_display' EXIT
# Programs qxacquire runs under, e.g. (./qxpeak.exe); none by default.
launch=()

# on_board BOARD_CONFIG COMMAND...: a command run in the build folder with
# the simulated board configured so (QXSIM_CONFIG); every line it prints
# behind the seconds since the epoch at which it came, without the carriage
# return a Windows program's text output ends it with. Its status is the
# command's.
on_board() {
  printf '%b' "$1" >"$work/board.ini"
  shift
  (cd "$QX_BIN" && QXSIM_CONFIG=$(winepath -w "$work/board.ini") "$@" 2>&1) |
    while IFS= read -r line; do printf '%s %s\n' "$EPOCHREALTIME" "${line%$'\r'}"; done
}

# acquire BOARD_CONFIG ARGUMENTS...: qxacquire on that board, under $launch,
# its images in $work/out (emptied first).
acquire() {
  local board=$1
  shift
  rm -rf "$work/out"
  on_board "$board" wine "${launch[@]}" ./qxacquire.exe --dsm TWAIN_32.DLL --unattended \
    --out "$(winepath -w "$work/out")" "$@"
}
