"""The real shell with a probe scene linked in place of the demo scene. The
probe writes a line for every hook call to probe.txt, so the tests see what
the loop did and when: the hook order, the key table, elapsed times, hidden
and focus states, and the end of the loop."""

import os
import shutil
import signal
import subprocess
import sys
import textwrap
import time
import unittest

from support.xharness import (CLOSING, COMPAT, HEADER, PROBE, Run, ServerTest, close,
                              find_window, focus, hold_key_until, popen, scratch, screenshot,
                              stop_process, wait_for)


def parse(text):
    """The probe's lines as (hook, {field: value}) pairs."""
    calls = []
    for line in text.splitlines():
        hook, *fields = line.split()
        calls.append((hook, dict(f.split("=", 1) for f in fields)))
    return calls


def updates(calls):
    return [fields for hook, fields in calls if hook == "Update"]


class ShellLoop(ServerTest):
    def start(self, **env):
        run = Run(scratch(), self.server, program=PROBE, env={k: str(v) for k, v in env.items()})
        self.runs.append(run)
        window = find_window(self.server, run=run)
        return run, window

    def calls(self, run):
        return parse(run.read("probe.txt"))

    def frames(self, run):
        return len(updates(self.calls(run)))

    def wait_frames(self, run, count):
        start = self.frames(run)
        self.assertTrue(wait_for(lambda: self.frames(run) >= start + count), "frames stopped")

    def finish(self, run, window):
        close(self.server, window)
        self.assertEqual(run.wait(), 0, run.log())
        self.assertTrue(run.log().endswith(CLOSING), run.log())
        return self.calls(run)

    def test_hooks_run_in_order_and_each_frame_is_update_then_draw(self):
        run, window = self.start()
        self.wait_frames(run, 20)
        calls = self.finish(run, window)
        hooks = [hook for hook, _ in calls]
        self.assertEqual(hooks[:2], ["InitGL", "Initialize"])
        self.assertEqual(hooks[-1], "Deinitialize")
        self.assertEqual(hooks.count("Deinitialize"), 1)
        frames = hooks[2:-1]
        self.assertEqual(frames, ["Update", "Draw"] * (len(frames) // 2))
        screens = {fields["screen"] for hook, fields in calls if "screen" in fields}
        self.assertEqual(len(screens), 1, "InitGL and every Draw get the same Screen")
        self.assertNotIn("(nil)", screens)

    def test_the_window_a_scene_gets_layer_depth_and_projection(self):
        run, window = self.start()
        # The window shows before InitGL runs and the probe writes its line.
        self.assertTrue(wait_for(lambda: self.calls(run)), "no InitGL line")
        init = self.calls(run)[0][1]
        self.assertEqual(init["bpp"], "32")
        # sdl12-compat's layer has no alpha channel: the overlay makes up
        # for that itself (see the program tests' screenshot).
        self.assertEqual(int(init["amask"], 16) == 0, COMPAT)
        self.assertEqual(init["clear"], "1")
        self.assertGreaterEqual(int(init["depth"]), 16, "a depth buffer to hide back faces")
        # The probe's square, seen through the shell's projection, stays
        # square and centred on the 640 x 480 window.
        self.wait_frames(run, 5)
        white = [(x, y) for y, row in enumerate(screenshot(self.server, window))
                 for x, pixel in enumerate(row) if pixel == (255, 255, 255)]
        self.assertGreater(len(white), 1000, "the square is drawn")
        xs, ys = [x for x, _ in white], [y for _, y in white]
        width, height = max(xs) - min(xs) + 1, max(ys) - min(ys) + 1
        self.assertLessEqual(abs(width - height), 2, "%d x %d pixels" % (width, height))
        self.assertLessEqual(abs(min(xs) + max(xs) - 639), 2)
        self.assertLessEqual(abs(min(ys) + max(ys) - 479), 2)
        self.finish(run, window)

    def test_keys_stay_null_until_the_first_key_press_then_follow_the_keyboard(self):
        run, window = self.start()
        self.wait_frames(run, 20)
        self.assertTrue(all(u["keys"] == "0" for u in updates(self.calls(run))))
        focus(self.server, window)
        start = self.frames(run)
        seen = lambda: "1" in [u["shift"] for u in updates(self.calls(run))[start:]]
        self.assertTrue(hold_key_until(self.server, "Shift_L", seen), "the held key was seen")
        self.wait_frames(run, 20)
        later = updates(self.calls(run))[start:]
        self.assertEqual(later[-1]["keys"], "1", "the table stays set")
        self.assertEqual(later[-1]["shift"], "0", "and follows the release")
        self.finish(run, window)

    def test_elapsed_times_add_up_to_the_time_since_the_timer_started(self):
        run, window = self.start(PROBE_INIT_MS=300)
        self.wait_frames(run, 50)
        calls = self.finish(run, window)
        frames = updates(calls)
        self.assertGreaterEqual(int(frames[0]["ms"]), 300, "the first frame covers Initialize")
        started = int(calls[0][1]["ticks"])  # InitGL follows the timer at once
        total = sum(int(u["ms"]) for u in frames)
        self.assertLessEqual(abs(total - (int(frames[-1]["ticks"]) - started)), 3)
        self.assertTrue(all(0 <= int(u["ms"]) < 1000 for u in frames[1:]))

    def test_no_frame_while_hidden_and_the_long_interval_after_restore(self):
        # Hidden while it keeps the keyboard and the mouse: only being
        # shown decides whether frames are drawn.
        hidden = 30
        run, window = self.start(PROBE_HIDE_AFTER=hidden)
        focus(self.server, window)
        self.assertTrue(wait_for(lambda: self.frames(run) >= hidden), "frames stopped")
        # Long enough for many frames: the program has woken 50 times to
        # look for events, however busy the machine.
        since, woken = time.time(), run.wakeups()
        self.assertTrue(wait_for(lambda: run.wakeups() >= woken + 50), "the program sleeps")
        self.assertEqual(self.frames(run), hidden, "no frame while iconified")
        last = updates(self.calls(run))[-1]
        self.assertEqual((last["keyboard"], last["mouse"]), ("1", "1"))
        window.unmap()
        self.server.x.sync()
        window.map()
        self.server.x.sync()
        away = int((time.time() - since) * 1000)
        self.wait_frames(run, 5)
        first = updates(self.calls(run))[hidden]
        self.assertGreaterEqual(int(first["ms"]), away, "the hidden time is in the next frame")
        self.finish(run, window)

    def test_focus_changes_only_set_the_flags(self):
        run, window = self.start()
        focus(self.server, window)
        window.warp_pointer(100, 100)
        self.server.x.sync()
        self.wait_frames(run, 20)
        self.assertEqual(updates(self.calls(run))[-1]["keyboard"], "1")
        self.server.x.set_input_focus(self.server.x.screen().root, 0, 0)
        self.server.x.screen().root.warp_pointer(1020, 764)  # outside the window
        self.server.x.sync()
        self.wait_frames(run, 20)
        last = updates(self.calls(run))[-1]
        self.assertEqual((last["keyboard"], last["mouse"], last["visible"]), ("0", "0", "1"))
        focus(self.server, window)
        window.warp_pointer(100, 100)
        self.server.x.sync()
        self.wait_frames(run, 20)
        last = updates(self.calls(run))[-1]
        self.assertEqual((last["keyboard"], last["mouse"]), ("1", "1"))
        self.finish(run, window)

    def test_terminate_application_lets_the_frame_finish_and_draws_no_more(self):
        run, window = self.start(PROBE_QUIT_AFTER=5)
        self.assertEqual(run.wait(), 0)
        hooks = [(hook, fields.get("frame")) for hook, fields in self.calls(run)]
        self.assertEqual(hooks[-3:], [("Update", "5"), ("Draw", "5"), ("Deinitialize", None)])
        self.assertEqual(run.log(), HEADER + CLOSING)

    def test_a_failing_hook_ends_start_up_with_its_line(self):
        # SDL's error text where the scene set one, else the hook's name.
        for hook, line, error in [("InitGL", "Can't init GL: ", "no such visual"),
                                  ("Initialize", "App init failed: ", None)]:
            with self.subTest(hook=hook):
                env = {"PROBE_FAIL": hook, **({"PROBE_ERROR": error} if error else {})}
                run, _ = self.start(**env)
                self.assertEqual(run.wait(), 1)
                reason = error or hook + " returned false"
                self.assertEqual(run.log(), HEADER + line + reason + "\n")
                self.assertNotIn("Deinitialize", run.read("probe.txt"))
                self.assertNotIn("Update", run.read("probe.txt"))

    def test_a_crash_in_a_hook_is_logged_and_the_signal_ends_the_run(self):
        for hook, name in [("Initialize", "SIGABRT"), ("Update", "SIGSEGV"), ("Draw", "SIGFPE")]:
            with self.subTest(hook=hook, signal=name):
                # Under AddressSanitizer its own reports would follow the
                # line, as whatever caught these signals before still does.
                asan = os.environ.get("ASAN_OPTIONS", "") + ":handle_segv=0:handle_sigfpe=0"
                run, _ = self.start(PROBE_CRASH=hook + ":" + name, ASAN_OPTIONS=asan)
                self.assertEqual(run.wait(), -getattr(signal, name), run.stderr)
                self.assertEqual(run.log(), HEADER + "Crashed in %s: %s\n" % (hook, name))


# A test process that starts an X server with a window manager and the
# probe, reports their process ids and scratch folder, and waits to be
# killed.
CHILD = textwrap.dedent("""
    import os, sys
    sys.path.insert(0, %r)
    from support.wm import WindowManagerTest
    from support.xharness import PROBE, Run, scratch, wait_for
    WindowManagerTest.setUpClass()
    server = WindowManagerTest.server
    run = Run(scratch(), server, program=PROBE)
    if not wait_for(run.windows, 30):
        sys.exit("no window")
    print(server.proc.pid, WindowManagerTest.wm.pid, run.proc.pid, run.cwd, flush=True)
    sys.stdin.read()
""" % os.path.dirname(os.path.abspath(__file__)))


def started(pid):
    """When the process began, or None once it is gone: ended, a zombie, or
    its id taken by another process since."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except (FileNotFoundError, ProcessLookupError):
        return None
    return None if fields[0] in "ZX" else fields[19]


class KilledTest(unittest.TestCase):
    """However a test process ends, what it started ends with it."""

    def end_child_with(self, sig):
        child = popen([sys.executable, "-c", CHILD], stdin=subprocess.PIPE,
                      stdout=subprocess.PIPE, text=True)
        self.addCleanup(stop_process, child, 1.0)
        self.addCleanup(child.stdin.close)
        self.addCleanup(child.stdout.close)
        line = child.stdout.readline().split()
        self.assertEqual(len(line), 4, "the child reported its processes")
        pids, folder = [int(word) for word in line[:3]], line[3]
        begun = {pid: started(pid) for pid in pids}
        self.assertNotIn(None, begun.values(), "server, window manager and program run")
        child.send_signal(sig)
        self.assertEqual(child.wait(20), -sig)
        remaining = lambda: [pid for pid in pids if started(pid) == begun[pid]]
        self.assertTrue(wait_for(lambda: not remaining(), 10),
                        "still running after %s: %s" % (sig.name, remaining()))
        return folder

    def test_a_killed_test_leaves_no_process_behind(self):
        folder = self.end_child_with(signal.SIGKILL)
        shutil.rmtree(folder, ignore_errors=True)

    def test_a_terminated_or_interrupted_test_leaves_no_process_or_folder_behind(self):
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal=sig.name):
                folder = self.end_child_with(sig)
                self.assertFalse(os.path.exists(folder), "scratch folder removed")

    def test_stopping_a_process_that_will_not_end_kills_it_without_failing(self):
        # A stand-in for a server that takes long to exit: it ignores TERM.
        slow = popen([sys.executable, "-c", "import signal, sys; "
                      "signal.signal(signal.SIGTERM, signal.SIG_IGN); print(flush=True); "
                      "sys.stdin.read()"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.addCleanup(slow.stdin.close)
        self.addCleanup(slow.stdout.close)
        slow.stdout.readline()
        stop_process(slow, grace=0.5)
        self.assertEqual(slow.returncode, -signal.SIGKILL)
        stop_process(slow)  # and a second time does nothing


if __name__ == "__main__":
    unittest.main()
