#!/usr/bin/env python3
"""qxacquire tried from outside: the test source's random mode (random=SEED)
hands over random sizes, counts and fields. For every seed, by native and by
memory transfer, a run must end with exit status 0 and every frame written
(each read by ImageMagick's identify), or with exit status 1, an `error:`
line and the source closed (MSG_CLOSEDS in the trace), earlier frames
readable; never a crash, an abort or a hang.
Usage: hostile_trial.py QXACQUIRE.EXE [SEEDS [FIRST]]
SEEDS (default 30, or QX_HOSTILE_SEEDS) seeds from FIRST (default 1);
QX_HOSTILE_TIMEOUT seconds a run (default 20), QX_HOSTILE_JOBS runs at once (default 1)."""
import concurrent.futures
import os
import re
import signal
import subprocess
import sys
import tempfile

COUNT = 3  # frames asked of each run
# A run's address space: a frame the source claims is huge is then refused for
# want of memory at once, rather than taken and cleared by the gigabyte.
MEMORY = 4 << 30


def verdict(exe, seed, mechanism, timeout, attempt=0):
    """None for a run that ended as it must; else why not, and its output."""
    with tempfile.TemporaryDirectory() as out:
        # Without Wine's debugger a crash ends the run at once, rather than hang on its dialog.
        env = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="winedbg.exe=d", QXTEST_SOURCE=f"random={seed}")
        # Output to a file: Wine's helper processes would hold a pipe open after the run.
        with tempfile.TemporaryFile() as log:
            child = subprocess.Popen(
                ["prlimit", f"--as={MEMORY}", "wine", exe, "--verbose", "--unattended", "--dsm", "TWAIN_32.DLL",
                 "--source", "QX Test Source", "--count", str(COUNT), "--mech", mechanism,
                 "--out", "Z:" + out.replace("/", "\\")],
                env=env, cwd=os.path.dirname(exe), stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
            try:
                child.wait(timeout)
                hung = False
            except subprocess.TimeoutExpired:
                os.killpg(child.pid, signal.SIGKILL)
                child.wait()
                hung = True
            log.seek(max(0, os.fstat(log.fileno()).st_size - (1 << 16)) if hung else 0)  # a hang's last lines
            output = log.read().decode(errors="replace")
        if hung:
            return f"hang: no end in {timeout} s", output
        if "Source Manager:" not in output and attempt < 2:
            return verdict(exe, seed, mechanism, timeout, attempt + 1)  # Wine did not start it
        files = sorted(os.listdir(out))
        unread = [f for f in files if subprocess.run(["identify", os.path.join(out, f)], capture_output=True).returncode]
        crash = re.search(r"^.*(terminate called|wine: Unhandled).*$", output, re.M)
        code = child.returncode
        if crash:
            why = "crash: " + crash.group(0)
        elif unread:
            why = "files ImageMagick cannot read: " + " ".join(unread)
        elif code == 0:
            why = None if len(files) == COUNT else f"exit status 0 with {len(files)} of {COUNT} frames written"
        elif code != 1:
            why = f"crash: exit status {code}"
        elif not re.search(r"^error: ", output, re.M):
            why = "exit status 1 without an error line"
        else:
            why = None if "MSG_CLOSEDS -> TWRC_SUCCESS" in output else "exit status 1 with the source not closed"
        return why, output


def main():
    exe = os.path.abspath(sys.argv[1])
    seeds = int(sys.argv[2]) if len(sys.argv) > 2 else int(os.environ.get("QX_HOSTILE_SEEDS", 30))
    first = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    timeout = int(os.environ.get("QX_HOSTILE_TIMEOUT", 20))
    runs = [(seed, mechanism) for seed in range(first, first + seeds) for mechanism in ("native", "memory")]
    with concurrent.futures.ThreadPoolExecutor(int(os.environ.get("QX_HOSTILE_JOBS", 1))) as pool:
        results = list(pool.map(lambda run: verdict(exe, *run, timeout), runs))
    failed = [(run, why, output) for run, (why, output) in zip(runs, results) if why]
    for (seed, mechanism), why, output in failed:
        tail = "\n".join("    " + line for line in output.splitlines()[-25:])
        print(f"seed {seed} --mech {mechanism}: {why}\n{tail}")
    print(f"{len(runs) - len(failed)} passed, {len(failed)} failed")
    if failed:
        print("failing seeds: " + " ".join(f"{seed}/{mechanism}" for (seed, mechanism), _, _ in failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
