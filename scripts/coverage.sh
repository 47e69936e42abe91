#!/usr/bin/env bash
# Builds the 64-bit architecture with gcc's coverage instrumentation in a
# folder of its own (build-coverage/, or QX_COVERAGE_BUILD), runs the suites
# under Wine and prints line and branch coverage per folder of the project.
# Arguments go to ctest (for example -R fault_tests). The lines no test runs
# are listed in coverage.txt in the build folder.
set -euo pipefail
QX_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export QX_ARCHS=win64
export QX_BUILD_WIN64=${QX_COVERAGE_BUILD:-$QX_ROOT/build-coverage}
source "$QX_ROOT/scripts/setup-env.sh"
command -v gcovr >/dev/null || qx_apt_install gcovr

# Threads share the counters: without atomic updates they race and gcov reads
# negative branch counts.
flags="--coverage -fprofile-update=atomic -O0"
qx_build -DQX_BUILD_TESTS=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage

# The project's own folders only: the Wine prefix inside the build folder
# links z: to /, and a walk from the build folder would read the whole machine.
folders=(src dsm tools boardsim imaging pixels)
objects=()
for folder in "${folders[@]}"; do
  [ -d "$QX_BUILD/$folder" ] && objects+=("$QX_BUILD/$folder")
done
find "${objects[@]}" "$QX_BUILD/tests" -name '*.gcda' -delete 2>/dev/null || true
# The programs find their way to the counters' Unix paths through Wine's z:.
(cd "$QX_BUILD" && ctest --timeout 900 "$@") | tail -3 || true

gcovr_in() {
  gcovr -r "$QX_ROOT" --gcov-executable x86_64-w64-mingw32-gcov -j "$(nproc)" \
    --filter "$QX_ROOT/$1/" "${objects[@]}" "${@:2}"
}
echo "== coverage (lines, branches) of what the suites ran"
for folder in "${folders[@]}"; do
  summary=$(gcovr_in "$folder" -o /dev/null --print-summary)
  lines=$(grep -m1 '^lines:' <<<"$summary" | cut -d' ' -f2-)
  branches=$(grep -m1 '^branches:' <<<"$summary" | cut -d' ' -f2-)
  printf '   %-9s lines %-28s branches %s\n' "$folder/" "$lines" "$branches"
done
gcovr_in src -o "$QX_BUILD/coverage.txt"
echo "== lines no test ran, per file of src/: $QX_BUILD/coverage.txt"
