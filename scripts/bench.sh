#!/usr/bin/env bash
# Installs what is missing, builds the source, the simulated board and the
# benchmark, and runs it under Wine, for each architecture of QX_ARCHS
# (default "win64 win32"). An optional argument multiplies the repetitions
# (default 1).
set -euo pipefail
source "$(dirname "$0")/setup-env.sh"
for arch in $QX_ARCHS; do
  qx_use_arch "$arch"
  echo "== benchmark, $arch"
  qx_build --target qxbench
  (cd "$QX_BIN" && wine ./qxbench.exe "$@")
done
