#!/usr/bin/env python3
"""qxacquire --caps --json on the simulated board: the output parses as JSON
and says what the source's capability table holds for 8-, 12- and 24-bit
boards. Usage: caps_json_test.py QXACQUIRE.EXE"""
import json
import os
import subprocess
import sys
import tempfile

ORDER = ["CAP_SUPPORTEDCAPS", "ICAP_XFERMECH", "ICAP_PIXELFLAVOR", "ICAP_PLANARCHUNKY",
         "ICAP_COMPRESSION", "ICAP_PHYSICALWIDTH", "ICAP_PHYSICALHEIGHT", "ICAP_UNITS",
         "CAP_DEVICEONLINE", "ICAP_PIXELTYPE", "ICAP_BITDEPTH", "ICAP_BITORDER",
         "ICAP_XRESOLUTION", "ICAP_YRESOLUTION", "CAP_XFERCOUNT", "ICAP_IMAGEFILEFORMAT",
         "CAP_UICONTROLLABLE"]
ALL_MESSAGES = ["MSG_GET", "MSG_SET", "MSG_GETDEFAULT", "MSG_GETCURRENT", "MSG_RESET"]
READ_ONLY = ["MSG_GET", "MSG_GETDEFAULT", "MSG_GETCURRENT"]


def capabilities(exe, depth):
    with tempfile.TemporaryDirectory() as folder:
        config = os.path.join(folder, "board.ini")
        with open(config, "w") as f:
            f.write(f"width = 320\nheight = 200\ndepth = {depth}\n")
        env = dict(os.environ, QXSIM_CONFIG="Z:" + config.replace("/", "\\"),
                   WINEDLLOVERRIDES="twain_32=n,b", WINEDEBUG="-all")
        run = subprocess.run(["wine", exe, "--dsm", "TWAIN_32.DLL", "--caps", "--json"], env=env, cwd=os.path.dirname(exe),
                             capture_output=True, text=True, timeout=120)
    assert run.returncode == 0, run.stdout + run.stderr
    return json.loads(run.stdout)


def value(entry, key):
    v = entry[key]
    return v["value"] if isinstance(v, dict) else v


def check(exe, depth):
    caps = capabilities(exe, depth)
    by_name = {c["name"]: c for c in caps}
    assert [c["name"] for c in caps] == ORDER, [c["name"] for c in caps]
    supported = by_name["CAP_SUPPORTEDCAPS"]
    assert supported["container"] == "TWON_ARRAY"
    assert [v["value"] for v in supported["values"]] == [c["code"] for c in caps]
    expected = {
        # name: (container, item type, current, allowed values or None, messages)
        "ICAP_XFERMECH": ("TWON_ENUMERATION", "TWTY_UINT16", 0, [0, 1, 2], ALL_MESSAGES),
        "ICAP_PHYSICALWIDTH": ("TWON_ONEVALUE", "TWTY_FIX32", 320, None, READ_ONLY),
        "ICAP_PHYSICALHEIGHT": ("TWON_ONEVALUE", "TWTY_FIX32", 200, None, READ_ONLY),
        "ICAP_UNITS": ("TWON_ENUMERATION", "TWTY_UINT16", 5, [5], ALL_MESSAGES),
        "CAP_DEVICEONLINE": ("TWON_ONEVALUE", "TWTY_BOOL", True, None, READ_ONLY),
        "ICAP_PIXELTYPE": ("TWON_ENUMERATION", "TWTY_UINT16", 2 if depth == 24 else 1,
                           [2 if depth == 24 else 1], ALL_MESSAGES),
        "ICAP_BITDEPTH": ("TWON_ENUMERATION", "TWTY_UINT16", {8: 8, 12: 16, 24: 24}[depth],
                          [24] if depth == 24 else [8, 16], READ_ONLY),
        "ICAP_XRESOLUTION": ("TWON_ENUMERATION", "TWTY_FIX32", 1, [1], ALL_MESSAGES),
        "CAP_XFERCOUNT": ("TWON_ONEVALUE", "TWTY_INT16", -1, None, ALL_MESSAGES),
        "ICAP_IMAGEFILEFORMAT": ("TWON_ENUMERATION", "TWTY_UINT16", 2, [2, 0], ALL_MESSAGES),
        "CAP_UICONTROLLABLE": ("TWON_ONEVALUE", "TWTY_BOOL", True, None, READ_ONLY),
    }
    for name, (container, item, current, allowed, messages) in expected.items():
        entry = by_name[name]
        got = (entry["container"], entry["itemType"], value(entry, "current"),
               [v["value"] if isinstance(v, dict) else v for v in entry["values"]]
               if "values" in entry else None, entry["messages"])
        assert got == (container, item, current, allowed, messages), (depth, name, got)
    assert by_name["ICAP_PIXELTYPE"]["current"]["name"] == ("TWPT_RGB" if depth == 24 else "TWPT_GRAY")
    print(f"ok: {depth}-bit board")


if __name__ == "__main__":
    for board_depth in (8, 12, 24):
        check(sys.argv[1], board_depth)
