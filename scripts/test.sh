#!/usr/bin/env bash
# Installs what is missing, runs the static analysis, builds with warnings as
# errors, and runs every test under Wine on a virtual display, for each
# architecture of QX_ARCHS (default "win64 win32"), each in its own build
# folder; then replays the fuzz corpus and fuzzes each target briefly
# (scripts/fuzz.sh, QX_FUZZ_SECONDS each, default 5), and prints each
# architecture's test summary and the fuzzing's. Arguments go to ctest.
set -euo pipefail
source "$(dirname "$0")/setup-env.sh"
bash "$QX_ROOT/scripts/lint.sh"
# Every architecture is built before any is tested: the 64-bit packages carry
# the 32-bit build's files.
for arch in $QX_ARCHS; do
  qx_use_arch "$arch"
  qx_build -DQX_BUILD_TESTS=ON -DQX_WERROR=ON
done
summaries=()
status=0
for arch in $QX_ARCHS; do
  qx_use_arch "$arch"
  echo "== testing $arch"
  result=0
  (cd "$QX_BUILD" && ctest --output-on-failure --timeout 600 "$@") | tee "$QX_BUILD/ctest.log" || result=$?
  summaries+=("$arch: $(grep -E 'tests passed|No tests were found' "$QX_BUILD/ctest.log" | tail -1 || true)")
  [ "$result" = 0 ] || status=$result
done
# Every fuzz target in both widths: its corpus replayed, then a few seconds
# of fuzzing, so that a fault brought back is found again.
echo "== fuzzing"
result=0
fuzz_log=${QX_FUZZ_BUILD:-$QX_ROOT/build-fuzz}/fuzz.log
mkdir -p "$(dirname "$fuzz_log")"
bash "$QX_ROOT/scripts/fuzz.sh" "${QX_FUZZ_SECONDS:-5}" | tee "$fuzz_log" || result=$?
summaries+=("$(grep -E '^== fuzz summary' "$fuzz_log" | sed 's/^== fuzz summary/fuzz/' || echo "fuzz: did not finish")")
[ "$result" = 0 ] || status=$result
echo "== test summary"
printf '   %s\n' "${summaries[@]}"
exit "$status"
