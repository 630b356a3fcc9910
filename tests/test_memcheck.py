"""A few hundred frames of the real program under valgrind's memcheck: no
invalid read or write, and no definite leak allocated by our own code. The
logo surfaces and the icon mask are kept until exit by design: they show
as still reachable, not as lost."""

import os
import re
import shutil
import tempfile
import unittest

from support.xharness import SOURCE, PROGRAM, Xvfb, run_tool, scratch

SPY = os.environ["PELLACORN_SPY"]
FRAMES = 300
ALLOCATORS = re.compile(r"\b(malloc|calloc|realloc|strdup|operator new|memalign)\b")


def records(log, kind):
    """The loss records of one kind: how many blocks each holds, and its
    stack as a list of frame lines."""
    found = []
    lines = log.splitlines()
    for i, line in enumerate(lines):
        record = re.search(r"bytes in ([\d,]+) blocks are %s in loss record" % kind, line)
        if record:
            stack = []
            for frame in lines[i + 1:]:
                if not re.search(r"(at|by) 0x", frame):
                    break
                stack.append(frame)
            found.append((int(record.group(1).replace(",", "")), stack))
    return found


def summary_blocks(log, kind):
    """How many blocks the program's leak summary, the last one, counts of
    one kind."""
    summaries = re.findall(r"%s: [\d,]+ bytes in ([\d,]+) blocks" % kind, log)
    return int(summaries[-1].replace(",", ""))


def ours(frame):
    """Whether a frame is in our own code: named by its source file under
    src/ (valgrind is asked for full paths), or by the program's file."""
    return ("(%s/src/" % os.path.realpath(SOURCE)) in frame or ("(in %s)" % PROGRAM) in frame


def allocated_by(stack):
    """The first frame past the allocator: who asked for the memory."""
    for frame in stack:
        if not ALLOCATORS.search(frame):
            return frame
    return ""


class Memcheck(unittest.TestCase):
    def test_hundreds_of_frames_without_invalid_access_or_a_leak_of_ours(self):
        server = Xvfb()
        cwd = scratch()
        out = tempfile.mkdtemp(prefix="pellacorn-vg-")
        try:
            log_file = os.path.join(out, "memcheck.txt")
            env = {"PATH": os.environ["PATH"], "DISPLAY": server.name, "SDL_AUDIODRIVER": "dummy",
                   "LD_PRELOAD": SPY, "PELLACORN_SPY_FRAMES": str(FRAMES),
                   "PELLACORN_SPY": os.path.join(out, "spy.txt")}
            result = run_tool(
          ["valgrind", "--leak-check=full", "--show-leak-kinds=all", "--num-callers=30",
           "--fullpath-after=",
           # A library may fork a helper (dbus does on Debian 13);
           # its own report would otherwise join the program's.
           "--child-silent-after-fork=yes",
           "--suppressions=" + os.path.join(SOURCE, "tests", "valgrind.supp"),
           "--log-file=" + log_file, PROGRAM], cwd=cwd, env=env, timeout=400,
          capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(os.path.join(out, "spy.txt")) as f:
                self.assertIn("frames %d" % FRAMES, f.read())
            with open(log_file) as f:
                log = f.read()
            self.assertNotIn("Invalid read", log)
            self.assertNotIn("Invalid write", log)
            self.assertIn("ERROR SUMMARY", log)
            lost = records(log, "definitely lost")
            self.assertEqual(sum(blocks for blocks, _ in lost),
                             summary_blocks(log, "definitely lost"), "a record for every block")
            for _, stack in lost:
                self.assertFalse(ours(allocated_by(stack)), "\n".join(stack))
            # The icon mask, malloc'd by SetUpIcon and kept on purpose.
            kept = [s for _, s in records(log, "still reachable") if "SetUpIcon" in allocated_by(s)]
            self.assertTrue(kept, "the icon mask is still reachable at exit")
        finally:
            server.stop()
            shutil.rmtree(cwd, ignore_errors=True)
            shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
