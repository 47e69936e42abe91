# Sourced: qx_make_prefix makes the Wine prefix $WINEPREFIX ready once (a
# marker file records it), for the scripts and for tests that need a prefix
# of their own. WINEARCH=win64 runs 32-bit programs too once Wine's 32-bit
# half, wine32, is installed. Programs in such a prefix load the development
# Source Manager, TWAIN_32.DLL, from their folder rather than Wine's own.

qx_has_wine32() { dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q ' installed'; }

# qx_make_prefix: makes $WINEPREFIX ready unless it already is.
qx_make_prefix() {
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEARCH=win64
  # A prefix made before wine32 was installed cannot start programs once it is
  # ("could not load kernel32.dll"): the prefix records which Wine made it
  # (an empty record is from before there was one, without wine32), and
  # whether it has the DLL override (older prefixes are made anew).
  local made="wine32=no" recorded
  if qx_has_wine32; then made="wine32=yes"; fi
  made+=" twain_32=native"
  if [ -f "$WINEPREFIX/.qx-ready" ]; then
    recorded=$(cat "$WINEPREFIX/.qx-ready")
    if [ "${recorded:-wine32=no}" != "$made" ]; then
      echo "== Wine prefix $WINEPREFIX was made as \"${recorded:-wine32=no}\", now wanted \"$made\": making it anew"
      wineserver -k >/dev/null 2>&1 || true
      rm -rf "$WINEPREFIX"
    fi
  fi
  if [ ! -f "$WINEPREFIX/.qx-ready" ]; then
    echo "== preparing Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
    # Without a window manager Wine waits ~2 s on every window it shows or hides.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\DllOverrides' /v twain_32 /d native,builtin /f >/dev/null 2>&1
    wineserver -w
    echo "$made" >"$WINEPREFIX/.qx-ready"
  fi
}
