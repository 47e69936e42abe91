#!/usr/bin/env bash
# Fuzzes every reader of outside data: builds the targets of tests/fuzz
# natively with clang's libFuzzer, AddressSanitizer and UndefinedBehavior-
# Sanitizer, 64-bit (build-fuzz/64) and 32-bit (-m32, build-fuzz/32), replays
# each target's committed corpus (tests/fuzz/corpus/NAME), then fuzzes each
# target in each width for SECONDS (default 60).
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#   scripts/fuzz.sh --replay [TARGET...]     (the same as SECONDS 0)
#
# Prints executions, coverage (libFuzzer's cov and ft), corpus size and
# findings per target and width. A finding (crash-, leak-, timeout- or oom-
# file) stays in build-fuzz/WIDTH/findings/NAME and is copied into the
# target's corpus as regress-KIND-HASH, where it is replayed from then on.
# The corpus that grows while fuzzing stays in the build folder. Exits
# non-zero when anything was found or a target could not be built or run.
# QX_FUZZ_WIDTHS picks the widths (default "64 32"), QX_FUZZ_BUILD the
# build folder (default build-fuzz/). Needs neither Wine nor mingw-w64.
set -euo pipefail
QX_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$QX_ROOT/scripts/install.sh"

seconds=60
if [ "${1:-}" = --replay ]; then seconds=0; shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then seconds=$1; shift
fi
widths=${QX_FUZZ_WIDTHS:-64 32}
build_root=${QX_FUZZ_BUILD:-$QX_ROOT/build-fuzz}
fuzz_dir=$QX_ROOT/tests/fuzz
# A single input slower than this is a finding (a hang).
input_timeout=10

# clang with its compiler-rt (libFuzzer and the sanitizers, both widths), and
# the 32-bit C and C++ libraries that -m32 links against.
fuzz_install() {
  local need=() runtime gcc_major
  command -v cmake >/dev/null || need+=(cmake)
  if command -v clang++ >/dev/null; then
    runtime=$(clang++ -print-resource-dir)/lib/linux
    [ -f "$runtime/libclang_rt.fuzzer-x86_64.a" ] && [ -f "$runtime/libclang_rt.fuzzer-i386.a" ] ||
      need+=(libclang-rt-dev)
  else
    need+=(clang libclang-rt-dev)
  fi
  if [[ " $widths " == *" 32 "* ]]; then
    # clang links with the newest GCC's libraries; -m32 needs their 32-bit
    # half. gcc-multilib brings the i386 C library (libc6-dev-i386), 32-bit
    # libgcc and the kernel headers' asm/ where -m32 looks for it.
    gcc_major=$(ls /usr/lib/gcc/x86_64-linux-gnu 2>/dev/null | sort -n | tail -1)
    gcc_major=${gcc_major:-12}
    [ -e /usr/include/asm ] && [ -f /usr/lib32/crt1.o ] &&
      [ -f "/usr/lib/gcc/x86_64-linux-gnu/$gcc_major/32/libgcc.a" ] || need+=(gcc-multilib)
    [ -f "/usr/lib/gcc/x86_64-linux-gnu/$gcc_major/32/libstdc++.so" ] || need+=("lib32stdc++-$gcc_major-dev")
  fi
  qx_apt_install "${need[@]}"
}

# The targets: one qx_fuzz_target line each in tests/fuzz/CMakeLists.txt.
all_targets() { sed -n 's/^qx_fuzz_target(\([A-Za-z0-9_]*\).*/\1/p' "$fuzz_dir/CMakeLists.txt"; }

# fuzz_build WIDTH: configures and builds every target of one width.
fuzz_build() {
  local width=$1 build=$build_root/$1 flags=() launcher=()
  [ "$width" = 32 ] && flags=(-DCMAKE_CXX_FLAGS=-m32)
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  mkdir -p "$build"
  echo "== building the fuzz targets, $width-bit, in $build"
  if ! { cmake -S "$fuzz_dir" -B "$build" -DCMAKE_CXX_COMPILER=clang++ "${flags[@]}" "${launcher[@]}" &&
         cmake --build "$build" -j"$(nproc)"; } >"$build/build.log" 2>&1; then
    cat "$build/build.log" >&2
    echo "== fuzz build failed (the output above is in $build/build.log)" >&2
    return 1
  fi
}

# The last value libFuzzer printed for a field ("cov: 123", "stat::x: 5").
field() { grep -oE "$1 *[0-9]+" "$2" | tail -1 | grep -oE '[0-9]+$' || echo "?"; }

results=()
failed=0

# fuzz_run WIDTH NAME: replays the committed corpus, then fuzzes (when
# seconds > 0); adds one line to results.
fuzz_run() {
  local width=$1 name=$2 build=$build_root/$1
  local program=$build/$name seeds=$fuzz_dir/corpus/$name work=$build/corpus/$name
  local findings=$build/findings/$name log=$build/logs/$name.log marker status=0
  mkdir -p "$work" "$findings" "$build/logs" "$seeds"
  marker=$(mktemp)
  local common=(-timeout="$input_timeout" -print_final_stats=1)
  # The replay's findings are named replay-KIND-HASH: they are corpus inputs already.
  if "$program" "${common[@]}" -artifact_prefix="$findings/replay-" -runs=0 "$seeds" >"$log" 2>&1; then
    if [ "$seconds" -gt 0 ]; then
      "$program" "${common[@]}" -artifact_prefix="$findings/" -max_total_time="$seconds" \
        "$work" "$seeds" >>"$log" 2>&1 || status=$?
    fi
  else
    status=$?
  fi
  local found=() file
  while IFS= read -r file; do
    found+=("$file")
    case $(basename "$file") in
      replay-*) ;;
      *) cp "$file" "$seeds/regress-$(basename "$file")" ;;
    esac
  done < <(find "$findings" -newer "$marker" -type f \( -name '*crash-*' -o -name '*leak-*' \
             -o -name '*timeout-*' -o -name '*oom-*' \) | sort)
  rm -f "$marker"
  local summary="$name $width-bit: $(field 'stat::number_of_executed_units:' "$log") executions,"
  summary+=" cov $(field 'cov:' "$log") ft $(field 'ft:' "$log"), corpus $(field 'corp:' "$log")"
  if [ ${#found[@]} -gt 0 ]; then
    summary+=", FOUND ${#found[@]}: ${found[*]} ($(grep -m1 -E 'Assertion|ERROR: |runtime error: ' "$log" || true); log $log)"
    failed=$((failed + 1))
  elif [ "$status" != 0 ]; then
    summary+=", FAILED with status $status and no finding file (log $log)"
    failed=$((failed + 1))
  else
    summary+=", no findings"
  fi
  echo "   $summary"
  results+=("$summary")
}

fuzz_install
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(all_targets)
if [ ${#targets[@]} -eq 0 ]; then
  echo "== no fuzz targets in $fuzz_dir/CMakeLists.txt"
  exit 0
fi
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$QX_ROOT}
# Reports with the stack; a leak is a finding as any other.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
for width in $widths; do fuzz_build "$width"; done
if [ "$seconds" -gt 0 ]; then what="replay and ${seconds} s of fuzzing"; else what="replay of the corpus"; fi
for width in $widths; do
  echo "== fuzzing, $width-bit: $what per target"
  for name in "${targets[@]}"; do fuzz_run "$width" "$name"; done
done
echo "== fuzz summary: ${#results[@]} runs (${#targets[@]} targets, widths $widths), $failed with findings or failures"
printf '   %s\n' "${results[@]}"
[ "$failed" = 0 ]
