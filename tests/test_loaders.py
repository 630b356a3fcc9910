"""The libraries' own loaders, through the real program: each file of the
malformed corpus (tests/corpus, made by make_corpus.py) replaces the file
the program would load, in a child process with a time limit. The program
must end cleanly every time: with its two lines and status 1 when the file
does not load, or normally when the library makes something of it. A
crash or hang inside a library that is known, and recorded with its
reproducer in docs/known-issues.md, is listed in KNOWN."""

import os
import resource
import unittest

from support.xharness import CLOSING, HEADER, SOURCE, ServerTest, run_with_file

CORPUS = os.path.join(SOURCE, "tests", "corpus")
TARGETS = {".gif": ["data/logo.gif"], ".bmp": ["data/SDL_Title.bmp", "Zarn_Icon.bmp"],
           ".mod": ["data/lktheme.mod"]}
# (file, target): the outcomes the library is known to give. Keep in step
# with docs/known-issues.md.
KNOWN = {
    # SDL_image 1.2.12's GIF decoder reads outside its buffers: whether that
    # faults depends on the memory layout, so a clean run also happens.
    ("gif-bad-code-size.gif", "data/logo.gif"): ("crash (signal 11)", 0),
    ("gif-frame-outside-screen.gif", "data/logo.gif"): ("crash (signal 11)",),
}

# What the program says of an icon that loads but cannot be one.
UNFIT_ICON = ("Icon width must be a multiple of 8", "Icon file must have a palette.",
              "Icon must be at most 1024 x 1024 pixels")


class Loaders(ServerTest):
    def check(self, target, result, log):
        """A logo either loads, and the run is normal, or is refused by
        name in one line before the shell gives up. A bad module gives a
        normal, silent run. A bad icon is refused in one line, by name or as
        unfit, or loads, and the run goes on either way."""
        self.assertTrue(log.startswith(HEADER), log)
        lines = log[len(HEADER):].splitlines()
        name = os.path.basename(target)
        if target == "Zarn_Icon.bmp":
            self.assertEqual(result, 0, log)
            self.assertEqual(lines[-2:], ["", "-- Closing Log..."], log)
            self.assertLessEqual(len(lines), 3, log)
            if len(lines) == 3:
                refused = lines[0].startswith("Unable to load icon: ") and name in lines[0]
                self.assertTrue(refused or lines[0] in UNFIT_ICON, log)
        elif result == 1 and target.startswith("data/") and target != "data/lktheme.mod":
            self.assertEqual(len(lines), 2, log)
            self.assertTrue(lines[0].startswith("Cannot load graphic: ") and name in lines[0], log)
            self.assertTrue(lines[1].startswith("App init failed: "), log)
        else:
            self.assertEqual((result, log), (0, HEADER + CLOSING))

    def test_every_malformed_file_ends_cleanly(self):
        names = sorted(set(os.listdir(CORPUS)) - {"make_corpus.py"})
        # Every kind of file is there, and none of another kind is left out.
        self.assertEqual({os.path.splitext(name)[1] for name in names}, set(TARGETS))
        for name in names:
            for target in TARGETS[os.path.splitext(name)[1]]:
                with self.subTest(file=name, target=target):
                    with open(os.path.join(CORPUS, name), "rb") as f:
                        result, log, _ = run_with_file(self.server, target, f.read())
                    if (name, target) in KNOWN:
                        self.assertIn(result, KNOWN[(name, target)], log)
                        continue
                    self.check(target, result, log)
        # A forged size (bmp-huge-width.bmp claims 134 million pixels a row)
        # is refused before any library reserves memory for it.
        peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024
        self.assertLess(peak, 400, "MiB resident at the most in one run")


if __name__ == "__main__":
    unittest.main()
