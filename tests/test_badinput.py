"""Bad input in each of the five files the program reads: missing, empty,
truncated, random bytes, the wrong format under the right name, a directory
in its place, a very large image, and a small one far too wide. A logo
that does not load ends start-up with its two lines and status 1; a bad
module gives a normal, silent run; a bad icon gives its line and start-up
goes on. Nothing crashes or hangs, and the log holds every line up to the
end."""

import os
import random
import struct
import unittest

from support.xharness import CLOSING, HEADER, SOURCE, ServerTest, bmp24, run_with_file

LOGOS = ["data/logo.gif", "data/SDL_Title.bmp", "data/QN_Title.bmp"]


def original(name):
    with open(os.path.join(SOURCE, name), "rb") as f:
        return f.read()


def large_bmp8(width, height):
    """An 8-bit palettised BMP, striped so it is not all one colour."""
    stride = (width + 3) & ~3
    offset = 14 + 40 + 1024
    head = b"BM" + struct.pack("<IHHI", offset + stride * height, 0, 0, offset)
    head += struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, stride * height, 0, 0, 256, 0)
    palette = b"".join(bytes((i, 255 - i, i // 2, 0)) for i in range(256))
    row = bytes((x // 97) % 3 for x in range(width)) + b"\0" * (stride - width)
    return head + palette + row * height


def large_gif(width, height):
    from PIL import Image
    import io
    out = io.BytesIO()
    Image.new("P", (width, height), 1).save(out, "GIF")
    return out.getvalue()


def cases(name):
    """(case, contents) pairs: bytes to write, None to omit, or "dir"."""
    data = original(name)
    other = original("data/lktheme.mod" if name != "data/lktheme.mod" else "data/SDL_Title.bmp")
    rng = random.Random(name)
    yield "missing", None
    yield "empty", b""
    yield "truncated", data[: len(data) // 2]
    yield "header only", data[:40]
    yield "random bytes", bytes(rng.randrange(256) for _ in range(4096))
    yield "wrong format", other
    yield "directory", "dir"
    if name != "data/lktheme.mod":
        yield "very large", large_gif(8000, 8000) if name.endswith(".gif") else large_bmp8(8000, 8000)
    if name.endswith(".bmp"):
        # Small, but wider than any image here may be.
        yield "too wide", bmp24(20000, 2, lambda x, y: (200, 0, 0))


class BadInput(ServerTest):
    def run_with(self, name, contents):
        status, log, window = run_with_file(self.server, name, contents)
        self.assertIsInstance(status, int, "%s: %s" % (status, log))
        return status, log, window

    def test_a_logo_that_does_not_load_ends_start_up(self):
        for name in LOGOS:
            for case, contents in cases(name):
                with self.subTest(file=name, case=case):
                    status, log, _ = self.run_with(name, contents)
                    # A very large image is valid, and SDL_image makes what
                    # it can of a truncated GIF: those run normally.
                    if case == "very large" or (case == "truncated" and name.endswith(".gif")):
                        if status == 0:
                            self.assertEqual(log, HEADER + CLOSING)
                            continue
                    lines = log[len(HEADER):].splitlines()
                    self.assertEqual(status, 1, log)
                    self.assertEqual(len(lines), 2, log)
                    # The reason names the file, whatever SDL's own text was.
                    self.assertTrue(lines[0].startswith("Cannot load graphic: "), log)
                    self.assertIn(os.path.basename(name), lines[0])
                    self.assertTrue(lines[1].startswith("App init failed: "), log)

    def test_a_bad_module_gives_a_normal_run(self):
        for case, contents in cases("data/lktheme.mod"):
            with self.subTest(case=case):
                status, log, window = self.run_with("data/lktheme.mod", contents)
                self.assertTrue(window)
                self.assertEqual((status, log), (0, HEADER + CLOSING))

    def test_a_bad_icon_is_logged_and_start_up_goes_on(self):
        # Two bitmaps that load but cannot be icons, each with its reason.
        unfit = [("36 wide", bmp24(36, 32, lambda x, y: (255, 0, 0)),
                  "Icon width must be a multiple of 8\n"),
                 ("no palette", bmp24(32, 32, lambda x, y: (0, 0, 255)),
                  "Icon file must have a palette.\n")]
        for case, contents, reason in [c + (None,) for c in cases("Zarn_Icon.bmp")] + unfit:
            with self.subTest(case=case):
                status, log, window = self.run_with("Zarn_Icon.bmp", contents)
                self.assertTrue(window, log)
                self.assertEqual(status, 0, log)
                self.assertTrue(log.startswith(HEADER) and log.endswith(CLOSING), log)
                lines = log[len(HEADER):-len(CLOSING)].splitlines(keepends=True)
                self.assertEqual(len(lines), 1, log)
                if reason is not None:
                    self.assertEqual(lines[0], reason)
                elif lines[0].startswith("Unable to load icon: "):
                    self.assertIn("Zarn_Icon.bmp", lines[0])
                else:
                    self.assertTrue(lines[0].startswith("Icon must be at most 1024 x 1024"), log)


if __name__ == "__main__":
    unittest.main()
