"""Writes the malformed-file corpus next to this script: damaged copies of
Pellacorn's own assets, each breaking one thing a loader relies on. The
files are committed; run this again only to change the corpus."""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")


def read(name):
    with open(os.path.join(ROOT, name), "rb") as f:
        return bytearray(f.read())


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(bytes(data))


def flip(data, start, count, step):
    out = bytearray(data)
    for i in range(start, min(len(out), start + count * step), step):
        out[i] ^= 0x5A
    return out


gif = read("data/logo.gif")
write("gif-truncated-header.gif", gif[:10])
write("gif-truncated-palette.gif", gif[:200])
write("gif-truncated-image.gif", gif[: len(gif) * 3 // 4])
write("gif-no-trailer.gif", gif[:-1])
big = bytearray(gif)
struct.pack_into("<HH", big, 6, 65535, 65535)  # logical screen
write("gif-huge-screen.gif", big)
# The image descriptor follows the 13-byte header and the 768-byte palette.
desc = 13 + 768
frame = bytearray(gif)
struct.pack_into("<HHHH", frame, desc + 1, 60000, 60000, 65535, 65535)
write("gif-frame-outside-screen.gif", frame)
code = bytearray(gif)
code[desc + 10] = 12  # LZW minimum code size beyond 11
write("gif-bad-code-size.gif", code)
write("gif-corrupt-lzw.gif", flip(gif, desc + 12, 200, 7))
write("gif-empty-image.gif", gif[: desc + 11] + b"\x00\x3b")

bmp = read("data/SDL_Title.bmp")
write("bmp-truncated-header.bmp", bmp[:30])
write("bmp-truncated-pixels.bmp", bmp[: len(bmp) // 3])
off = bytearray(bmp)
struct.pack_into("<I", off, 10, 0x7FFFFFF0)  # pixel data far past the end
write("bmp-offset-past-end.bmp", off)
wide = bytearray(bmp)
struct.pack_into("<ii", wide, 18, 0x7FFFFFF, 44)
write("bmp-huge-width.bmp", wide)
neg = bytearray(bmp)
struct.pack_into("<ii", neg, 18, -360, -44)
write("bmp-negative-size.bmp", neg)
depth = bytearray(bmp)
struct.pack_into("<H", depth, 28, 13)  # no such bit depth
write("bmp-bad-depth.bmp", depth)
comp = bytearray(bmp)
struct.pack_into("<I", comp, 30, 1)  # claims RLE8
write("bmp-claims-rle.bmp", comp)
icon = read("Zarn_Icon.bmp")
pal = bytearray(icon)
struct.pack_into("<I", pal, 46, 0xFFFFFF)  # more colours than a palette holds
write("bmp-palette-overflow.bmp", pal)
write("bmp-palette-truncated.bmp", icon[:400])

mod = read("data/lktheme.mod")
write("mod-header-only.mod", mod[:1084])
write("mod-truncated-patterns.mod", mod[:3000])
write("mod-truncated-samples.mod", mod[: len(mod) - 4000])
lengths = bytearray(mod)
for i in range(31):
    struct.pack_into(">H", lengths, 20 + i * 30 + 22, 0xFFFF)
write("mod-sample-lengths-too-long.mod", lengths)
loops = bytearray(mod)
for i in range(31):
    struct.pack_into(">HH", loops, 20 + i * 30 + 26, 0xFFF0, 0xFFF0)
write("mod-loops-past-end.mod", loops)
orders = bytearray(mod)
orders[950] = 128
for i in range(128):
    orders[952 + i] = 127  # a pattern that is not there
write("mod-orders-past-patterns.mod", orders)
sig = bytearray(mod)
sig[1080:1084] = b"ZZZZ"
write("mod-unknown-signature.mod", sig)
write("mod-corrupt-patterns.mod", flip(mod, 1084, 400, 5))
