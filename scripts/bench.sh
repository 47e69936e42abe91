#!/usr/bin/env bash
# Installs what is missing, builds the source, the simulated board and the
# benchmark, and runs it under Wine, for each architecture of QX_ARCHS
# (default "win64 win32"). An optional argument multiplies the repetitions
# (default 1); "board" or "cycle" before it runs only the simulated board's
# figures, or only the cycle and stream figures. After both, one table
# compares them (bench/compare.awk). Then, unless "board" or "cycle" was
# given, qxacquire streams at the board's frame time (bench/acquire_stream.sh)
# and takes the board's 1 GiB line-scan frame by each transfer into each
# format, its peak working set and time measured (bench/acquire_large.sh);
# "acquire" runs only those two, "large" only the second.
set -euo pipefail
source "$(dirname "$0")/setup-env.sh"
mode=${1:-}
if [ "$mode" != acquire ] && [ "$mode" != large ]; then
  figures=$(mktemp)
  for arch in $QX_ARCHS; do
    qx_use_arch "$arch"
    echo "== benchmark, $arch"
    qx_build --target qxbench
    (cd "$QX_BIN" && wine ./qxbench.exe "$@") | while IFS= read -r line; do
      if [[ $line == "@ "* ]]; then echo "$arch ${line#@ }" >>"$figures"; else echo "$line"; fi
    done
  done
  awk -f "$QX_ROOT/bench/compare.awk" "$figures"
  rm -f "$figures"
fi
case $mode in
  board | cycle) ;;
  large) bash "$QX_ROOT/bench/acquire_large.sh" ;;
  *)
    bash "$QX_ROOT/bench/acquire_stream.sh"
    bash "$QX_ROOT/bench/acquire_large.sh"
    ;;
esac
