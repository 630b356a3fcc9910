"""The web pages in a real browser, headless Chromium driven by Selenium,
served on 127.0.0.1: the demo (its picture, logos, music, full screen and
quit, read back from its log) and the starfield, a scene of the kit. Each
page is loaded once and checked as a person would see it. Skipped, with a
line saying why, where the browser or its driver is missing."""

import functools
import http.server
import io
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

try:
    from PIL import Image
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError as missing:
    print("skipped: %s" % missing)
    sys.exit(77)

CHROMIUM, DRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"
for program in (CHROMIUM, DRIVER):
    if not os.access(program, os.X_OK):
        print("skipped: %s is not installed" % program)
        sys.exit(77)


def serve(folder):
    """A static server for folder on a free port of 127.0.0.1 only."""
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=folder)
    handler.log_message = lambda *args: None
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def start_browser(sound_needs_gesture):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    profile = tempfile.mkdtemp(prefix="pellacorn-web-test-")
    for argument in ["--headless=new", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
                     "--no-sandbox", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--no-first-run",
                     "--window-size=1024,768", "--user-data-dir=" + profile]:
        options.add_argument(argument)
    if not sound_needs_gesture:
        options.add_argument("--autoplay-policy=no-user-gesture-required")
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    return driver, profile


def near(pixel, colour, tolerance):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


# The figure's corners are pure red, green and blue blending into each
# other; each logo has a colour of its own that the figure never shows.
FIGURE = lambda p: max(p) > 120 and min(p) < 40 and not near(p, (235, 41, 77), 40)
LOGOS = {"logo.gif's red": lambda p: near(p, (235, 41, 77), 25) or near(p, (239, 67, 66), 25),
         "SDL_Title.bmp's blue": lambda p: near(p, (78, 134, 253), 30),
         "QN_Title.bmp's cyan": lambda p: near(p, (115, 242, 255), 30)}
# A logo's own dark body, not black: black is transparent.
LOGO_BODY = lambda p: near(p, (26, 13, 36), 6) or near(p, (13, 10, 33), 6)
# The figure's green, which no logo has.
GREEN = lambda p: p[1] > p[0] + 60 and p[1] > p[2] + 60
STAR = lambda p: min(p) > 100


class Page(unittest.TestCase):
    """One page in one browser; the test methods of a subclass are steps of
    that one run, in the order they are written."""
    page = None
    sound_needs_gesture = False

    @classmethod
    def setUpClass(cls):
        folder = os.environ.get(cls.variable)
        if not folder or not os.path.exists(os.path.join(folder, cls.page)):
            raise unittest.SkipTest("no %s was built" % cls.page)
        cls.folder = folder
        cls.server = serve(folder)
        cls.driver, cls.profile = start_browser(cls.sound_needs_gesture)
        cls.started = time.monotonic()
        cls.driver.get("http://127.0.0.1:%d/%s" % (cls.server.server_address[1], cls.page))
        cls.wait_for("return (Module.pellacornFrames || 0) >= 30", 60)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.shutdown()
        shutil.rmtree(cls.profile, True)

    @classmethod
    def wait_for(cls, script, seconds=20):
        return WebDriverWait(cls.driver, seconds, poll_frequency=0.05).until(
            lambda driver: driver.execute_script(script))

    def frames(self):
        return self.driver.execute_script("return Module.pellacornFrames")

    def hold(self, key):
        """Holds key across a few frames, as a person does: a tap shorter
        than a frame is no press in SDL 1.2's key table."""
        ActionChains(self.driver).key_down(key).perform()
        count = self.frames()
        try:
            self.wait_for("return Module.pellacornExit !== undefined || "
                          "Module.pellacornFrames >= %d" % (count + 5))
        finally:
            ActionChains(self.driver).key_up(key).perform()

    def shot(self):
        """The screenshot and the canvas's box in it, in device pixels."""
        png = self.driver.get_screenshot_as_png()
        box = self.driver.execute_script(
            "var R = Module.canvas.getBoundingClientRect(), D = devicePixelRatio;"
            "return [R.left * D, R.top * D, R.width * D, R.height * D];")
        return Image.open(io.BytesIO(png)).convert("RGB"), [int(round(v)) for v in box]

    @staticmethod
    def count(image, box, test):
        x, y, w, h = box
        return sum(1 for p in image.crop((x, y, x + w, y + h)).getdata() if test(p))

    def full_screen_fills_the_window(self):
        self.hold(Keys.F1)
        self.wait_for("return document.fullscreenElement != null && "
                      "Module.canvas.width == Math.round(innerWidth * devicePixelRatio)", 10)
        self.wait_for("return Module.pellacornFrames >= %d" % (self.frames() + 10))
        image, box = self.shot()
        self.assertEqual(box[2:], list(image.size), "the canvas fills the screen")
        # The 4:3 picture in the middle, black bars at its sides.
        width, height = image.size
        picture = min(width, height * 4 // 3)
        side = (width - picture) // 2
        if side > 2:
            bars = self.count(image, (0, 0, side - 1, height), lambda p: max(p) < 12)
            self.assertGreater(bars, 0.99 * (side - 1) * height, "the bars are black")
        return image, (side, 0, picture, height)

    def escape_ends_with_the_closing_line(self):
        # A browser may take the first Escape to leave full screen.
        for attempt in range(2):
            self.hold(Keys.ESCAPE)
            self.wait_for("return document.fullscreenElement == null || "
                          "Module.pellacornExit !== undefined", 10)
            if self.driver.execute_script("return Module.pellacornExit !== undefined"):
                break
        status = self.wait_for("return Module.pellacornExit !== undefined && "
                               "[Module.pellacornExit]", 10)
        self.assertEqual(status, [0])
        log = self.driver.execute_script("return FS.readFile('log.txt', {encoding: 'utf8'})")
        self.assertTrue(log.startswith("Zarn OpenGL Basecode - SDL port by Quarnel V0.2"), log)
        self.assertTrue(log.endswith("\n-- Closing Log...\n"), log)
        return log

    def console_is_clean(self):
        entries = self.driver.get_log("browser")
        # Later Emscriptens announce their GL emulation as errors, on every
        # page that uses it.
        errors = [e["message"] for e in entries if e["level"] == "SEVERE"
                  and "WARNING: using emscripten GL emulation" not in e["message"]]
        self.assertEqual(errors, [], "console errors")
        self.assertFalse([e for e in entries if "TODO" in e["message"]], "stubs complained")
        return [e["message"] for e in entries]


class Demo(Page):
    variable, page = "PELLACORN_WEB_DEMO", "pellacorn.html"
    # The browser's own rule: sound after a key press or click only.
    sound_needs_gesture = True

    def test_1_picture_logos_and_title(self):
        self.assertEqual(self.driver.title, "Zarn OpenGL Basecode - SDL port by Quarnel")
        image, box = self.shot()
        self.assertEqual(box[2:], [640, 480])
        self.assertGreater(self.count(image, box, FIGURE), 2000, "the figure shows")
        # Each in its own colour: red and blue swapped, none would show.
        for name, test in LOGOS.items():
            self.assertGreater(self.count(image, box, test), 150, name + " shows")
        self.assertGreater(self.count(image, box, LOGO_BODY), 500, "the logos' bodies show")

    def test_2_black_is_transparent(self):
        # The text logo is mostly black in its file: once it sways over the
        # figure, the figure shows between its letters.
        def figure_behind_the_text():
            image, box = self.shot()
            text = [(x, y) for (x, y), p in zip(
                ((x, y) for y in range(box[3]) for x in range(box[2])),
                image.crop((box[0], box[1], box[0] + box[2], box[1] + box[3])).getdata())
                if LOGOS["SDL_Title.bmp's blue"](p)]
            if len(text) < 150:
                return False
            xs, ys = [x for x, y in text], [y for x, y in text]
            inside = (box[0] + min(xs), box[1] + min(ys), max(xs) - min(xs), max(ys) - min(ys))
            return self.count(image, inside, GREEN) > 100
        deadline = time.monotonic() + 60
        while not figure_behind_the_text():
            self.assertLess(time.monotonic(), deadline, "no figure between the text's letters")

    def test_3_music_after_a_key_press_for_the_tune_s_length(self):
        hint = self.wait_for("var T = document.getElementById('hint').textContent;"
                             "return T != '' && T", 10)
        self.assertEqual(hint, "press a key or click for sound")
        self.hold(Keys.SPACE)
        self.wait_for("return Module.pellacornMusic === 1 && SDL.audioContext.state == 'running'", 10)
        self.wait_for("return document.getElementById('hint').textContent == ''", 5)
        length, loops = self.driver.execute_script(
            "var A = SDL.music.audio;"
            "return [A.resource.webAudio.decodedBuffer.duration, A.webAudioNode.loop];")
        self.assertTrue(loops, "the tune loops")
        ogg = os.path.join(os.environ["PELLACORN_WEB_FILES"], "data", "lktheme.ogg")
        probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration",
                                "-of", "csv=p=0", ogg], capture_output=True, text=True)
        self.assertAlmostEqual(length, float(probe.stdout), delta=0.05)
        # The sound's own clock runs past the tune's end with the music on.
        start = self.driver.execute_script("return SDL.audioContext.currentTime")
        self.wait_for("return SDL.audioContext.currentTime > %f" % (start + length + 1),
                      length * 3 + 30)
        self.assertEqual(self.driver.execute_script("return Module.pellacornMusic"), 1)

    def test_4_full_screen_scales_the_picture(self):
        image, inside = self.full_screen_fills_the_window()
        scale = (inside[2] / 640.0) ** 2
        self.assertGreater(self.count(image, inside, FIGURE), 2000 * scale * 0.5)
        self.assertGreater(self.count(image, inside, LOGOS["QN_Title.bmp's cyan"]), 20)

    def test_5_escape_quits(self):
        log = self.escape_ends_with_the_closing_line()
        self.assertNotIn("Unable to", log)
        self.console_is_clean()


class Starfield(Page):
    variable, page = "PELLACORN_WEB_STARFIELD", "starfield.html"

    def test_1_stars_on_its_sky(self):
        image, box = self.shot()
        self.assertGreater(self.count(image, box, STAR), 30, "stars show")
        sky = self.count(image, box, lambda p: p[0] < 8 and p[1] < 8 and 2 <= p[2] < 12)
        self.assertGreater(sky, 640 * 480 / 2, "its own dark blue sky")

    def test_2_full_screen_and_escape(self):
        image, inside = self.full_screen_fills_the_window()
        self.assertGreater(self.count(image, inside, STAR), 30)
        log = self.escape_ends_with_the_closing_line()
        self.assertIn("Starfield: 600 stars\n", log)
        self.console_is_clean()


if __name__ == "__main__":
    unittest.main()
