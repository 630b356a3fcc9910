"""Process-level test helpers: a private Xvfb server, the program run in a
scratch directory with its own copy of the assets, and the X11 actions a
person would take (keys, closing, iconifying, focus) plus screenshots."""

import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import unittest

from PIL import Image
from Xlib import X, XK, Xatom, display, error, protocol
from Xlib.ext import xtest

SOURCE = os.environ.get("PELLACORN_SOURCE", os.path.join(os.path.dirname(__file__), "..", ".."))
PROGRAM = os.environ.get("PELLACORN", os.path.join(SOURCE, "build", "Pellacorn"))
PROBE = os.environ.get("PELLACORN_PROBE", os.path.join(SOURCE, "build", "tests", "pellacorn_probe"))
ASSETS = ["Zarn_Icon.bmp", "data/logo.gif", "data/SDL_Title.bmp", "data/QN_Title.bmp",
          "data/lktheme.mod"]
TITLE = "Zarn OpenGL Basecode - SDL port by Quarnel"


def sdl_version(library):
    """The version the SDL 1.2 library at this path reports of itself:
    1.2.15 is classic SDL, 1.2.50 and later sdl12-compat."""
    loaded = ctypes.CDLL(library)
    loaded.SDL_Linked_Version.restype = ctypes.POINTER(ctypes.c_uint8 * 3)
    return tuple(loaded.SDL_Linked_Version().contents)


def linked_sdl_version(program=PROGRAM):
    """The version of the SDL 1.2 library that the program loads."""
    found = subprocess.run(["ldd", program], capture_output=True, text=True).stdout
    path = re.search(r"libSDL-1\.2\.so\.0 => (\S+)", found)
    if path is None:
        raise RuntimeError("%s does not load SDL 1.2:\n%s" % (program, found))
    return sdl_version(path.group(1))


# True when the program runs on sdl12-compat, SDL 1.2's API built on SDL 2
# or 3, where some things a user can see legitimately differ.
COMPAT = linked_sdl_version() >= (1, 2, 50)
HEADER = TITLE + " V0.2 -- Log Init...\n\n"
CLOSING = "\n-- Closing Log...\n"


# ---- Children that end with the test ----
#
# Every process the harness starts (the X server, the window manager, the
# program, tools) is killed by the kernel when the test process dies,
# whatever kills it, SIGKILL included: the child asks for SIGKILL on the
# death of its parent (prctl PR_SET_PDEATHSIG) before it runs its program.
# That signal follows the thread that started the child, so children are
# started from the main thread only. A test ended by SIGTERM, SIGHUP or
# SIGINT also removes its scratch folders on the way out.

_LIBC = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1
_children = []  # the Popen objects started here that may still run
_scratch = set()  # scratch folders, removed if the test is killed


def child_setup(then=None):
    """A preexec_fn for subprocess: the child dies with this process, then
    runs then() if given. Only for children started from the main thread."""
    if threading.current_thread() is not threading.main_thread():
        raise RuntimeError("children of the tests are started from the main thread")
    parent = os.getpid()

    def setup():
        _LIBC.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)
        if os.getppid() != parent:  # the parent died before the prctl
            os._exit(127)
        if then is not None:
            then()
    return setup


def popen(command, then=None, **options):
    """subprocess.Popen for a child that dies with the test."""
    _children[:] = [child for child in _children if child.returncode is None]
    child = subprocess.Popen(command, preexec_fn=child_setup(then), **options)
    _children.append(child)
    return child


def run_tool(command, **options):
    """subprocess.run for a short-lived tool that dies with the test."""
    return subprocess.run(command, preexec_fn=child_setup(), **options)


def stop_process(proc, grace=5.0):
    """Ends a child, never raising and never judging how it ended: SIGTERM,
    up to grace seconds to exit, then SIGKILL, and it is reaped."""
    try:
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(grace)
                return
            except subprocess.TimeoutExpired:
                proc.kill()
        proc.wait(30)
    except (OSError, subprocess.SubprocessError):
        pass


def _end_now(signum, frame):
    """On SIGTERM, SIGHUP or SIGINT: kill every child, remove the scratch
    folders, and die of the same signal."""
    for child in list(_children):
        if child.returncode is None:
            try:
                os.kill(child.pid, signal.SIGKILL)
            except OSError:
                pass
    for folder in list(_scratch):
        shutil.rmtree(folder, ignore_errors=True)
    signal.signal(signum, signal.SIG_DFL)
    os.kill(os.getpid(), signum)


if threading.current_thread() is threading.main_thread():
    for _signal in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        if signal.getsignal(_signal) in (signal.SIG_DFL, signal.default_int_handler):
            signal.signal(_signal, _end_now)


class Xvfb:
    """An X server on a free display, found by Xvfb itself (-displayfd)."""

    def __init__(self, timeout=60.0):
        read, write = os.pipe()
        self.x = None
        self.proc = popen(
            ["Xvfb", "-displayfd", str(write), "-noreset", "-nolisten", "tcp",
             "-screen", "0", "1024x768x24"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        try:
            number = b""
            deadline = time.time() + timeout
            with os.fdopen(read, "rb", buffering=0) as pipe:
                while not number.endswith(b"\n") and time.time() < deadline:
                    if select.select([pipe], [], [], 0.5)[0]:
                        more = pipe.read(16)
                        if not more:
                            break  # Xvfb ended
                        number += more
            if not number.strip():
                raise RuntimeError("Xvfb did not start")
            self.name = ":" + number.strip().decode()
            self.x = display.Display(self.name)
        except BaseException:
            stop_process(self.proc, 0)
            raise

    def stop(self):
        """Stops the server; never fails, however slowly it goes."""
        if self.x is not None:
            try:
                self.x.close()
            except Exception:
                pass
            self.x = None
        stop_process(self.proc)


class ServerTest(unittest.TestCase):
    """Tests that share one X server, and clean up the runs they start."""

    @classmethod
    def setUpClass(cls):
        cls.server = Xvfb()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def setUp(self):
        self.runs = []

    def tearDown(self):
        for run in self.runs:
            run.kill()
            shutil.rmtree(run.cwd, ignore_errors=True)


def scratch(omit=(), files=None):
    """A temporary working directory with the assets, less those in omit;
    files maps a relative path to bytes to write there instead."""
    root = tempfile.mkdtemp(prefix="pellacorn-")
    _scratch.add(root)
    os.mkdir(os.path.join(root, "data"))
    for name in ASSETS:
        if name not in omit:
            shutil.copy(os.path.join(SOURCE, name), os.path.join(root, name))
    for name, data in (files or {}).items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(data)
    return root


class Run:
    """The program started in a directory, with only the environment given."""

    def __init__(self, cwd, server=None, program=PROGRAM, audio="dummy", env=None):
        self.cwd = cwd
        environment = {"PATH": os.environ.get("PATH", "/usr/bin:/bin")}
        # The library path (to run on another SDL) and a sanitizer build's
        # settings pass through; nothing else does.
        for name in ("LD_LIBRARY_PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
            if name in os.environ:
                environment[name] = os.environ[name]
        if server is not None:
            environment["DISPLAY"] = server.name
        if audio is not None:
            environment["SDL_AUDIODRIVER"] = audio
        environment.update(env or {})
        self.server = server
        self.proc = popen(
            [program], cwd=cwd, env=environment, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, text=True,
            then=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        self.stdout = self.stderr = ""
        self.ended = False

    def wait(self, timeout=20):
        """The exit status, once the program has ended; a second call
        returns the same."""
        if self.ended:
            return self.proc.returncode
        try:
            self.stdout, self.stderr = self.proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.stdout, self.stderr = self.proc.communicate()
            raise
        finally:
            self.ended = self.proc.returncode is not None
        return self.proc.returncode

    def kill(self):
        """Ends the program if it still runs, and waits a little for the
        server to drop its windows, so that the next run's search finds
        none of them."""
        if self.proc.poll() is None:
            self.proc.kill()
            try:
                self.proc.communicate(timeout=10)
            except (subprocess.TimeoutExpired, ValueError):
                pass  # a helper of the program holds its output open
        if self.server is not None and self.server.x is not None:
            wait_for(lambda: not self.windows(), 5.0)

    def windows(self):
        """The server's windows, to three levels down (a window manager's
        frames), that this run's program owns by _NET_WM_PID; none once the
        server is gone."""
        try:
            return [w for w in top_windows(self.server) if owner(self.server, w) == self.proc.pid]
        except Exception:
            return []

    def read(self, name):
        path = os.path.join(self.cwd, name)
        if not os.path.exists(path):
            return ""
        with open(path, errors="replace") as f:
            return f.read()

    def log(self):
        return self.read("log.txt")

    def wakeups(self):
        """How often the program's main thread has gone to sleep and woken:
        a hidden program wakes each 10 ms to look for events."""
        with open("/proc/%d/task/%d/status" % (self.proc.pid, self.proc.pid)) as f:
            return int(re.search(r"voluntary_ctxt_switches:\s+(\d+)", f.read()).group(1))

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.proc.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def run_with_file(server, target, contents, timeout=20):
    """Runs the program with one file replaced: bytes to write there, None
    to leave it out, or "dir" for a directory in its place. Once the
    program draws, its window is closed; one that gave up ends by itself,
    and closing its gone window does nothing. Returns the status ("hang" or
    "crash (signal N)" when it did not exit), the log and whether a window
    opened."""
    cwd = scratch(omit=[target])
    if contents == "dir":
        os.mkdir(os.path.join(cwd, target))
    elif contents is not None:
        with open(os.path.join(cwd, target), "wb") as f:
            f.write(contents)
    run = Run(cwd, server)
    try:
        window = find_window(server, run=run, timeout=timeout)
        if window is not None and wait_for_frame(window, run, timeout):
            close(server, window)
        try:
            status = run.wait(timeout)
        except subprocess.TimeoutExpired:
            status = "hang"
        if isinstance(status, int) and status < 0:
            status = "crash (signal %d)" % -status
        return status, run.log(), window is not None
    finally:
        run.kill()
        shutil.rmtree(cwd, ignore_errors=True)


def top_windows(server, depth=3):
    """The windows under the root, to depth levels."""
    found, level = [], [server.x.screen().root]
    for _ in range(depth):
        below = []
        for window in level:
            try:
                below += window.query_tree().children
            except error.XError:
                pass  # gone while we looked
        found += below
        level = below
    return found


def owner(server, window):
    """The process id in a window's _NET_WM_PID, or None."""
    try:
        value = window.get_full_property(server.x.intern_atom("_NET_WM_PID"), Xatom.CARDINAL)
    except error.XError:
        return None
    return value.value[0] if value is not None and len(value.value) else None


def find_window(server, title=TITLE, timeout=15.0, run=None):
    """The top-level window whose name is title, or None after timeout.
    Given the run, only a window of its program: not one that an ended
    run left behind for the server to drop."""
    deadline = time.time() + timeout
    root = server.x.screen().root
    while time.time() < deadline:
        for child in root.query_tree().children:
            try:
                if child.get_wm_name() == title and (
                        run is None or owner(server, child) in (None, run.proc.pid)):
                    return child
            except Exception:
                pass
        if run is not None and run.proc.poll() is not None:
            return None
        time.sleep(0.05)
    return None


def wait_for(condition, timeout=10.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(0.05)
    return False


def drawn(window, width=640, height=480):
    """True when the window shows colour: the figure and the logos are in
    colour, while an undrawn window is black or the server's grey root
    pattern. False also once the window is gone."""
    try:
        image = window.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF)
    except error.XError:
        return False
    saturation = Image.frombytes("RGB", (width, height), image.data, "raw", "BGRX")
    return saturation.convert("HSV").getextrema()[1][1] > 128


def wait_for_frame(window, run, timeout=15.0):
    """Waits until the window shows a drawn frame, so that the program is
    in its loop and ends only when asked; false if it ended first."""
    deadline = time.time() + timeout
    while time.time() < deadline and run.proc.poll() is None:
        if drawn(window):
            return True
        time.sleep(0.05)
    return False


def draws_on(run, seconds, timeout=10.0):
    """Waits while the program uses seconds more CPU, which it spends
    drawing hundreds of frames a second; false if it stops."""
    used = run.cpu_seconds()
    return wait_for(lambda: run.cpu_seconds() >= used + seconds, timeout)


def rest_after_release(run, seconds):
    """After a key's release: waits out the half second a scene takes to
    count it (so that the next press is a new one), then while the program
    uses seconds more CPU drawing; false if it stops drawing."""
    released = time.time()
    wait_for(lambda: time.time() > released + 0.6, 1.0)
    return draws_on(run, seconds)


def lit_frame(server, window, pixels, brightness):
    """The first screenshot, within the usual wait, with more than pixels
    pixels whose r + g + b is over brightness; None if none comes."""
    shots = []

    def lit():
        shots.append(screenshot(server, window))
        return sum(1 for row in shots[-1] for pixel in row if sum(pixel) > brightness) > pixels

    return shots[-1] if wait_for(lit) else None


def focus(server, window):
    window.set_input_focus(X.RevertToParent, X.CurrentTime)
    server.x.sync()


def hold_key_until(server, name, condition, timeout=10.0):
    """Holds a key down until condition() holds, at most timeout seconds,
    and returns whether it held: a press that begins and ends while the
    program is still starting up, or within one frame, is rightly never
    seen, so a test holds the key until the program has acted on it."""
    code = server.x.keysym_to_keycode(XK.string_to_keysym(name))
    xtest.fake_input(server.x, X.KeyPress, code)
    server.x.sync()
    try:
        return wait_for(condition, timeout)
    finally:
        xtest.fake_input(server.x, X.KeyRelease, code)
        server.x.sync()


def quit_with_escape(server, window, run, timeout=20.0):
    """Quit as a user does, holding Escape until the program has ended,
    and return the exit status."""
    focus(server, window)
    hold_key_until(server, "Escape", lambda: run.proc.poll() is not None, timeout)
    return run.wait(5)


def close(server, window):
    """What a window manager sends when the user closes the window. A
    window that is already gone, with its program, is no error: unlike a
    signal, the request cannot end a program that was ending by itself."""
    protocols = server.x.intern_atom("WM_PROTOCOLS")
    delete = server.x.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(event, onerror=error.CatchError())
    server.x.sync()


def screenshot(server, window, width=640, height=480):
    """The window's pixels as rows of (r, g, b) tuples."""
    image = window.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF)
    data = image.data
    return [[(data[(y * width + x) * 4 + 2], data[(y * width + x) * 4 + 1],
              data[(y * width + x) * 4]) for x in range(width)] for y in range(height)]


def bmp24(width, height, pixel):
    """A 24-bit BMP whose colour at (x, y) is pixel(x, y) = (r, g, b)."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        rows.append(bytes(row) + b"\0" * (stride - width * 3))
    body = b"".join(rows)
    header = b"BM" + (54 + len(body)).to_bytes(4, "little") + b"\0\0\0\0" + (54).to_bytes(4, "little")
    info = (40).to_bytes(4, "little") + width.to_bytes(4, "little") + height.to_bytes(4, "little")
    info += (1).to_bytes(2, "little") + (24).to_bytes(2, "little") + b"\0" * 24
    return header + info + body
