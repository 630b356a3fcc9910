#!/usr/bin/python3
"""The frame-loop benchmark. Usage: run_bench.py BUILD_DIR [--quick]

Runs, under one Xvfb and alternating for several rounds:
  pellacorn    the real program, frames counted by a preload spy that
               wraps SDL_GL_SwapBuffers (the program is unchanged);
  floor        the same window and mode, only a clear and a swap a frame;
  calls_only   the same frame's SDL and GL calls from a bare loop;
  whole_layer  Pellacorn's objects updating the whole 640 x 480 layer once a
               frame instead of the three logo rectangles.
Every variant plays the tune through SDL's dummy audio driver, as the real
program does. It prints the median frames per second of each with the
spread (lowest to highest), the ratios pellacorn/floor, pellacorn/
calls_only and pellacorn/whole_layer, and then: the CPU used while
iconified, the time from start to the first frame, the peak resident
memory, and the instructions per frame spent in Pellacorn's own code,
counted by callgrind.

How to read it: pellacorn/calls_only is the overhead of our code (the shell,
the scene module, the log) on top of the calls the frame must make; 1.00
means none. pellacorn/floor is what the frame's work costs against an empty
frame: that is SDL's and Mesa's cost, not ours. pellacorn/whole_layer shows
what updating only three rectangles saves. Frame rates are wall-clock and
move with the machine's load; the callgrind count does not."""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))
from support.xharness import (Run, Xvfb, find_window, linked_sdl_version, scratch,  # noqa: E402
                              sdl_version, wait_for, wait_for_frame)


def spy_samples(path):
    """(first-frame ms, [(ms, frames), ...]) from the spy's file."""
    first, samples = None, []
    with open(path) as f:
        for line in f:
            words = line.split()
            if words[0] == "first":
                first = float(words[1])
            elif words[0] == "at":
                samples.append((float(words[1]), int(words[3])))
    return first, samples


def peak_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def stacks(build, quick):
    """(name, extra environment) for each SDL 1.2 this machine has: the
    system's, and where that is classic SDL, the sdl12-compat that the test
    suite fetches into the build (a quick run takes the system's alone)."""
    found = [(name_of(linked_sdl_version(os.path.join(build, "Pellacorn"))), {})]
    compat = os.path.join(build, "sdl12-compat", "usr", "lib")
    for root, _, files in os.walk(compat):
        if "libSDL-1.2.so.0" in files and not quick and found[0][0].startswith("classic"):
            version = sdl_version(os.path.join(root, "libSDL-1.2.so.0"))
            found.append((name_of(version), {"LD_LIBRARY_PATH": root}))
    return found


def name_of(version):
    return ("classic SDL %d.%d.%d" if version < (1, 2, 50) else "sdl12-compat %d.%d.%d") % version


class Bench:
    def __init__(self, build, quick, env):
        self.build, self.quick, self.env = build, quick, env
        self.spy = os.path.join(build, "libpellacorn_spy.so")
        self.programs = {"pellacorn": os.path.join(build, "Pellacorn"),
                         "floor": os.path.join(build, "bench", "bench_floor"),
                         "calls_only": os.path.join(build, "bench", "bench_calls_only"),
                         "whole_layer": os.path.join(build, "bench", "bench_whole_layer")}
        self.server = Xvfb()
        self.work = tempfile.mkdtemp(prefix="pellacorn-bench-")
        self.cwd = scratch()

    def close(self):
        self.server.stop()
        shutil.rmtree(self.work, ignore_errors=True)
        shutil.rmtree(self.cwd, ignore_errors=True)

    def run_for(self, name, seconds, warm_up):
        """Frames per second of one variant over seconds of drawing that
        begin warm_up seconds after its first frame, and extras."""
        spy = os.path.join(self.work, name + ".spy")
        run = Run(self.cwd, self.server, program=self.programs[name],
                  env=dict(self.env, LD_PRELOAD=self.spy, PELLACORN_SPY=spy))

        def span():
            """The measured stretch: the first and last samples in it."""
            first, samples = spy_samples(spy) if os.path.exists(spy) else (None, [])
            if first is None:
                return None
            inside = [s for s in samples if s[0] >= first + warm_up * 1000]
            return (inside[0], inside[-1]) if len(inside) > 1 else None

        try:
            if find_window(self.server, run=run) is None:
                raise SystemExit("%s did not open its window" % name)
            # However slow a start on a busy machine, measure the full span.
            if not wait_for(lambda: span() is not None
                            and span()[1][0] - span()[0][0] >= seconds * 1000,
                            timeout=10 * (seconds + warm_up) + 30):
                raise SystemExit("%s drew too few frames to measure" % name)
            (start, end), first = span(), spy_samples(spy)[0]
            peak = peak_kib(run.proc.pid)
            run.proc.terminate()
            run.wait(20)
        finally:
            run.kill()
        fps = (end[1] - start[1]) / ((end[0] - start[0]) / 1000.0)
        return fps, first, peak

    def frame_rates(self):
        rounds, seconds, warm = (1, 2.0, 0.8) if self.quick else (5, 6.0, 1.5)
        fps = {name: [] for name in self.programs}
        firsts, peaks = [], []
        for _ in range(rounds):
            for name in self.programs:
                rate, first, peak = self.run_for(name, seconds, warm)
                fps[name].append(rate)
                if name == "pellacorn":
                    firsts.append(first)
                    peaks.append(peak)
        return fps, statistics.median(firsts), statistics.median(peaks)

    def iconified_cpu(self):
        run = Run(self.cwd, self.server, program=self.programs["pellacorn"], env=self.env)
        try:
            window = find_window(self.server, run=run)
            if window is None or not wait_for_frame(window, run):
                raise SystemExit("pellacorn did not draw")
            window.unmap()
            self.server.x.sync()
            # Settled into waiting for events, which wakes it each 10 ms.
            woken = run.wakeups()
            wait_for(lambda: run.wakeups() >= woken + 20)
            before, start = run.cpu_seconds(), time.time()
            time.sleep(1.0 if self.quick else 3.0)
            used = (run.cpu_seconds() - before) / (time.time() - start)
            run.proc.terminate()
            run.wait(20)
        finally:
            run.kill()
        return used * 100.0

    def callgrind(self, frames):
        """(instructions in our code, instructions in all) for frames."""
        out = os.path.join(self.work, "callgrind.%d" % frames)
        env = dict(self.env, PATH=os.environ["PATH"], DISPLAY=self.server.name,
                   SDL_AUDIODRIVER="dummy", LD_PRELOAD=self.spy,
                   PELLACORN_SPY_FRAMES=str(frames))
        subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out,
                        self.programs["pellacorn"]], cwd=self.cwd, env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
        text = subprocess.run(["callgrind_annotate", "--inclusive=no", "--threshold=100", out],
                              capture_output=True, text=True, check=True).stdout
        ours = total = 0
        binary = os.path.realpath(self.programs["pellacorn"])
        source = os.path.realpath(os.path.join(HERE, ".."))
        for line in text.splitlines():
            m = re.match(r"\s*([\d,]+)\s+(\([^)]*\)\s+)?(\S.*)$", line)
            if not m:
                continue
            count = int(m.group(1).replace(",", ""))
            if "PROGRAM TOTALS" in line:
                total = count
            # Our code, also where callgrind names it by source file only
            # (code inlined from a header).
            elif "[%s]" % binary in line or re.match(r"(%s/)?src/" % re.escape(source),
                                                     m.group(3)):
                ours += count
        return ours, total

    def instructions_per_frame(self):
        low, high = (5, 15) if self.quick else (60, 180)
        ours_low, total_low = self.callgrind(low)
        ours_high, total_high = self.callgrind(high)
        frames = high - low
        return (ours_high - ours_low) / frames, (total_high - total_low) / frames


def measure(build, quick, name, env):
    bench = Bench(build, quick, env)
    try:
        fps, first, peak = bench.frame_rates()
        cpu = bench.iconified_cpu()
        ours, total = bench.instructions_per_frame()
    finally:
        bench.close()

    print("On %s:" % name)
    med = {variant: statistics.median(v) for variant, v in fps.items()}
    print("%-12s %10s %20s" % ("variant", "median fps", "spread (low-high)"))
    for variant, values in fps.items():
        print("%-12s %10.1f %9.1f - %-9.1f" % (variant, med[variant], min(values), max(values)))
    print()
    for other in ("floor", "calls_only", "whole_layer"):
        print("pellacorn / %-11s %.3f" % (other, med["pellacorn"] / med[other]))
    print()
    print("CPU while iconified:        %.2f%%" % cpu)
    print("start to first frame:       %.0f ms" % first)
    print("peak resident memory:       %.1f MiB" % (peak / 1024.0))
    print("instructions per frame:     %.0f in our code, of %.0f in all (%.3f%%)"
          % (ours, total, 100.0 * ours / total if total else 0.0))
    goals = [("pellacorn within 5%% of calls_only", med["pellacorn"] / med["calls_only"] >= 0.95),
             ("well ahead of whole_layer", med["pellacorn"] > 1.2 * med["whole_layer"]),
             ("under 1%% CPU while iconified", cpu < 1.0)]
    print()
    for goal, met in goals:
        print("%-36s %s" % (goal.replace("%%", "%"), "met" if met else "NOT met"))
    print()


def main(measure_one=measure, usage=__doc__):
    """measure_one(build, quick, stack's name, its environment) on each
    stack, with this command line; the capture benchmark shares it."""
    if len(sys.argv) < 2:
        raise SystemExit(usage)
    build, quick = os.path.abspath(sys.argv[1]), "--quick" in sys.argv
    for name, env in stacks(build, quick):
        measure_one(build, quick, name, env)


if __name__ == "__main__":
    main()
