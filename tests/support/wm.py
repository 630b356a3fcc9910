"""A real window manager for process tests: openbox on the test's own Xvfb,
the things a user does through it (minimize, restore, close), and a watch
that counts every switch of the screen into and out of full screen."""

import os
import shutil
import subprocess
import tempfile
import time

from PIL import Image, ImageChops
from Xlib import X, Xatom, display, error

from support.xharness import (TITLE, ServerTest, hold_key_until, popen, rest_after_release,
                              run_tool, stop_process, wait_for)


class WindowManagerTest(ServerTest):
    """Tests that share one X server with openbox managing it."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # A home of its own, so that no user's openbox settings apply.
        cls.home = tempfile.mkdtemp(prefix="pellacorn-wm-")
        cls.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": cls.home,
                   "DISPLAY": cls.server.name}
        cls.wm = popen(["openbox", "--sm-disable"], env=cls.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        check = cls.server.x.intern_atom("_NET_SUPPORTING_WM_CHECK")
        root = cls.server.x.screen().root
        if not (wait_for(lambda: root.get_full_property(check, Xatom.WINDOW) is not None)
                and frames_a_window(cls.server.x)):
            cls.tearDownClass()
            raise RuntimeError("openbox did not start")

    @classmethod
    def tearDownClass(cls):
        stop_process(cls.wm)
        shutil.rmtree(cls.home, ignore_errors=True)
        super().tearDownClass()

    def tool(self, *command):
        """Run xdotool or wmctrl on this server; their failure fails the test."""
        result = run_tool(command, env=self.env, capture_output=True, text=True, timeout=20)
        self.assertEqual(result.returncode, 0, "%s: %s" % (command, result.stderr))

    def find_client(self, run, title=TITLE, timeout=30.0):
        """The program's window with this title, once the window manager has
        framed and shown it; None if it does not appear."""
        def search(window, depth):
            for child in window.query_tree().children:
                if child.get_wm_name() == title:
                    return child
                found = search(child, depth - 1) if depth > 1 else None
                if found is not None:
                    return found
            return None

        deadline = time.time() + timeout
        self.unshown = None  # the last window found but not yet shown
        while time.time() < deadline and run.proc.poll() is None:
            try:
                window = search(self.server.x.screen().root, 3)
                if window is not None and viewable(window):
                    return window
                self.unshown = window or self.unshown
            except error.BadWindow:
                pass  # a window went away while we looked
            time.sleep(0.05)
        return None

    def minimize(self, window):
        """Minimizes the window; returns where it was, for restore."""
        at = self.position(window)
        self.tool("xdotool", "windowminimize", "--sync", str(window.id))
        return at

    def restore(self, window, at):
        """Brings the window back and waits until openbox has slid it into
        its place again."""
        self.tool("wmctrl", "-i", "-a", hex(window.id))
        self.assertTrue(wait_for(lambda: viewable(window) and self.position(window) == at),
                        "the window came back to %s" % (at,))

    def position(self, window):
        where = window.translate_coords(self.server.x.screen().root, 0, 0)
        return (-where.x, -where.y)

    def close_window(self, title=TITLE):
        self.tool("wmctrl", "-c", title)


def frames_a_window(x, timeout=10.0):
    """Whether the window manager frames a window of ours within timeout.
    openbox names itself the window manager before it is ready, and a window
    mapped in between (as while it builds a missing font cache) is never
    managed: its client then waits for ever to be shown. The window is mapped
    again each second until it is framed, then destroyed."""
    root = x.screen().root
    probe = root.create_window(0, 0, 16, 16, 0, x.screen().root_depth)
    try:
        deadline = time.time() + timeout
        while time.time() < deadline:
            probe.map()
            x.sync()
            if wait_for(lambda: probe.query_tree().parent.id != root.id, 1.0):
                return True
        return False
    finally:
        probe.destroy()
        x.sync()


def viewable(window):
    return window.get_attributes().map_state == X.IsViewable


def grab(window, width, height):
    """What the window shows, inferiors included, as an RGB image."""
    image = window.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF)
    return Image.frombytes("RGB", (width, height), image.data, "raw", "BGRX")


def colour_box(image, colour, slack=48):
    """The box (x0, y0, x1, y1), x1 and y1 exclusive, around the pixels
    within slack of colour in every channel: scaling blends the edges of a
    plain colour. None when there are none."""
    masks = [band.point(lambda v, c=c: 255 if abs(v - c) <= slack else 0)
             for band, c in zip(image.split(), colour)]
    return ImageChops.multiply(ImageChops.multiply(masks[0], masks[1]), masks[2]).getbbox()


def size(box):
    """The width and height of a box from colour_box, or None."""
    return (box[2] - box[0], box[3] - box[1]) if box else None


def net_wm_state(server, window):
    """The names in the window's _NET_WM_STATE."""
    atom = server.x.intern_atom("_NET_WM_STATE")
    value = window.get_full_property(atom, Xatom.ATOM)
    return {server.x.get_atom_name(a) for a in (value.value if value else [])}


class FullScreenWatch:
    """Whether a window covers the whole screen, and how often that changed,
    read from the server's own record of every map, unmap and move of a
    top-level window: however fast one switch follows another, none is
    missed. The test's server runs nothing else that could cover it."""

    def __init__(self, server):
        self.x = display.Display(server.name)
        root = self.x.screen().root
        self.width, self.height = self.x.screen().width_in_pixels, self.x.screen().height_in_pixels
        root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.x.sync()
        # Top-level windows: id -> [mapped, x, y, width, height]. Events that
        # arrive after this query only bring it up to date.
        self.windows = {}
        for child in root.query_tree().children:
            try:
                g = child.get_geometry()
                mapped = child.get_attributes().map_state != X.IsUnmapped
            except error.BadDrawable:
                continue
            self.windows[child.id] = [mapped, g.x, g.y, g.width, g.height]
        self.root = root.id
        self.full = self.covered()
        self.changes = 0

    def covered(self):
        return any(m and x <= 0 and y <= 0 and x + w >= self.width and y + h >= self.height
                   for m, x, y, w, h in self.windows.values())

    def poll(self):
        """Reads what happened since the last call; true when full screen."""
        while self.x.pending_events():
            e = self.x.next_event()
            if not hasattr(e, "window"):
                continue  # not about a window, such as a keymap change
            known = self.windows.get(e.window.id)
            if e.type == X.CreateNotify and e.parent.id == self.root:
                self.windows[e.window.id] = [False, e.x, e.y, e.width, e.height]
            elif e.type == X.DestroyNotify or (e.type == X.ReparentNotify
                                               and e.parent.id != self.root):
                self.windows.pop(e.window.id, None)
            elif e.type == X.MapNotify and known:
                known[0] = True
            elif e.type == X.UnmapNotify and known:
                known[0] = False
            elif e.type == X.ConfigureNotify and known:
                known[1:] = [e.x, e.y, e.width, e.height]
            if self.covered() != self.full:
                self.full = not self.full
                self.changes += 1
        return self.full

    def close(self):
        self.x.close()


def switch_with_f1(server, watch, run, full, held=0.0):
    """Holds F1 until the watch sees the screen go full (or back), then held
    seconds more; false if it did not switch. Returns once the program has
    drawn for a while after the release, at least half a second later, so
    that a second switch would show and the next press counts."""
    switched = []

    def switched_and_held():
        if not switched and watch.poll() == full:
            switched.append(time.time())
        return bool(switched) and time.time() >= switched[0] + held

    done = hold_key_until(server, "F1", switched_and_held, 10 + held)
    rest_after_release(run, 0.3)
    watch.poll()
    return done
