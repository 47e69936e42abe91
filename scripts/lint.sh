#!/usr/bin/env bash
# Static analysis of the source, the row kernels, the simulated board, the Source Manager, the
# tools and the image-file library with cppcheck at warning level. Any finding fails; one that is
# explained is suppressed where it stands: `// cppcheck-suppress <id>` and why.
# Run alone, or by scripts/test.sh (which installs cppcheck when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
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
