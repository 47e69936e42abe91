#!/usr/bin/env python3
"""qxacquire --caps --json on the simulated board: the output parses as JSON
and says what the capability tests' table (printed in codes by
cap_table_json.exe) holds for 8-, 12- and 24-bit boards; every name it prints
is the TWAIN header's name of that code. A source that does not list its
capabilities has those that answer listed; one that wants TWON_DONTCARE16 in
a request without a container has every capability listed, and every value
of lists of 65535 strings.
Usage: caps_json_test.py QXACQUIRE.EXE CAP_TABLE_JSON.EXE TWAIN.H"""
import json
import os
import re
import subprocess
import sys
import tempfile


def header_codes(path):
    with open(path) as f:
        return {name: int(value, 0) for name, value in
                re.findall(r"constexpr\s+\w+\s+(\w+)\s*=\s*(0x[0-9A-Fa-f]+|\d+)\s*;", f.read())}


def run(exe, *args, config=None, test_source=None):
    """The JSON on the program's standard output, and its error output."""
    env = dict(os.environ, WINEDEBUG="-all")
    if config:
        env["QXSIM_CONFIG"] = "Z:" + config.replace("/", "\\")
    if test_source is not None:
        env["QXTEST_SOURCE"] = test_source
    done = subprocess.run(["wine", exe, *args], env=env, cwd=os.path.dirname(exe),
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stdout + done.stderr
    return json.loads(done.stdout), done.stderr


def plain(value, codes):
    """A number, or a code with its name: the header's name of that code."""
    if not isinstance(value, dict):
        return value
    assert value["name"].startswith("0x") or codes[value["name"]] == value["value"], value
    return value["value"]


def in_codes(cap, codes):
    """The capability's names as the header's codes; MSG_X of a support bit is TWQC_X."""
    if not cap["name"].startswith("0x"):
        assert codes[cap["name"]] == cap["code"], cap
    return {"code": cap["code"], "container": codes[cap["container"]],
            "itemType": codes[cap["itemType"]],
            "messages": sum(codes["TWQC_" + m[len("MSG_"):]] for m in cap.get("messages", []))}


def check(exe, table_exe, codes, depth):
    with tempfile.TemporaryDirectory() as folder:
        config = os.path.join(folder, "board.ini")
        with open(config, "w") as f:
            f.write(f"width = 320\nheight = 200\ndepth = {depth}\n")
        caps, _ = run(exe, "--dsm", "TWAIN_32.DLL", "--caps", "--json", config=config)
    expected, _ = run(table_exe, str(depth))
    assert [c["code"] for c in caps] == [e["code"] for e in expected], [c["name"] for c in caps]
    for cap, want in zip(caps, expected):
        got = in_codes(cap, codes)
        got.update({key: cap.get(key) for key in ("current", "values") if key in want})
        if "current" in want:
            got["current"] = plain(got["current"], codes)
        if "values" in want:
            got["values"] = [plain(v, codes) for v in got["values"] or []]
        assert got == want and ("values" in cap) == ("values" in want), (depth, cap, want)
    supported = caps[0]
    assert [v["value"] for v in supported["values"]] == [c["code"] for c in caps]
    pixel_type = next(c for c in caps if c["name"] == "ICAP_PIXELTYPE")
    assert pixel_type["current"]["name"] == ("TWPT_RGB" if depth == 24 else "TWPT_GRAY")
    print(f"ok: {depth}-bit board")


def check_test_source(exe, codes):
    """The test source, which refuses a request without a container unless it
    says TWON_DONTCARE16. Without CAP_SUPPORTEDCAPS its refusal comes first,
    then every named capability that answers, and a note says so; with it,
    the capabilities it lists. Either way each has its current and default value."""
    names = ["CAP_XFERCOUNT", "ICAP_XFERMECH", "ICAP_PIXELTYPE", "ICAP_BITDEPTH", "ICAP_PIXELFLAVOR",
             "ICAP_COMPRESSION"]
    caps, note = run(exe, "--dsm", "TWAIN_32.DLL", "--source", "QX Test Source", "--caps", "--json",
                     test_source="")
    assert caps[0] == {"name": "CAP_SUPPORTEDCAPS", "code": codes["CAP_SUPPORTEDCAPS"],
                       "error": "TWCC_CAPUNSUPPORTED"}, caps[0]
    assert sorted(c["name"] for c in caps[1:]) == sorted(names), caps
    assert "every capability qxacquire knows by name was asked" in note, note
    listed, _ = run(exe, "--dsm", "TWAIN_32.DLL", "--source", "QX Test Source", "--caps", "--json",
                    test_source="caps=1")
    assert [c["name"] for c in listed] == names + ["CAP_SUPPORTEDCAPS"], listed
    for cap in caps[1:] + listed[:-1]:
        assert "current" in cap and "default" in cap and "messages" in cap, cap
    print("ok: the test source, with and without CAP_SUPPORTEDCAPS")


def check_huge_lists(exe, codes):
    """40 capabilities of 65535 strings each (16.8 MB a reply): every value, in order."""
    caps, _ = run(exe, "--dsm", "TWAIN_32.DLL", "--source", "QX Test Source", "--caps", "--json",
                  test_source="bigcaps=1")
    assert [c["code"] for c in caps] == [codes["CAP_SUPPORTEDCAPS"]] + list(range(0x8000, 0x8028)), caps[0]
    assert all(c["itemType"] == "TWTY_STR255" and c["values"] == [str(k) for k in range(65535)] for c in caps[1:])
    print("ok: 40 capabilities of 65535 values")


if __name__ == "__main__":
    header = header_codes(sys.argv[3])
    for board_depth in (8, 12, 24):
        check(sys.argv[1], sys.argv[2], header, board_depth)
    check_test_source(sys.argv[1], header)
    check_huge_lists(sys.argv[1], header)
