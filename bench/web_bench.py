#!/usr/bin/python3
"""The web page's figures. Usage: web_bench.py BUILD_DIR [--quick]

Prints the demo's page size (each file, and all of them gzipped, as a
server would send them), then, alternating for several rounds on this
machine: the time from the page's load to its first frame and its frames
per second in headless Chromium (SwiftShader, software GL), and the
program's own frames per second under Xvfb (Mesa llvmpipe), measured as
run_bench.py measures it.

How to read it: both draw in software on the same cores, so the ratio of
the two frame rates is what the browser's GL emulation and WebGL cost; a
page also never draws faster than the display's rate (60 here), which
caps its figure. Frame rates move with the machine's load."""

import gzip
import os
import statistics
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))
sys.path.insert(0, HERE)
import run_bench  # noqa: E402
import test_web  # noqa: E402


def page_sizes(folder):
    sizes, packed = [], 0
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        sizes.append((name, len(data)))
        packed += len(gzip.compress(data, 9))
    return sizes, packed


def page_round(folder, seconds):
    """(ms from navigation to the first frame, frames per second)."""
    server = test_web.serve(folder)
    driver, profile = test_web.start_browser(False)
    try:
        driver.get("http://127.0.0.1:%d/pellacorn.html" % server.server_address[1])
        wait = test_web.WebDriverWait(driver, 60, poll_frequency=0.02)
        wait.until(lambda d: d.execute_script("return (Module.pellacornFrames || 0) >= 30"))
        first = driver.execute_script("return Module.pellacornFirstFrameMs")
        fps = driver.execute_async_script(
            "var Done = arguments[0], F = Module.pellacornFrames, T = performance.now();"
            "setTimeout(function() { Done((Module.pellacornFrames - F) * 1000 /"
            " (performance.now() - T)); }, %d);" % (seconds * 1000))
        return first, fps
    finally:
        driver.quit()
        server.shutdown()


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    build, quick = os.path.abspath(sys.argv[1]), "--quick" in sys.argv
    folder = os.path.join(build, "src", "pellacorn-web")
    sizes, packed = page_sizes(folder)
    for name, size in sizes:
        print("%-16s %9d bytes" % (name, size))
    print("%-16s %9d bytes (%.2f MB), gzipped: %d bytes (%.2f MB)"
          % ("all", sum(s for _, s in sizes), sum(s for _, s in sizes) / 1e6, packed,
             packed / 1e6))
    rounds, seconds = (1, 2) if quick else (5, 5)
    bench = run_bench.Bench(build, quick, {})
    firsts, page, desktop = [], [], []
    try:
        for _ in range(rounds):
            first, fps = page_round(folder, seconds)
            firsts.append(first)
            page.append(fps)
            desktop.append(bench.run_for("pellacorn", seconds, 1.0)[0])
    finally:
        bench.close()
    print("load to first frame in Chromium: median %.0f ms (%.0f - %.0f)"
          % (statistics.median(firsts), min(firsts), max(firsts)))
    print("frames per second, page in headless Chromium: median %.1f (%.1f - %.1f)"
          % (statistics.median(page), min(page), max(page)))
    print("frames per second, program under Xvfb:        median %.1f (%.1f - %.1f)"
          % (statistics.median(desktop), min(desktop), max(desktop)))


if __name__ == "__main__":
    main()
