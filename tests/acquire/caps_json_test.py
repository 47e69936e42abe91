#!/usr/bin/env python3
"""qxacquire --caps --json on the simulated board: the output parses as JSON
and says what the capability tests' table (printed by cap_table_json.exe)
holds for 8-, 12- and 24-bit boards.
Usage: caps_json_test.py QXACQUIRE.EXE CAP_TABLE_JSON.EXE"""
import json
import os
import subprocess
import sys
import tempfile


def run(exe, *args, config=None):
    env = dict(os.environ, WINEDLLOVERRIDES="twain_32=n,b", WINEDEBUG="-all")
    if config:
        env["QXSIM_CONFIG"] = "Z:" + config.replace("/", "\\")
    done = subprocess.run(["wine", exe, *args], env=env, cwd=os.path.dirname(exe),
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stdout + done.stderr
    return json.loads(done.stdout)


def plain(value):
    return value["value"] if isinstance(value, dict) else value


def check(exe, table_exe, depth):
    with tempfile.TemporaryDirectory() as folder:
        config = os.path.join(folder, "board.ini")
        with open(config, "w") as f:
            f.write(f"width = 320\nheight = 200\ndepth = {depth}\n")
        caps = run(exe, "--dsm", "TWAIN_32.DLL", "--caps", "--json", config=config)
    expected = run(table_exe, str(depth))
    assert [c["name"] for c in caps] == [e["name"] for e in expected], [c["name"] for c in caps]
    for cap, want in zip(caps, expected):
        got = {key: cap.get(key) for key in want}
        if "current" in want:
            got["current"] = plain(got["current"])
        if "values" in want:
            got["values"] = [plain(v) for v in got["values"] or []]
        assert got == want and ("values" in cap) == ("values" in want), (depth, cap, want)
    supported = caps[0]
    assert [v["value"] for v in supported["values"]] == [c["code"] for c in caps]
    pixel_type = next(c for c in caps if c["name"] == "ICAP_PIXELTYPE")
    assert pixel_type["current"]["name"] == ("TWPT_RGB" if depth == 24 else "TWPT_GRAY")
    print(f"ok: {depth}-bit board")


if __name__ == "__main__":
    for board_depth in (8, 12, 24):
        check(sys.argv[1], sys.argv[2], board_depth)
