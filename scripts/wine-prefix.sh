# Sourced: qx_make_prefix makes the Wine prefix $WINEPREFIX ready once (a
# marker file records it), for the scripts and for tests that need a prefix
# of their own.
qx_make_prefix() {
  if [ ! -f "$WINEPREFIX/.qx-ready" ]; then
    echo "== preparing Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
    # Without a window manager Wine waits ~2 s on every window it shows or hides.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.qx-ready"
  fi
}
