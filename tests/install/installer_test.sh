#!/usr/bin/env bash
# The Windows installer under Wine, in a prefix of its own: a silent install
# with the simulated board; the development Source Manager, alone in a
# folder, finds the source under %WINDIR%\twain_64 and the installed
# qxacquire acquires one frame from it; a silent uninstall leaves no file and
# no uninstall entry behind.
# Usage: installer_test.sh SETUP.EXE TWAIN_32.DLL WORK_FOLDER
set -euo pipefail
setup=$1 dsm=$2 work=$3
export WINEPREFIX=$work/wineprefix-install WINEDEBUG=-all WINEARCH=win64
source "$(dirname "$0")/../../scripts/wine-prefix.sh"
qx_make_prefix
export WINEDLLOVERRIDES="twain_32=n,b"

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QXTwain'
sourceDir=$(winepath -u 'C:\windows\twain_64\Quorvex' 2>/dev/null)
programDir=$(winepath -u 'C:\Program Files\Quorvex\QXTwain' 2>/dev/null)
failures=0
check() { if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
installed() { for f in "$@"; do [ -f "$f" ] || { echo "  missing $f"; return 1; }; done; }
# The 64-bit registry view, where a 64-bit installer writes: with wine32
# installed, a bare `wine reg` is the 32-bit one and sees another view.
has_key() { wine reg query "$key" /v DisplayVersion /reg:64 >/dev/null 2>&1; }

wine "$(winepath -w "$setup")" /S /SIMULATOR
wineserver -w
check "installed the source and the simulated board under twain_64\\Quorvex" installed \
  "$sourceDir"/{QXTwain.ds,Kvd.dll,QXD.dll,QXEr.dll,QXDiskIO.dll,Vizpane.dll,qxsimcore.dll}
check "installed qxacquire and the uninstaller under Program Files" installed \
  "$programDir/bin/qxacquire.exe" "$programDir/Uninstall.exe"
check "registered the uninstaller in Add/Remove Programs" has_key

# The Source Manager alone in its folder: whatever it finds comes from twain_64.
dsmDir=$work/installer-dsm out=$work/installer-out
rm -rf "$dsmDir" "$out"
mkdir -p "$dsmDir"
cp "$dsm" "$dsmDir/"
cd "$dsmDir"
acquire() { wine "$programDir/bin/qxacquire.exe" --dsm "$(winepath -w "$dsmDir/TWAIN_32.DLL")" "$@"; }
listing=$(acquire --list 2>&1) || true
echo "$listing"
check "the Source Manager lists the installed source" grep -q "Quorvex Camera Interface" <<<"$listing"
status=0
acquire --source "Quorvex Camera Interface" --out "$(winepath -w "$out")" || status=$?
check "qxacquire acquired from the installed source (exit $status)" test "$status" = 0
check "the frame is a 640x480 PNG" test "$(identify -format '%m %wx%h' "$out/native-001.png" 2>&1)" = "PNG 640x480"
cd "$work"

wine "$programDir/Uninstall.exe" /S
wineserver -w
# The uninstaller runs from a copy of itself: wait until it has finished.
for _ in $(seq 50); do [ -e "$programDir" ] || break; sleep 0.2; done
check "uninstall removed twain_64\\Quorvex" test ! -e "$sourceDir"
check "uninstall removed the program folder" test ! -e "$programDir"
check "uninstall removed the uninstall entry" sh -c "! wine reg query '$key' /reg:64 >/dev/null 2>&1"
[ "$failures" = 0 ]
