#!/usr/bin/env bash
# Static analysis of the source, the row kernels, the simulated board, the Source Manager, the
# tools and the image-file library with cppcheck at warning level. Any finding fails; one that is
# explained is suppressed where it stands: `// cppcheck-suppress <id>` and why.
# Then clang compiles every C and C++ file of those folders, the tests and the benchmarks for the
# mingw-w64 target of each architecture, with the flags CMake builds the file with (read from the
# configured build folder) and -Wall -Wextra -Werror: any diagnostic fails.
# Run alone, or by scripts/test.sh; installs what is missing (setup-env.sh).
set -euo pipefail
source "$(dirname "$0")/setup-env.sh"
cd "$QX_ROOT"
dirs=(src pixels boardsim dsm tools imaging)
# Once per architecture: the same code is built for Win64 and Win32.
for platform in "win64 -D_WIN64" "win32A"; do
  read -r name defines <<<"$platform"
  echo "== cppcheck ${dirs[*]} ($name)"
  # shellcheck disable=SC2086 # the defines are separate words
  cppcheck --enable=warning,portability --library=windows --std=c++17 --language=c++ \
    --platform="$name" -D_WIN32 $defines -I src -I include --inline-suppr --error-exitcode=1 --quiet \
    -j"$(nproc)" --template='{file}:{line}: {severity} ({id}): {message}' "${dirs[@]}"
done
builds=()
for arch in $QX_ARCHS; do
  qx_use_arch "$arch"
  if ! qx_configure -DQX_BUILD_TESTS=ON >"$QX_BUILD/configure.log" 2>&1; then
    cat "$QX_BUILD/configure.log" >&2
    exit 1
  fi
  builds+=("$QX_BUILD")
done
echo "== clang ${dirs[*]} tests bench ($QX_ARCHS)"
python3 scripts/clang-check.py "${builds[@]}" -- "${dirs[@]}" tests bench
