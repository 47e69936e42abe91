#!/usr/bin/env bash
# The Windows installer under Wine, in a prefix of its own: a silent install
# with the simulated board; for each architecture the packages carry, the
# development Source Manager of that architecture, alone in a folder, finds
# the source under %WINDIR%\twain_64 (or twain_32) and the installed qxacquire
# of that architecture acquires one frame from it; a silent uninstall leaves
# no file and no uninstall entry behind.
# Usage: installer_test.sh SETUP.EXE TWAIN_32.DLL WORK_FOLDER "SIMULATOR FILES" [32-BIT TWAIN_32.DLL]
set -euo pipefail
setup=$1 dsm=$2 work=$3 dsm32=${5:-}
read -ra simulator <<<"$4"
export WINEPREFIX=$work/wineprefix-install
source "$(dirname "$0")/../../scripts/wine-prefix.sh"
qx_make_prefix

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QXTwain'
programDir=$(winepath -u 'C:\Program Files\Quorvex\QXTwain' 2>/dev/null)
failures=0
check() { if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
installed() { for f in "$@"; do [ -f "$f" ] || { echo "  missing $f"; return 1; }; done; }
# The 64-bit registry view, where a 64-bit installer writes: with wine32
# installed, a bare `wine reg` is the 32-bit one and sees another view.
has_key() { wine reg query "$key" /v DisplayVersion /reg:64 >/dev/null 2>&1; }
# twain folder, qxacquire's folder and Source Manager of each architecture installed.
halves=("twain_64 bin $dsm")
[ -z "$dsm32" ] || halves+=("twain_32 bin32 $dsm32")
sourceDir() { winepath -u "C:\\windows\\$1\\Quorvex" 2>/dev/null; }

wine "$(winepath -w "$setup")" /S /SIMULATOR
wineserver -w
check "registered the uninstaller in Add/Remove Programs" has_key
check "installed the uninstaller under Program Files" installed "$programDir/Uninstall.exe"

for half in "${halves[@]}"; do
  read -r twain bin dsmFile <<<"$half"
  check "installed the source and the simulated board under $twain\\Quorvex" installed \
    "${simulator[@]/#/$(sourceDir "$twain")/}" "$(sourceDir "$twain")/QXTwain.ds"
  check "installed qxacquire under Program Files\\...\\$bin" installed "$programDir/$bin/qxacquire.exe"

  # The Source Manager alone in its folder: whatever it finds comes from $twain.
  dsmDir=$work/installer-dsm-$twain out=$work/installer-out-$twain
  rm -rf "$dsmDir" "$out"
  mkdir -p "$dsmDir"
  cp "$dsmFile" "$dsmDir/"
  cd "$dsmDir"
  acquire() { wine "$programDir/$bin/qxacquire.exe" --dsm "$(winepath -w "$dsmDir/TWAIN_32.DLL")" "$@"; }
  listing=$(acquire --list 2>&1) || true
  echo "$listing"
  check "the $twain Source Manager lists the installed source" grep -q "Quorvex Camera Interface" <<<"$listing"
  status=0
  acquire --source "Quorvex Camera Interface" --out "$(winepath -w "$out")" || status=$?
  check "$bin\\qxacquire acquired from the installed source (exit $status)" test "$status" = 0
  check "the frame is a 640x480 PNG" test "$(identify -format '%m %wx%h' "$out/native-001.png" 2>&1)" = "PNG 640x480"
  cd "$work"
done

wine "$programDir/Uninstall.exe" /S
wineserver -w
# The uninstaller runs from a copy of itself: wait until it has finished.
for _ in $(seq 50); do [ -e "$programDir" ] || break; sleep 0.2; done
for half in "${halves[@]}"; do
  read -r twain _ <<<"$half"
  check "uninstall removed $twain\\Quorvex" test ! -e "$(sourceDir "$twain")"
done
check "uninstall removed the program folder" test ! -e "$programDir"
check "uninstall removed the uninstall entry" sh -c "! wine reg query '$key' /reg:64 >/dev/null 2>&1"
[ "$failures" = 0 ]
