"""The capture program of a small scene (tests/support/capture_scene.cpp),
which flashes white and starts a tone burst in the same frame's Update at a
few moments: files of exactly its frames at 640 x 480 that ffprobe reads
without a word, each burst heard within 1 ms of its flash's presentation
time, in MP4 as in WebM, the same decoded frames and samples on every run,
with a display or without, and a bad argument (a missing output folder
among them) refused before the scene starts, with nothing written; a
failure after that said on standard error and in a fresh log."""

import hashlib
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest
from array import array

from support.xharness import CLOSING, HEADER, SOURCE, Xvfb

CAPTURE = os.environ["PELLACORN_CAPTURE_SCENE"]
FPS, SECONDS, WIDTH, HEIGHT, RATE = 24, 2, 640, 480, 48000


def decode(path, *output):
    return subprocess.run(["ffmpeg", "-v", "error", "-i", path, *output, "-"], check=True,
                          capture_output=True, timeout=120).stdout


def presentation(path):
    """The decoded video frames' presentation times, and the audio's: when
    the first decoded sample plays and how many samples follow, as a player
    places them (the codecs' start-up samples already taken off)."""
    rows = subprocess.run(["ffprobe", "-v", "error", "-show_entries",
                           "frame=media_type,best_effort_timestamp_time,nb_samples",
                           "-of", "csv=p=0", path],
                          check=True, capture_output=True, text=True, timeout=120).stdout.split()
    frames = [row.split(",") for row in rows]
    video = [float(f[1]) for f in frames if f[0] == "video"]
    audio = [(float(f[1]), int(f[2])) for f in frames if f[0] == "audio"]
    return video, audio[0][0], sum(n for _, n in audio)


def flashes(video):
    """The indices of the white frames among the decoded grey frames."""
    size = WIDTH * HEIGHT
    return [n for n in range(len(video) // size)
            if sum(video[n * size:(n + 1) * size:997]) > 200 * len(range(0, size, 997))]


def onsets(samples):
    """Where each burst begins: the first sample over a third of the peak
    after at least 100 ms under it."""
    level = max(abs(s) for s in samples) / 3
    found, quiet = [], RATE
    for i, s in enumerate(samples):
        if abs(s) > level:
            if quiet >= RATE // 10:
                found.append(i)
            quiet = 0
        else:
            quiet += 1
    return found


class Capture(unittest.TestCase):
    def setUp(self):
        self.folders = []

    def tearDown(self):
        for folder in self.folders:
            shutil.rmtree(folder, ignore_errors=True)

    def folder(self):
        folder = tempfile.mkdtemp(prefix="pellacorn-capture-")
        self.folders.append(folder)
        return folder

    def capture(self, name, display=None, args=("--seconds", str(SECONDS), "--fps", str(FPS)),
                more_env=()):
        folder = self.folder()
        shutil.copy(os.path.join(SOURCE, "Zarn_Icon.bmp"), folder)
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        if display is not None:
            env["DISPLAY"] = display
        env.update(more_env)
        run = subprocess.run([CAPTURE, *args, name], cwd=folder, env=env, capture_output=True,
                             text=True, timeout=300)
        return run, folder

    def check_file(self, path, codecs):
        """The file's streams, its decoded frames and samples; asserts the
        codecs, the size and the frame count, and the sound in step."""
        probe = subprocess.run(["ffprobe", "-v", "warning", "-show_entries",
                                "stream=codec_name,profile,width,height,pix_fmt,sample_rate",
                                "-of", "json", path], capture_output=True, text=True, timeout=60)
        self.assertEqual(probe.stderr, "", "ffprobe reads it without a word")
        streams = json.loads(probe.stdout)["streams"]
        self.assertEqual([s["codec_name"] for s in streams], codecs)
        self.assertEqual((streams[0]["width"], streams[0]["height"], streams[0]["pix_fmt"]),
                         (WIDTH, HEIGHT, "yuv420p"))
        self.assertEqual(streams[1]["sample_rate"], str(RATE))
        video = decode(path, "-f", "rawvideo", "-pix_fmt", "gray")
        audio = decode(path, "-f", "s16le", "-ac", "1", "-ar", str(RATE))
        self.assertEqual(len(video), FPS * SECONDS * WIDTH * HEIGHT, "exactly the frames asked for")
        return streams, video, audio

    def test_frames_sound_in_step_and_the_same_every_time(self):
        server = Xvfb()
        self.addCleanup(server.stop)
        # Without a display the program starts its own X server.
        runs = [self.capture("clip.mp4"), self.capture("clip.mp4", server.name),
                self.capture("clip.webm", server.name)]
        decoded = []
        for (run, folder), codecs in zip(runs, [["h264", "aac"]] * 2 + [["vp9", "opus"]]):
            self.assertEqual(run.returncode, 0, run.stderr)
            files = sorted(os.listdir(folder))
            name = [f for f in files if f.startswith("clip.")]
            self.assertEqual(files, sorted(["Zarn_Icon.bmp", "log.txt"] + name), "no leftovers")
            streams, video, audio = self.check_file(os.path.join(folder, name[0]), codecs)
            if codecs[0] == "h264":
                self.assertEqual([s["profile"] for s in streams], ["High", "LC"])
            # The shell's start-up and shut-down, and the scene's own lines:
            # one burst a mark, at a time its clock reached after a frame.
            with open(os.path.join(folder, "log.txt")) as f:
                log = f.read()
            self.assertTrue(log.startswith(HEADER) and log.endswith(CLOSING), log)
            bursts = [int(ms) for ms in re.findall(r"^Burst at (\d+) ms$", log, re.M)]
            self.assertEqual(log.count("\n"), len(bursts) + 4, log)
            frames = [n for n in range(FPS * SECONDS) if (n + 1) * 1000 // FPS in bursts]
            self.assertEqual(len(frames), len(bursts), "the scene's time is the frames' time")
            self.assertGreaterEqual(len(frames), 3)
            self.assertEqual(flashes(video), frames, "the flashes where the clock says")
            # Heard and seen together: the burst's onset at the time the
            # decoded sound puts it, its flash at its frame's own time.
            shown, heard, count = presentation(os.path.join(folder, name[0]))
            self.assertEqual(len(shown), FPS * SECONDS)
            self.assertEqual(count, len(audio) // 2, "every decoded sample is placed")
            starts = onsets(array("h", audio))
            self.assertEqual(len(starts), len(frames), "one burst a flash")
            for frame, start in zip(frames, starts):
                self.assertLessEqual(abs(heard + start / RATE - shown[frame]), 0.001,
                                     "%s: burst heard at %.4f s, flash shown at %.4f s"
                                     % (name[0], heard + start / RATE, shown[frame]))
            decoded.append(hashlib.sha256(video + audio).hexdigest())
        self.assertEqual(decoded[0], decoded[1], "two captures decode to the same")

        # Refused as they are read, before the scene starts (no log).
        program = os.path.basename(CAPTURE)
        taken = os.path.join(self.folder(), "clip.mp4")
        os.mkdir(taken)
        for args, name, reason in [
                (("--fps", "0"), "clip.mp4", "needs a number above zero: --fps"),
                ((), "missing/clip.mp4", "no such folder for the file: missing/clip.mp4"),
                ((), taken, "OUTPUT is a folder: " + taken)]:
            run, folder = self.capture(name, args=args)
            self.assertEqual(run.returncode, 2, run.stderr)
            self.assertEqual(run.stderr.splitlines()[0], program + ": " + reason)
            self.assertIn("Usage:", run.stderr)
            self.assertEqual(os.listdir(folder), ["Zarn_Icon.bmp"], "nothing written")
        self.assertEqual(os.listdir(taken), [], "the folder left as it was")

        # Failures once the arguments are read: the reason on standard error
        # and in a fresh log, and no file left. Root writes in a folder
        # whatever its mode, but not in /proc.
        unwritable = "/proc"
        if os.geteuid() != 0:
            unwritable = self.folder()
            os.chmod(unwritable, 0o555)
        for name, more_env, reason in [
                (unwritable + "/clip.mp4", {}, "Capture failed: cannot write in %s: " % unwritable),
                # A video driver that SDL does not have, and no Xvfb started.
                ("clip.mp4", {"DISPLAY": ":0", "SDL_VIDEODRIVER": "none"}, "Unable to open SDL: "),
                ("clip.mp4", {"PATH": "/nonexistent"},
                 "Capture failed: no DISPLAY, and Xvfb did not start")]:
            run, folder = self.capture(name, more_env=more_env)
            self.assertEqual(run.returncode, 1, run.stderr)
            said = [line for line in run.stderr.splitlines() if line.startswith(reason)]
            self.assertEqual(len(said), 1, run.stderr)
            with open(os.path.join(folder, "log.txt")) as f:
                self.assertEqual(f.read(), HEADER + said[0] + "\n")
            self.assertEqual(sorted(os.listdir(folder)), ["Zarn_Icon.bmp", "log.txt"],
                             "no file left")


if __name__ == "__main__":
    unittest.main()
