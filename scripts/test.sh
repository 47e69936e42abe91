#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine on a virtual display.
source "$(dirname "$0")/setup-env.sh"
qx_build -DQX_BUILD_TESTS=ON
cd "$QX_BUILD"
ctest --output-on-failure --timeout 600 "$@"
