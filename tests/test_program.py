"""The real Pellacorn under its own Xvfb: start-up, the log, the keys,
every reachable start-up failure, the sound, the window icon and what the
frame looks like; then on a desktop, under a window manager: minimizing,
restoring, closing and full screen."""

import configparser
import math
import os
import signal
import struct
import time
import unittest

from support.wm import (FullScreenWatch, WindowManagerTest, colour_box, grab, net_wm_state,
                        viewable)
from support.xharness import (CLOSING, COMPAT, HEADER, SOURCE, TITLE, Run, ServerTest, bmp24,
                              find_window, focus, hold_key, quit_with_escape, screenshot,
                              scratch, wait_for)


class Program(ServerTest):
    def start(self, cwd=None, **options):
        run = Run(cwd or scratch(), self.server, **options)
        self.runs.append(run)
        return run

    def start_window(self, cwd=None, **options):
        run = self.start(cwd, **options)
        window = find_window(self.server, run=run)
        self.assertIsNotNone(window, "no window; log: %r" % run.log())
        return run, window

    def quit_with_escape(self, run, window):
        self.assertEqual(quit_with_escape(self.server, window, run), 0, run.log())

    # ---- A normal run ----

    def test_escape_ends_a_normal_run_with_the_four_line_log(self):
        run, window = self.start_window()
        self.assertEqual(window.get_wm_name(), TITLE)
        geometry = window.get_geometry()
        self.assertEqual((geometry.width, geometry.height), (640, 480))
        time.sleep(0.5)
        self.quit_with_escape(run, window)
        self.assertEqual(run.log(), HEADER + CLOSING)
        self.assertTrue(run.stderr.startswith("Trying to init Logfile!\n: "), run.stderr)

    def test_f1_toggles_or_logs_and_the_program_goes_on(self):
        run, window = self.start_window()
        focus(self.server, window)
        hold_key(self.server, "F1", 0.3)
        time.sleep(0.3)
        self.assertIsNone(run.proc.poll(), "still running after F1")
        window = find_window(self.server)
        self.quit_with_escape(run, window)
        body = run.log()[len(HEADER):-len(CLOSING)]
        for line in body.splitlines():
            self.assertTrue(line.startswith("Unable to toggle fullscreen: "), body)
        self.assertTrue(run.log().startswith(HEADER) and run.log().endswith(CLOSING))

    # ---- Start-up failures ----

    def expect_failure(self, run, *lines):
        """Status 1 and exactly these lines after the header; a line given
        as a tuple may be any one of its texts."""
        self.assertEqual(run.wait(), 1, run.log())
        log = run.log()
        self.assertTrue(log.startswith(HEADER), log)
        got = log[len(HEADER):].splitlines()
        self.assertEqual(len(got), len(lines), log)
        for line, start in zip(got, lines):
            self.assertTrue(line.startswith(start), log)
        return log

    def test_without_a_display_the_gl_mode_is_refused(self):
        # SDL 1.2 falls back to a text-mode driver, which cannot do GL. (With
        # no TERM at all, that driver's curses library exits by itself.)
        run = Run(scratch(), server=None, env={"TERM": "dumb"})
        self.runs.append(run)
        if COMPAT:
            # SDL 2 has display-less video drivers of its own and may run;
            # then it must still quit normally when asked.
            time.sleep(3)
            if run.proc.poll() is None:
                run.proc.send_signal(signal.SIGTERM)
                self.assertEqual(run.wait(), 0)
                self.assertEqual(run.log(), HEADER + CLOSING)
                return
        self.expect_failure(run, ("Unable to open screen surface: ", "Unable to open SDL: "))

    def test_without_any_video_driver_sdl_does_not_start(self):
        run = self.start(env={"SDL_VIDEODRIVER": "no-such-driver"})
        self.expect_failure(run, "Unable to open SDL: ")

    def test_a_missing_logo_is_one_line_then_the_shell_gives_up(self):
        for name in ["data/logo.gif", "data/SDL_Title.bmp", "data/QN_Title.bmp"]:
            with self.subTest(name=name):
                run = self.start(scratch(omit=[name]))
                self.expect_failure(run, "Cannot load graphic: ", "App init failed: ")

    def test_the_log_shows_the_start_up_order(self):
        run = self.start(scratch(omit=["Zarn_Icon.bmp", "data/QN_Title.bmp"]))
        log = self.expect_failure(run, "Unable to load icon: ", "Cannot load graphic: ",
                                  "App init failed: ")
        if not COMPAT:  # SDL 2's texts do not name the file
            self.assertIn("Couldn't open Zarn_Icon.bmp", log)
            self.assertIn("QN_Title.bmp", log)

    def test_no_audio_device_ends_start_up(self):
        # SDL 1.2 starts its audio subsystem even with no device to open, so
        # there it is the mixer that reports the missing device.
        run = self.start(audio="no-such-driver")
        self.expect_failure(run, "Could not initialize audio subsystem: " if COMPAT
                            else "Unable to open audio: No available audio device")

    def test_a_mixer_that_cannot_open_ends_start_up(self):
        run = self.start(audio="disk", env={"SDL_DISKAUDIOFILE": "/no/such/dir/out.raw"})
        self.expect_failure(run, "Unable to open audio: ")

    def test_a_log_that_cannot_be_created_stops_before_any_window(self):
        cwd = scratch()
        os.mkdir(os.path.join(cwd, "log.txt"))
        run = self.start(cwd)
        self.assertEqual(run.wait(), 1)
        self.assertEqual(run.stderr.count("Trying to init Logfile!\n: "), 1, run.stderr)
        self.assertIn("Can't init Logfile!\n: Is a directory\n", run.stderr)
        self.assertIsNone(find_window(self.server, timeout=0.5))

    # ---- Sound ----

    def capture(self, cwd, seconds=3.0):
        raw = os.path.join(cwd, "audio.raw")
        run, window = self.start_window(cwd, audio="disk",
                                        env={"SDL_DISKAUDIOFILE": raw, "SDL_DISKAUDIODELAY": "20"})
        time.sleep(seconds)
        self.quit_with_escape(run, window)
        with open(raw, "rb") as f:
            data = f.read()
        return run, struct.unpack("<%dh" % (len(data) // 2), data[: len(data) // 2 * 2])

    def test_the_music_plays(self):
        _, samples = self.capture(scratch())
        self.assertGreater(len(samples), 22060 * 2, "a second or more captured")
        windows = [samples[i:i + 4412] for i in range(0, len(samples) - 4412, 4412)]
        levels = [max(abs(s) for s in w) for w in windows]
        self.assertGreater(max(levels), 3000)
        self.assertGreater(max(levels) - min(levels), 1000, "the level changes over time")

    def test_a_missing_module_gives_a_silent_normal_run(self):
        run, samples = self.capture(scratch(omit=["data/lktheme.mod"]), 1.5)
        self.assertEqual(run.log(), HEADER + CLOSING)
        self.assertGreater(len(samples), 0)
        self.assertEqual(max(abs(s) for s in samples), 0)

    # ---- The window icon ----

    def test_a_bad_icon_is_logged_and_the_program_runs(self):
        wide = bmp24(36, 32, lambda x, y: (255, 0, 0))
        for files, line in [({"Zarn_Icon.bmp": b"not a bitmap"}, "Unable to load icon: "),
                            ({"Zarn_Icon.bmp": wide}, "Icon width must be a multiple of 8\n"),
                            ({"Zarn_Icon.bmp": bmp24(32, 32, lambda x, y: (0, 0, 255))},
                             "Icon file must have a palette.\n")]:
            with self.subTest(line=line):
                run, window = self.start_window(scratch(files=files))
                self.quit_with_escape(run, window)
                log = run.log()
                self.assertTrue(log.startswith(HEADER + line), log)
                self.assertTrue(log.endswith(CLOSING), log)
                self.assertEqual(log.count("\n"), 5, log)

    def test_the_window_carries_the_icon_and_its_mask(self):
        run, window = self.start_window()
        pixels, palette, width, height = read_bmp8(os.path.join(run.cwd, "Zarn_Icon.bmp"))
        if COMPAT:
            # SDL 2 sets the icon as _NET_WM_ICON: width, height, ARGB pixels.
            atom = self.server.x.intern_atom("_NET_WM_ICON")
            value = window.get_full_property(atom, 0).value
            self.assertEqual((value[0], value[1]), (width, height))
            for y in range(height):
                for x in range(width):
                    argb = value[2 + y * width + x]
                    shown = pixels[y][x] != pixels[0][0]
                    self.assertEqual(argb >> 24 != 0, shown, "alpha at %d,%d" % (x, y))
                    if shown:
                        rgb = ((argb >> 16) & 255, (argb >> 8) & 255, argb & 255)
                        self.assertEqual(rgb, palette[pixels[y][x]], "colour at %d,%d" % (x, y))
            self.quit_with_escape(run, window)
            return
        hints = window.get_wm_hints()
        self.assertTrue(hints.flags & 4 and hints.flags & 32, "icon pixmap and mask hints")
        mask = hints.icon_mask.get_image(0, 0, width, height, 2, 1)  # ZPixmap, plane 1
        stride = len(mask.data) // height
        lsb = self.server.x.display.info.bitmap_format_bit_order == 0
        image = hints.icon_pixmap.get_image(0, 0, width, height, 2, 0xFFFFFFFF)
        for y in range(height):
            for x in range(width):
                byte = mask.data[y * stride + x // 8]
                bit = (byte >> (x % 8 if lsb else 7 - x % 8)) & 1
                shown = pixels[y][x] != pixels[0][0]
                self.assertEqual(bit, int(shown), "mask at %d,%d" % (x, y))
                if shown:
                    at = (y * width + x) * 4
                    rgb = (image.data[at + 2], image.data[at + 1], image.data[at])
                    self.assertEqual(rgb, palette[pixels[y][x]], "colour at %d,%d" % (x, y))
        self.quit_with_escape(run, window)

    # ---- The frame ----

    def test_the_logos_stand_where_the_model_puts_them_over_the_figure(self):
        # Logos of plain, distinct colours; the third is a frame whose black
        # inside must let the spinning figure show through.
        ring = lambda x, y: MAGENTA if min(x, y, 159 - x, 159 - y) < 8 else (0, 0, 0)
        files = {"data/logo.gif": bmp24(100, 30, lambda x, y: YELLOW),
                 "data/SDL_Title.bmp": bmp24(60, 20, lambda x, y: CYAN),
                 "data/QN_Title.bmp": bmp24(160, 160, ring)}
        run, window = self.start_window(scratch(files=files))
        time.sleep(0.3)
        checked, figure = 0, 0
        for _ in range(15):
            seen = check_frame(self, screenshot(self.server, window))
            if seen is not None:
                checked += 1
                figure = max(figure, seen)
            time.sleep(0.05)
        self.assertGreaterEqual(checked, 3, "frames with every logo in plain view")
        self.assertGreater(figure, 300, "figure pixels seen through the third logo")
        self.quit_with_escape(run, window)


class OnADesktop(WindowManagerTest):
    """The program framed by openbox, used as a person would use it."""

    def start_client(self, cwd=None):
        run = Run(cwd or scratch(), self.server)
        self.runs.append(run)
        window = self.find_client(run)
        self.assertIsNotNone(window, "no window; log: %r" % run.log())
        return run, window

    def cpu_share(self, run, seconds):
        """The share of one core the program used over the next seconds."""
        used, start = run.cpu_seconds(), time.time()
        time.sleep(seconds)
        return (run.cpu_seconds() - used) / (time.time() - start)

    def test_minimize_restore_and_close_through_the_window_manager(self):
        run, window = self.start_client()
        # A dock groups the window with its launcher by this class.
        entry = configparser.ConfigParser(interpolation=None)
        entry.optionxform = str
        entry.read(os.path.join(SOURCE, "packaging", "pellacorn.desktop"))
        self.assertEqual(window.get_wm_class()[1], entry["Desktop Entry"]["StartupWMClass"])

        drawing = self.cpu_share(run, 1.0)
        at = self.minimize(window)
        self.assertTrue(wait_for(lambda: not viewable(window)), "the window went away")
        self.assertIn("_NET_WM_STATE_HIDDEN", net_wm_state(self.server, window))
        # Drawing stops: the program waits for events.
        self.assertTrue(wait_for(lambda: self.cpu_share(run, 0.3) < drawing / 5),
                        "CPU stayed high while minimized (%.2f drawing)" % drawing)
        hidden = self.cpu_share(run, 1.5)
        self.assertLess(hidden, drawing / 5, "minimized against %.2f drawing" % drawing)

        self.restore(window, at)
        shots = [grab(window, 640, 480)]
        self.assertTrue(wait_for(lambda: shots.append(grab(window, 640, 480)) or
                                 len(set(shot.tobytes() for shot in shots)) > 3),
                        "frames resumed")

        self.close_window()
        self.assertEqual(run.wait(), 0, run.log())
        self.assertEqual(run.log(), HEADER + CLOSING)

    def test_f1_switches_to_full_screen_and_back_once_a_press_short_or_long(self):
        ring = lambda x, y: MAGENTA if min(x, y, 159 - x, 159 - y) < 8 else (0, 0, 0)
        run, window = self.start_client(scratch(files={"data/QN_Title.bmp": bmp24(160, 160, ring)}))
        watch = FullScreenWatch(self.server)
        self.addCleanup(watch.close)
        screen = (watch.width, watch.height)
        root = self.server.x.screen().root
        self.assertFalse(watch.poll())
        self.check_picture(lambda: grab(window, 640, 480), (0, 0, 640, 480), 1.0)

        for changes, seconds in [(1, 0.1), (2, 2.0)]:
            full = changes == 1
            focus(self.server, window)
            hold_key(self.server, "F1", seconds)
            self.assertTrue(wait_for(lambda: watch.poll() == full), "F1 held %s s" % seconds)
            # Many frames after the release, the press still made one switch.
            used = run.cpu_seconds()
            self.assertTrue(wait_for(lambda: run.cpu_seconds() > used + 0.3), "frames stopped")
            watch.poll()
            self.assertEqual(watch.changes, changes, "switches after F1 held %s s" % seconds)
            if COMPAT:  # classic SDL covers the screen with a window of its own
                self.assertEqual("_NET_WM_STATE_FULLSCREEN" in net_wm_state(self.server, window),
                                 full)
            if full:
                # Classic SDL shows the picture as it is, centred on black;
                # sdl12-compat scales it to fit.
                scale = min(screen[0] / 640, screen[1] / 480) if COMPAT else 1.0
                w, h = round(640 * scale), round(480 * scale)
                area = ((screen[0] - w) // 2, (screen[1] - h) // 2)
                area += (area[0] + w, area[1] + h)
                self.check_picture(lambda: grab(root, *screen), area, scale)
            else:
                geometry = window.get_geometry()
                self.assertEqual((geometry.width, geometry.height), (640, 480))
                self.check_picture(lambda: grab(window, 640, 480), (0, 0, 640, 480), 1.0)

        self.assertEqual(quit_with_escape(self.server, window, run), 0, run.log())
        self.assertEqual(run.log(), HEADER + CLOSING)

    def check_picture(self, shoot, area, scale):
        """Within a few seconds a shot shows the third logo, a ring 160
        pixels wide, whole, at the given scale and inside the picture's area
        of the shot; outside that area everything is black."""
        size = 160 * scale
        shots = []

        def whole():
            shots.append(shoot())
            box = colour_box(shots[-1], MAGENTA)
            return box is not None and all(abs(box[i + 2] - box[i] - size) <= 2 for i in (0, 1))

        self.assertTrue(wait_for(whole), "no whole ring %s wide in %s; last box %s"
                        % (size, area, colour_box(shots[-1], MAGENTA)))
        box = colour_box(shots[-1], MAGENTA)
        self.assertTrue(area[0] <= box[0] and area[1] <= box[1] and box[2] <= area[2]
                        and box[3] <= area[3], (box, area))
        outside = shots[-1].copy()
        outside.paste((0, 0, 0), area)
        self.assertIsNone(outside.getbbox(), "only black around the picture")


def read_bmp8(path):
    """Rows of palette indices, the palette as (r, g, b), width and height."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    assert bits == 8
    palette = [(data[54 + 4 * i + 2], data[54 + 4 * i + 1], data[54 + 4 * i]) for i in range(256)]
    stride = (width + 3) & ~3
    rows = [list(data[offset + r * stride: offset + r * stride + width]) for r in range(height)]
    return rows[::-1], palette, width, height


YELLOW, CYAN, MAGENTA = (255, 255, 0), (0, 255, 255), (255, 0, 255)


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def boxes(shot):
    """The bounding boxes (x0, y0, x1, y1) of the three logo colours."""
    found = {}
    for y, row in enumerate(shot):
        for x, pixel in enumerate(row):
            if pixel in (YELLOW, CYAN, MAGENTA):
                x0, y0, x1, y1 = found.get(pixel, (x, y, x, y))
                found[pixel] = (min(x0, x), min(y0, y), max(x1, x), max(y1, y))
    return found.get(YELLOW), found.get(CYAN), found.get(MAGENTA)


def check_frame(test, shot):
    """Checks one screenshot against the overlay's model, worked out here:
    the first logo's y and the second logo's x both count frames, the
    second's y and the third's y follow that count through the float phase
    Ly, and the third's x follows the first's sweep Lx. Returns the number
    of figure pixels inside the third logo, or None, checking nothing, when
    a logo is partly hidden or off the edge."""
    one, two, three = boxes(shot)
    size = lambda b: (b[2] - b[0] + 1, b[3] - b[1] + 1) if b else None
    if (size(one), size(two), size(three)) != ((100, 30), (60, 20), (160, 160)):
        return None
    # Replay the frames until both counters and both phases agree.
    iy, iy_off, ix, ix_off, ly = 0, 1, 0, 1, 0.0
    for _ in range(200000):
        ly = f32(ly + f32(0.03))
        iy += iy_off
        y1 = iy
        if iy > 480 - 30 or iy < 0:
            iy_off = -iy_off
        ix += ix_off
        x2 = ix
        if ix > 640 - 60 or ix < 0:
            ix_off = -ix_off
        if (y1, x2) == (one[1], two[0]):
            y2 = int(math.sin(ly) * 170.0 + (20 + 480) // 2 - 80.0)
            y3 = int(math.cos(ly) * 170.0 + (160 + 480) // 2 - 80.0)
            if (y2, y3) == (two[1], three[1]):
                break
    else:
        test.fail("no frame count puts the logos at %s, %s and %s" % (one, two, three))
    # The first logo's x gives Lx to within a pixel's worth.
    lx, step = one[0] / (640 - 100), 1 / (640 - 100)
    x3 = [int(math.sin(lx + d) * 170.0 + (160 + 640) // 2 - 106.0) for d in (-step, step)]
    test.assertTrue(x3[0] - 1 <= three[0] <= x3[1] + 1, (one, three))
    # Inside the frame's black the 3D figure shows through the 2D layer.
    return sum(1 for y in range(three[1] + 8, three[3] - 7)
               for x in range(three[0] + 8, three[2] - 7)
               if shot[y][x] != (0, 0, 0) and shot[y][x] not in (YELLOW, CYAN))


if __name__ == "__main__":
    unittest.main()
