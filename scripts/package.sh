#!/usr/bin/env bash
# Installs what is missing (nsis among it), builds, and makes the Windows
# packages: build/package/QXTwain-<version>-win64.zip and
# build/package/QXTwain-<version>-win64-setup.exe.
source "$(dirname "$0")/setup-env.sh"
cmake --no-warn-unused-cli -S "$QX_ROOT" -B "$QX_BUILD" -DCMAKE_TOOLCHAIN_FILE="$QX_ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
if ! cmake --build "$QX_BUILD" -j"$(nproc)" --target packages >"$QX_BUILD/package.log" 2>&1; then
  cat "$QX_BUILD/package.log" >&2
  exit 1
fi
ls "$QX_BUILD"/package/QXTwain-*-win64.zip "$QX_BUILD"/package/QXTwain-*-win64-setup.exe
