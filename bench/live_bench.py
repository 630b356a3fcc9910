#!/usr/bin/python3
"""The live program's benchmark. Usage: live_bench.py BUILD_DIR [--swaps N]

Installs the kit from BUILD_DIR into a temporary prefix and, under one Xvfb,
runs NAME-live on two scenes built with it: the starter's scene (from
pellacorn-new-scene) and the demo's scene (a copy of src/app.cpp with its
files). For each it saves the scene's source five times, changing a
constant each time, and prints the medians of: the build (what the
compiler and linker take), the time from the end of the build to the first
frame drawn by the new code (the live program's own part: loading the new
version and carrying its state), and the whole time from the save to that
frame, as seen from outside. Then, on the starter's scene, N swaps in a row
(default 50): the open files and the resident memory after the first swap
and after the last.

How to read it: the build dominates the save-to-frame time; the swap is
what the live program adds to it, and should stay far under 100 ms."""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))
from support.xharness import ASSETS, SOURCE, TITLE, Xvfb, find_window, wait_for  # noqa: E402

# The demo's scene and the headers it includes from src/, in their folders.
DEMO_FILES = ["app.cpp", "app.h", "main.h", "error.h", "shell/imagefile.h", "shell/layer.h"]
SWAPPED = re.compile(r"Live: version (\d+) built in (\d+) ms, drawn ([\d.]+) ms after its build")


class LiveRun:
    """NAME-live started in its folder, its terminal lines read as they come."""

    def __init__(self, folder, program, server):
        env = dict(os.environ, DISPLAY=server.name, SDL_AUDIODRIVER="dummy")
        self.proc = subprocess.Popen([program], cwd=folder, env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True)
        self.swaps = {}  # version: (build ms, swap ms, seen at)
        self.ready = threading.Condition()
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        for line in self.proc.stdout:
            found = SWAPPED.search(line)
            if found:
                with self.ready:
                    self.swaps[int(found.group(1))] = (int(found.group(2)),
                                                       float(found.group(3)), time.monotonic())
                    self.ready.notify_all()

    def wait_swap(self, version, timeout=120):
        with self.ready:
            if not self.ready.wait_for(lambda: version in self.swaps, timeout):
                raise RuntimeError("version %d never showed" % version)
            return self.swaps[version]

    def files_and_memory(self):
        with open("/proc/%d/status" % self.proc.pid) as f:
            rss = int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))
        return len(os.listdir("/proc/%d/fd" % self.proc.pid)), rss

    def stop(self):
        self.proc.terminate()
        self.proc.wait(30)


def save(path, pattern, value):
    """Rewrites the file with the first match of pattern's group replaced."""
    with open(path) as f:
        text = f.read()
    found = re.search(pattern, text)
    text = text[:found.start(1)] + value + text[found.end(1):]
    with open(path, "w") as f:
        f.write(text)


def build(folder, prefix, name):
    out = os.path.join(folder, "build")
    subprocess.run(["cmake", "-S", folder, "-B", out, "-DCMAKE_PREFIX_PATH=" + prefix],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", out, "--target", name + "-live"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(out, name + "-live")


def measure(run, source, pattern, values, first_version=2):
    """Saves each value in turn; (build ms, swap ms, save-to-frame ms) each."""
    results = []
    for number, value in enumerate(values, first_version):
        saved = time.monotonic()
        save(source, pattern, value)
        built, swapped, seen = run.wait_swap(number)
        results.append((built, swapped, (seen - saved) * 1000))
    return results


def report(name, results):
    built, swapped, whole = zip(*results)
    print("%-8s build %5.0f ms   build end to new frame %5.1f ms (max %.1f)   "
          "save to new frame %5.0f ms" % (name, statistics.median(built),
                                           statistics.median(swapped), max(swapped),
                                           statistics.median(whole)))


def main():
    build_dir = os.path.abspath(sys.argv[1])
    swaps = int(sys.argv[sys.argv.index("--swaps") + 1]) if "--swaps" in sys.argv else 50
    root = tempfile.mkdtemp(prefix="pellacorn-live-bench-")
    server = Xvfb()
    try:
        prefix = os.path.join(root, "prefix")
        subprocess.run(["cmake", "--install", build_dir, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)

        starter = os.path.join(root, "starter")
        subprocess.run([os.path.join(prefix, "bin", "pellacorn-new-scene"), starter], check=True,
                       stdout=subprocess.DEVNULL)
        demo = os.path.join(root, "demo")
        os.makedirs(os.path.join(demo, "data"))
        for name in ASSETS:
            shutil.copy(os.path.join(SOURCE, name), os.path.join(demo, name))
        for name in DEMO_FILES:
            os.makedirs(os.path.dirname(os.path.join(demo, name)), exist_ok=True)
            shutil.copy(os.path.join(SOURCE, "src", name), os.path.join(demo, name))
        with open(os.path.join(demo, "CMakeLists.txt"), "w") as f:
            f.write("cmake_minimum_required(VERSION 3.16)\nproject(demo LANGUAGES CXX)\n"
                    "find_package(Pellacorn REQUIRED)\npellacorn_add_scene(demo app.cpp)\n")

        # A constant each save changes: the square's distance, the spin rate.
        scenes = [("starter", starter, "scene.cpp", r"glTranslatef\(1\.5f \* sinf\(Seconds\), "
                   r"0\.0f, (-[\d.]+)f\)", "-%.2f", 6.0),
                  ("demo", demo, "app.cpp", r"angle \+= \(float\)Milliseconds / ([\d.]+)f",
                   "%.2f", 5.0)]
        for label, folder, source, pattern, form, start in scenes:
            run = LiveRun(folder, build(folder, prefix, label), server)
            try:
                find_window(server, TITLE if label == "demo" else label)
                log = os.path.join(folder, "log.txt")
                wait_for(lambda: os.path.exists(log) and "Live: version 1" in open(log).read(),
                         60)
                source = os.path.join(folder, source)
                values = [form % (start + 0.01 * i) for i in range(1, 6 if label == "demo" else
                                                                   max(swaps, 5) + 1)]
                results = measure(run, source, pattern, values[:1])
                first = run.files_and_memory()
                results += measure(run, source, pattern, values[1:], first_version=3)
                report(label, results[:5])
                if label == "starter":
                    last = run.files_and_memory()
                    print("after swap 1 and swap %d: open files %d and %d, resident memory "
                          "%d and %d KiB (%+d KiB)" % (len(values), first[0], last[0], first[1],
                                                      last[1], last[1] - first[1]))
            finally:
                run.stop()
    finally:
        server.stop()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
