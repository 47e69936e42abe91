#!/usr/bin/env bash
# Installs what is missing, runs the static analysis, builds with warnings as
# errors, and runs every test under Wine on a virtual display.
source "$(dirname "$0")/setup-env.sh"
bash "$QX_ROOT/scripts/lint.sh"
qx_build -DQX_BUILD_TESTS=ON -DQX_WERROR=ON
cd "$QX_BUILD"
ctest --output-on-failure --timeout 600 "$@"
