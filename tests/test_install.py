"""Installing and packaging: the installed tree, the launcher started from
an unrelated directory under Xvfb, and the Debian package's files and
dependencies."""

import glob
import os
import shutil
import subprocess
import tempfile
import unittest

from support.xharness import CLOSING, HEADER, Run, Xvfb, find_window, focus, hold_key

BUILD = os.environ["PELLACORN_BUILD"]
PROGRAM_FILES = ["bin/pellacorn", "lib/pellacorn/Pellacorn", "share/pellacorn/Zarn_Icon.bmp",
                 "share/pellacorn/data/logo.gif", "share/pellacorn/data/SDL_Title.bmp",
                 "share/pellacorn/data/QN_Title.bmp", "share/pellacorn/data/lktheme.mod",
                 "share/applications/pellacorn.desktop",
                 "share/icons/hicolor/48x48/apps/pellacorn.png"]


class Installed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = tempfile.mkdtemp(prefix="pellacorn-prefix-")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", cls.prefix], check=True,
                       stdout=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.prefix, ignore_errors=True)

    def test_the_tree_holds_the_program_its_files_and_the_desktop_entry(self):
        for name in PROGRAM_FILES:
            self.assertTrue(os.path.isfile(os.path.join(self.prefix, name)), name)
        self.assertTrue(os.access(os.path.join(self.prefix, "bin/pellacorn"), os.X_OK))
        with open(os.path.join(self.prefix, "share/applications/pellacorn.desktop")) as f:
            entry = f.read()
        for line in ["[Desktop Entry]", "Exec=pellacorn", "Icon=pellacorn", "Type=Application"]:
            self.assertIn(line + "\n", entry)
        with open(os.path.join(self.prefix, "share/icons/hicolor/48x48/apps/pellacorn.png"), "rb") as f:
            head = f.read(24)
        self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual((int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")),
                         (48, 48))

    def test_the_launcher_runs_from_a_per_user_folder(self):
        server = Xvfb()
        elsewhere = tempfile.mkdtemp(prefix="pellacorn-cwd-")
        user_data = tempfile.mkdtemp(prefix="pellacorn-xdg-")
        # A file of the user's own stays as it is.
        os.makedirs(os.path.join(user_data, "pellacorn"))
        with open(os.path.join(user_data, "pellacorn", "Zarn_Icon.bmp"), "wb") as f:
            f.write(b"mine")
        try:
            run = Run(elsewhere, server, program=os.path.join(self.prefix, "bin/pellacorn"),
                      env={"XDG_DATA_HOME": user_data})
            window = find_window(server, run=run)
            self.assertIsNotNone(window, run.stderr)
            focus(server, window)
            hold_key(server, "Escape")
            self.assertEqual(run.wait(), 0, run.stderr)
            home = os.path.join(user_data, "pellacorn")
            with open(os.path.join(home, "log.txt")) as f:
                log = f.read()
            self.assertEqual(log, HEADER + "Unable to load icon: Zarn_Icon.bmp: File is not a Windows BMP file\n"
                             + CLOSING)
            self.assertEqual(os.readlink(os.path.join(home, "data")),
                             os.path.join(self.prefix, "share/pellacorn/data"))
            self.assertEqual(os.listdir(elsewhere), [], "nothing written where it was started")
        finally:
            server.stop()
            shutil.rmtree(elsewhere, ignore_errors=True)
            shutil.rmtree(user_data, ignore_errors=True)


class Package(unittest.TestCase):
    def test_the_debian_package_has_the_files_and_the_runtime_dependencies(self):
        out = tempfile.mkdtemp(prefix="pellacorn-deb-")
        try:
            subprocess.run(["cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"),
                            "-B", out], check=True, stdout=subprocess.DEVNULL)
            deb, = glob.glob(os.path.join(out, "*.deb"))
            listing = subprocess.run(["dpkg-deb", "-c", deb], check=True, capture_output=True,
                                     text=True).stdout
            files = {line.split()[-1].lstrip(".") for line in listing.splitlines()}
            for name in PROGRAM_FILES:
                self.assertIn("/usr/" + name, files)
            depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], check=True,
                                     capture_output=True, text=True).stdout
            names = {d.split()[0] for alternative in depends.split(",")
                     for d in alternative.split("|")}
            for library in ["libsdl1.2debian", "libsdl-image1.2", "libsdl-mixer1.2", "libgl1",
                            "libglu1-mesa"]:
                self.assertIn(library, names, depends)
        finally:
            shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
