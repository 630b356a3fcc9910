"""The real Pellacorn under its own Xvfb: a normal run looked at from
every side (its window, icon, frames, tune and log), full screen refused,
and every reachable start-up failure; then on a desktop, under a window
manager: minimizing, restoring, closing and full screen."""

import array
import configparser
import os
import struct
import time
import unittest

from support.wm import (FullScreenWatch, WindowManagerTest, colour_box, grab, net_wm_state,
                        size, switch_with_f1, viewable)
from support.xharness import (CLOSING, COMPAT, HEADER, SOURCE, TITLE, Run, ServerTest, bmp24,
                              draws_on, find_window, focus, hold_key_until, quit_with_escape,
                              rest_after_release, scratch, wait_for, wait_for_frame)

REFUSE_FULLSCREEN = os.environ["PELLACORN_REFUSE_FULLSCREEN"]
SPY = os.environ["PELLACORN_SPY"]


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

    # ---- A normal run, seen and heard ----

    def test_a_normal_run_shows_its_window_icon_and_logos_loops_its_tune_and_ends_on_escape(self):
        # Logos of plain colours that no channel swap leaves alike and that
        # the figure's shades never take: a large one, and two colour-keyed
        # ones moving over it, a box with a black border and a ring whose
        # black inside must let what lies beneath show through. The tune is
        # a note and a rest, far shorter than a capture.
        box = lambda x, y: LIME if 10 <= x < 110 and 10 <= y < 70 else BLACK
        ring = lambda x, y: PINK if min(x, y, 159 - x, 159 - y) < 8 else BLACK
        cwd = scratch(files={"data/logo.gif": bmp24(300, 200, lambda x, y: ORANGE),
                             "data/SDL_Title.bmp": bmp24(120, 80, box),
                             "data/QN_Title.bmp": bmp24(160, 160, ring),
                             "data/lktheme.mod": short_module()})
        raw = os.path.join(cwd, "audio.raw")
        run, window = self.start_window(cwd, audio="disk",
                                        env={"SDL_DISKAUDIOFILE": raw, "SDL_DISKAUDIODELAY": "20"})
        self.assertEqual(window.get_wm_name(), TITLE)
        geometry = window.get_geometry()
        self.assertEqual((geometry.width, geometry.height), (640, 480))
        self.check_icon(run, window)
        self.check_logos(window)

        # Playing on past the module's end, the tune starts again at the
        # module's length each time.
        onsets = []

        def started_thrice():
            onsets[:] = note_onsets(raw)
            return len(onsets) >= 3

        self.assertTrue(wait_for(started_thrice, 20), "the tune started at %s only" % onsets)
        gaps = [b - a for a, b in zip(onsets, onsets[1:])]
        self.assertLessEqual(max(gaps) - min(gaps), 2 + min(gaps) // 20, gaps)

        self.quit_with_escape(run, window)
        self.assertEqual(run.log(), HEADER + CLOSING)
        self.assertTrue(run.stderr.startswith("Trying to init Logfile!\n: "), run.stderr)

    def check_icon(self, run, window):
        """The window manager gets the icon file's pixels, and a mask that
        hides the ones of its corner colour."""
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

    def check_logos(self, window):
        """Shots of the running program, whichever frame each catches: every
        pixel is the colour of the topmost opaque logo there, and elsewhere
        the GL frame (black, or the figure's blends of pure red, green and
        blue): no swapped channels, no trail, no hole. Enough shots to see
        each logo at two places, logos over the large one, and the figure
        through the ring's black inside."""
        checked, overlaps, places, figure = [0], [0], [set(), set(), set()], [0]

        def enough():
            shot = grab(window, 640, 480)
            boxes = logo_boxes(shot)
            if boxes is None:
                return False
            bad, seen = wrong_pixels(shot, boxes)
            self.assertEqual(bad, [], "pixels that are neither the topmost logo nor the GL "
                             "frame, as (x, y, colour), with logos at %s" % (boxes,))
            checked[0] += 1
            overlaps[0] += any(overlap(boxes[0], other) for other in boxes[1:])
            figure[0] = max(figure[0], seen)
            for place, found in zip(places, boxes):
                place.add(found)
            return (checked[0] >= 8 and overlaps[0] >= 3 and figure[0] > 300
                    and all(len(place) >= 2 for place in places))

        self.assertTrue(wait_for(enough, 20), "%d whole frames checked, %d with logos over the "
                        "large one, %d figure pixels in the ring, places %s"
                        % (checked[0], overlaps[0], figure[0], [len(p) for p in places]))

    # ---- Full screen refused ----

    def test_a_refused_full_screen_is_logged_once_a_press_and_a_silent_run_goes_on(self):
        # A window system that refuses every switch, preloaded; and without
        # its module the run is silent.
        cwd = scratch(omit=["data/lktheme.mod"])
        raw = os.path.join(cwd, "audio.raw")
        run, window = self.start_window(cwd, audio="disk", env={
            "LD_PRELOAD": REFUSE_FULLSCREEN, "SDL_DISKAUDIOFILE": raw, "SDL_DISKAUDIODELAY": "20"})
        self.assertTrue(wait_for_frame(window, run), run.log())
        refusals = lambda: run.log().count(REFUSED)
        focus(self.server, window)
        self.assertTrue(hold_key_until(self.server, "F1", lambda: refusals() == 1), run.log())
        # Half a second of frames between a release and the next press, or
        # the program takes the two for one press.
        self.assertTrue(rest_after_release(run, 0.1), "frames stopped")
        # Held for hundreds of frames, a second press is refused once.
        used = []

        def refused_then_held():
            if refusals() < 2:
                return False
            used.append(run.cpu_seconds())
            return used[-1] >= used[0] + 0.3

        self.assertTrue(hold_key_until(self.server, "F1", refused_then_held, 20), run.log())
        self.assertTrue(draws_on(run, 0.1), "frames stopped")

        self.assertTrue(wait_for(lambda: os.path.getsize(raw) > 22060 * 4), "a second of sound")
        self.quit_with_escape(run, window)
        self.assertEqual(run.log(), HEADER + REFUSED * 2 + CLOSING)
        samples = read_samples(raw)
        self.assertEqual((min(samples), max(samples)), (0, 0), "silence")

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
        # SDL 2 has display-less video drivers of its own and may run: then
        # the spy asks it to quit, as a terminal would, from its loop.
        cwd = scratch()
        run = Run(cwd, server=None, env={
            "TERM": "dumb", "LD_PRELOAD": SPY, "PELLACORN_SPY": os.path.join(cwd, "frames.txt"),
            "PELLACORN_SPY_FRAMES": "30"})
        self.runs.append(run)
        if COMPAT and run.wait() == 0:
            self.assertEqual(run.log(), HEADER + CLOSING)
            self.assertIn("frames 30\n", run.read("frames.txt"))
            return
        self.expect_failure(run, ("Unable to open screen surface: ", "Unable to open SDL: "))

    def test_without_any_video_driver_sdl_does_not_start(self):
        run = self.start(env={"SDL_VIDEODRIVER": "no-such-driver"})
        self.expect_failure(run, "Unable to open SDL: ")

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


class OnADesktop(WindowManagerTest):
    """The program framed by openbox, used as a person would use it."""

    def start_client(self, cwd=None):
        run = Run(cwd or scratch(), self.server)
        self.runs.append(run)
        window = self.find_client(run)
        self.assertIsNotNone(window, "no window shown; program %s; %s; log: %r" % (
            "running" if run.proc.poll() is None else "ended: %s" % run.proc.returncode,
            "a window unshown" if self.unshown else "no window made", run.log()))
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
        ring = lambda x, y: MAGENTA if min(x, y, 159 - x, 159 - y) < 8 else BLACK
        run, window = self.start_client(scratch(files={"data/QN_Title.bmp": bmp24(160, 160, ring)}))
        watch = FullScreenWatch(self.server)
        self.addCleanup(watch.close)
        screen = (watch.width, watch.height)
        root = self.server.x.screen().root
        self.assertFalse(watch.poll())
        self.check_picture(lambda: grab(window, 640, 480), (0, 0, 640, 480), 1.0)

        # A press released as soon as the switch shows (a shorter one may
        # begin and end within a frame, unseen), then one held 2 s past it.
        for changes, held in [(1, 0.0), (2, 2.0)]:
            full = changes == 1
            focus(self.server, window)
            self.assertTrue(switch_with_f1(self.server, watch, run, full, held),
                            "F1: %d switches, log %r" % (watch.changes, run.log()))
            # Many frames after the release, the press still made one switch.
            self.assertEqual(watch.changes, changes, "switches after F1 held %s s past the "
                             "switch" % held)
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


BLACK, YELLOW, CYAN, MAGENTA = (0, 0, 0), (255, 255, 0), (0, 255, 255), (255, 0, 255)
ORANGE, LIME, PINK = (255, 140, 0), (140, 255, 0), (255, 100, 180)


def logo_boxes(shot):
    """The three logos' boxes (x0, y0, x1, y1) in a shot of the normal run,
    or None unless each is found whole, inside the window."""
    found = [colour_box(shot, colour, 0) for colour in (ORANGE, LIME, PINK)]
    if [size(box) for box in found] != [(300, 200), (100, 60), (160, 160)]:
        return None
    x0, y0, x1, y1 = found[1]
    found[1] = (x0 - 10, y0 - 10, x1 + 10, y1 + 10)  # the black border around the lime
    return found if found[1][0] >= 0 and found[1][2] <= 640 else None


def overlap(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def wrong_pixels(shot, boxes):
    """The pixels of a shot that are not what the logos at boxes and the GL
    frame beneath allow, and how many figure pixels show in the ring."""
    large, framed, ring = boxes
    lime = (framed[0] + 10, framed[1] + 10, framed[2] - 10, framed[3] - 10)
    inside = (ring[0] + 8, ring[1] + 8, ring[2] - 8, ring[3] - 8)
    # Each logo is erased and drawn before the next one is erased, so where
    # the box has just moved in, its border can show for one frame the ring
    # where it stood the frame before: at most a step (the sway's, under 6
    # pixels) from the box's edge.
    core = (framed[0] + 6, framed[1] + 6, framed[2] - 6, framed[3] - 6)
    within = lambda box, x, y: box[0] <= x < box[2] and box[1] <= y < box[3]
    bad, figure = [], 0
    pixels = shot.load()
    for y in range(480):
        for x in range(640):
            got = pixels[x, y]
            if within(ring, x, y) and not within(inside, x, y):
                want = PINK
            elif within(lime, x, y):
                want = LIME
            elif within(large, x, y):
                want = ORANGE
            else:
                # The GL frame: black, or a blend of the corners' pure red,
                # green and blue, whose channels add up to a full one.
                shade = sum(got)
                if got == PINK and within(framed, x, y) and not within(core, x, y):
                    continue
                if shade != 0 and not 235 <= shade <= 275:
                    bad.append((x, y, got))
                figure += shade != 0 and within(inside, x, y)
                continue
            if got != want:
                bad.append((x, y, got))
    return bad[:20], figure
REFUSED = "Unable to toggle fullscreen: full screen refused\n"


def short_module():
    """A module of one instrument, a square wave, that plays a note for
    three rows, rests for three and ends: 0.72 s at the default speed."""
    def cell(period=0, instrument=0, effect=0, param=0):
        return bytes((instrument & 0xF0 | period >> 8, period & 0xFF,
                      (instrument & 0x0F) << 4 | effect, param))

    wave = bytes([100] * 16 + [156] * 16)  # signed bytes: +100, then -100
    head = b"loop test".ljust(20, b"\0")
    head += b"square".ljust(22, b"\0") + struct.pack(">HBBHH", 16, 0, 64, 0, 16)  # in words
    head += (bytes(22) + struct.pack(">HBBHH", 0, 0, 0, 0, 1)) * 30
    head += bytes((1, 127)) + bytes(128) + b"M.K."  # one pattern, played once
    rows = {0: cell(428, 1), 3: cell(effect=0xC), 5: cell(effect=0xD)}  # C-2, volume 0, break
    pattern = b"".join(rows.get(row, cell()) + cell() * 3 for row in range(64))
    return head + pattern + wave


def read_samples(path):
    """The 16-bit samples of a disk audio capture."""
    samples = array.array("h")
    with open(path, "rb") as f:
        data = f.read()
    samples.frombytes(data[: len(data) // 2 * 2])
    return samples


def note_onsets(path, window=441):
    """Where, in windows of samples, sound begins after a rest, and where
    it begins at all. The rate of the capture differs between SDLs, so the
    result is in windows, not seconds."""
    samples, onsets, rest = read_samples(path), [], True
    for at in range(0, len(samples) - window + 1, window):
        chunk = samples[at:at + window]
        level = max(max(chunk), -min(chunk))
        if level > 2000 and rest:
            onsets.append(at // window)
        if level > 2000 or level < 100:
            rest = level < 100
    return onsets


if __name__ == "__main__":
    unittest.main()
