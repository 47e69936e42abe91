#!/usr/bin/env bash
# Installs what is missing, builds, and acquires from the simulated board through
# the development Source Manager. Extra arguments go to the demo program.
source "$(dirname "$0")/setup-env.sh"
qx_build -DQX_BUILD_TESTS=OFF
cd "$QX_BIN"
wine ./qxdemo.exe "$@"
