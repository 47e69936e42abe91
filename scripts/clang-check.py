#!/usr/bin/env python3
"""Compiles every C and C++ file of the given folders with clang, each with the flags CMake
builds it with (read from the build folders' compile_commands.json), for the mingw-w64 target
of that build, with -Wall -Wextra -Werror. Prints each failing file's diagnostics and exits 1.

usage: clang-check.py BUILD_FOLDER... -- FOLDER...

Each file is compiled (-c) to /dev/null and not linked: the diagnostics come from compiling, and
the programs that are linked, run and tested are gcc's. clang uses the C++ library and Windows
headers of the build's own mingw-w64 gcc (clang 14 does not find Debian's posix-thread gcc by
itself) and its own intrinsics headers in place of gcc's."""
import concurrent.futures
import json
import os
import shlex
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The files clang checks; a build also lists others (Ninja lists the resource script, .rc).
SOURCE_SUFFIXES = (".c", ".cpp")
# The fuzz targets: a native project of their own, which clang builds with -Wall -Wextra -Werror
# (scripts/fuzz.sh); no Windows build compiles them.
NATIVE = os.path.join(ROOT, "tests", "fuzz") + os.sep
# Options that name an output or a dependency file, each followed by its value.
OUTPUT_OPTIONS = {"-o", "-MF", "-MT", "-MQ"}


def expand_response_files(args, directory):
    expanded = []
    for arg in args:
        if arg.startswith("@"):
            with open(os.path.join(directory, arg[1:])) as f:
                expanded += shlex.split(f.read())
        else:
            expanded.append(arg)
    return expanded


_search_dirs = {}


def gcc_search_dirs(compiler, language):
    """The system include folders of the mingw gcc, without gcc's own intrinsics headers."""
    key = (compiler, language)
    if key not in _search_dirs:
        listing = subprocess.run([compiler, "-x" + language, "-E", "-v", "-"], input="",
                                 capture_output=True, text=True, check=True).stderr.splitlines()
        start = listing.index("#include <...> search starts here:") + 1
        end = listing.index("End of search list.")
        private = subprocess.run([compiler, "-print-file-name=include"], capture_output=True,
                                 text=True, check=True).stdout.strip()
        private = {os.path.realpath(private), os.path.realpath(private + "-fixed")}
        _search_dirs[key] = [d.strip() for d in listing[start:end]
                             if os.path.realpath(d.strip()) not in private]
    return _search_dirs[key]


def clang_command(entry):
    """The clang command line for one compile_commands.json entry."""
    args = expand_response_files(shlex.split(entry["command"]), entry["directory"])
    compiler = args[0]
    name = os.path.basename(compiler)
    triple = "-".join(name.split("-")[:3])
    cxx = "++" in name
    language = "c++" if cxx else "c"
    command = ["clang++" if cxx else "clang", "--target=" + triple, "-nostdlibinc"]
    if cxx:
        command.append("-nostdinc++")
    for folder in gcc_search_dirs(compiler, language):
        command += ["-isystem", folder]
    rest = iter(args[1:])
    for arg in rest:
        if arg in OUTPUT_OPTIONS:
            next(rest)
        elif arg not in ("-MD", "-MMD"):
            command.append(arg)
    # clang warns from its front end whatever the optimisation level; code generation, kept at
    # -O0 for speed, checks what only it checks (a vector intrinsic in a function not compiled
    # for that instruction set).
    return triple, command + ["-O0", "-Wall", "-Wextra", "-Werror", "-o", os.devnull]


def main(argv):
    split = argv.index("--")
    builds, folders = argv[:split], argv[split + 1:]
    roots = [os.path.join(ROOT, folder) + os.sep for folder in folders]
    jobs = {}
    for build in builds:
        with open(os.path.join(build, "compile_commands.json")) as f:
            for entry in json.load(f):
                if entry["file"].endswith(SOURCE_SUFFIXES) and any(
                        entry["file"].startswith(root) for root in roots):
                    triple, command = clang_command(entry)
                    jobs.setdefault((triple, entry["file"], tuple(command)),
                                    (entry["directory"], command))
    # A file that no build compiles is not checked at all: name it.
    compiled = {file for _, file, _ in jobs}
    unbuilt = sorted(os.path.relpath(os.path.join(top, file), ROOT)
                     for root in roots for top, _, files in os.walk(root) for file in files
                     if file.endswith(SOURCE_SUFFIXES) and os.path.join(top, file) not in compiled
                     and not (top + os.sep).startswith(NATIVE))
    for file in unbuilt:
        print(f"{file}: no build compiles this file, so clang does not check it")

    def run(key):
        directory, command = jobs[key]
        result = subprocess.run(command, cwd=directory, capture_output=True, text=True)
        return key, result.returncode, result.stderr

    started = time.monotonic()
    failed = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count()) as pool:
        for key, status, diagnostics in pool.map(run, sorted(jobs)):
            if status != 0 or diagnostics:
                failed.append((key, diagnostics))
    for (triple, file, _), diagnostics in failed:
        print(f"== clang {triple}: {os.path.relpath(file, ROOT)}")
        print(diagnostics, end="")
    print(f"== clang: {len(jobs)} compiles of {len(compiled)} files in "
          f"{time.monotonic() - started:.0f} s, {len(failed)} with diagnostics")
    return 1 if failed or unbuilt else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
