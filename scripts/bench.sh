#!/usr/bin/env bash
# Installs what is missing, builds the source, the simulated board and the
# benchmark, and runs it under Wine. An optional argument multiplies the
# repetitions (default 1).
source "$(dirname "$0")/setup-env.sh"
cmake -S "$QX_ROOT" -B "$QX_BUILD" -DCMAKE_TOOLCHAIN_FILE="$QX_ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$QX_BUILD" --target qxbench -j"$(nproc)" >/dev/null
cd "$QX_BIN"
wine ./qxbench.exe "$@"
