#!/usr/bin/env bash
# Installs what is missing (nsis among it), builds both architectures, and
# makes the Windows packages, which carry the 64-bit and the 32-bit source:
# build/package/QXTwain-<version>-win64.zip and
# build/package/QXTwain-<version>-win64-setup.exe.
set -euo pipefail
QX_ARCHS="win32 win64"
source "$(dirname "$0")/setup-env.sh"
# The 32-bit build folder first: the 64-bit one's packages carry its files.
qx_build --target QXTwain --target boardsim --target qxacquire
qx_use_arch win64
qx_build --target packages
ls "$QX_BUILD"/package/QXTwain-*-win64.zip "$QX_BUILD"/package/QXTwain-*-win64-setup.exe
