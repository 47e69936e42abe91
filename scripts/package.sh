#!/usr/bin/env bash
# Installs what is missing (nsis among it), builds both architectures, and
# makes the Windows packages, which carry the 64-bit and the 32-bit source:
# build/package/QXTwain-<version>-win64.zip and
# build/package/QXTwain-<version>-win64-setup.exe.
QX_ARCHS="win32 win64"
source "$(dirname "$0")/setup-env.sh"
# The 32-bit build folder first: the 64-bit one's packages target builds and installs from it.
cmake --no-warn-unused-cli -S "$QX_ROOT" -B "$QX_BUILD" "${QX_CMAKE_ARGS[@]}" >/dev/null
qx_use_arch win64
cmake --no-warn-unused-cli -S "$QX_ROOT" -B "$QX_BUILD" "${QX_CMAKE_ARGS[@]}" >/dev/null
if ! cmake --build "$QX_BUILD" -j"$(nproc)" --target packages >"$QX_BUILD/package.log" 2>&1; then
  cat "$QX_BUILD/package.log" >&2
  exit 1
fi
ls "$QX_BUILD"/package/QXTwain-*-win64.zip "$QX_BUILD"/package/QXTwain-*-win64-setup.exe
