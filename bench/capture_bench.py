#!/usr/bin/python3
"""The capture benchmark. Usage: capture_bench.py BUILD_DIR [--quick]

Runs build/pellacorn-capture --stats, the demo's ten seconds at 60 frames a
second, to MP4 five times (--quick: once, two seconds) and to WebM once,
without a display as `make video` does here (so each run starts its own
Xvfb), on each SDL 1.2 the machine has, as run_bench.py finds them. It
prints for each the median speed against real time with the spread, timed
by this script from the program's start to its exit, and the program's own
split of its time. On the main thread: the scene (Update, Draw, GL
finishing the frame, the swap), reading the frame back, mixing (the
mixer's callback), waiting for the encoder's thread, and the rest
(start-up and finishing the file). On the encoder's thread, alongside
those: encoding (converting to YUV 4:2:0, the encoders and the muxer).
Speeds move with the machine's load."""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "tests"))
from run_bench import main as on_each_stack  # noqa: E402
from support.xharness import scratch  # noqa: E402

PARTS = ("scene", "read-back", "mixing", "waiting", "encoding", "the rest")


def capture(program, cwd, env, seconds, output):
    """(speed against real time, {part: share}, {part: ms a frame}) of one run."""
    start = time.time()
    run = subprocess.run([program, "--stats", "--seconds", str(seconds), output], cwd=cwd,
                         env=env, capture_output=True, text=True, timeout=600)
    wall = time.time() - start
    if run.returncode != 0:
        raise SystemExit("%s failed:\n%s" % (program, run.stderr))
    shares, per_frame = {}, {}
    for part in PARTS:
        m = re.search(r"^%s\s+([\d.]+)%%\s+([\d.]+)" % re.escape(part), run.stderr, re.M)
        if m is None:
            raise SystemExit("no %s figure in:\n%s" % (part, run.stderr))
        shares[part], per_frame[part] = float(m.group(1)), float(m.group(2))
    return seconds / wall, shares, per_frame


def measure(build, quick, name, extra):
    program = os.path.join(build, "pellacorn-capture")
    cwd, out = scratch(), tempfile.mkdtemp(prefix="pellacorn-capture-bench-")
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    env.update(extra)
    seconds, rounds = (2, 1) if quick else (10, 5)
    try:
        mp4 = [capture(program, cwd, env, seconds, os.path.join(out, "demo.mp4"))
               for _ in range(rounds)]
        webm = capture(program, cwd, env, seconds, os.path.join(out, "demo.webm"))
    finally:
        shutil.rmtree(cwd, ignore_errors=True)
        shutil.rmtree(out, ignore_errors=True)
    speeds = [m[0] for m in mp4]
    print("On %s: %d s of the demo at 60 fps" % (name, seconds))
    print("MP4:  %.2f times real time (%.2f - %.2f over %d runs)"
          % (statistics.median(speeds), min(speeds), max(speeds), rounds))
    for part in PARTS:
        unit = "s" if part == "the rest" else "ms a frame"
        print("  %-10s %5.1f%%  %6.2f %s" % (part, statistics.median(m[1][part] for m in mp4),
                                            statistics.median(m[2][part] for m in mp4), unit))
    print("WebM: %.2f times real time, encoding %.1f%%" % (webm[0], webm[1]["encoding"]))
    print("MP4 at least twice real time: %s" % ("met" if statistics.median(speeds) >= 2 else
                                                "NOT met"))
    print()


if __name__ == "__main__":
    on_each_stack(measure, __doc__)
