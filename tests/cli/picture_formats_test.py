#!/usr/bin/env python3
"""End-to-end tests of nubo-cli's picture formats: PNG, JPEG and netpbm inputs, outputs chosen by extension, and the
refusal of pictures it cannot take.

Usage: NUBO_CLI=path/to/nubo-cli NUBO_FIXTURES=tests/fixtures picture_formats_test.py [TestClass ...]
"""

import json
import os
import struct
import sys
import unittest
import zlib

from cli_end_to_end_test import FIXTURES, SMALL, CliTestCase, read_bitmap, run


def fixture(name):
    return os.path.join(FIXTURES, name)


def read_ppm(path):
    """Width, height and the RGB bytes, top row first, of a binary PPM with maxval 255 and no comments."""
    with open(path, "rb") as f:
        data = f.read()
    magic, width, height, maxval, rest = data.split(maxsplit=4)
    assert magic == b"P6" and maxval == b"255"
    return int(width), int(height), rest


def read_png_rgb(path):
    """Width, height and the RGB bytes, top row first, of a non-interlaced 8-bit RGB PNG, unfiltered here."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    at, idat, header = 8, b"", None
    while at < len(data):
        length, = struct.unpack_from(">I", data, at)
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert (depth, colour, interlace) == (8, 2, 0)
    raw, stride, out, previous = zlib.decompress(idat), width * 3, bytearray(), bytearray(width * 3)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - 3] if i >= 3 else 0
            up, up_left = previous[i], previous[i - 3] if i >= 3 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - up_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - up_left)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else up_left)) & 0xFF
        out += line
        previous = line
    return width, height, bytes(out)


def bitmap_rgb(path):
    width, height, pixel = read_bitmap(path)
    return width, height, bytes(v for y in range(height) for x in range(width) for v in reversed(pixel(x, y)))


class PictureInputs(CliTestCase):
    def encoded(self, picture, *arguments):
        out = self.path(os.path.basename(picture) + ".roi")
        result = run("encode", picture, "-o", out, "--background-ratio", "8", "--region", "4,4,40,36:wavelet=2",
                     *arguments)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(out, "rb") as f:
            return f.read(), result

    # The same pixels give the same .roi bytes whether they come from BMP, PNG or PPM.
    def test_same_stream_from_every_format(self):
        reference, _ = self.encoded(SMALL)
        for name in ("small-48x40.png", "small-48x40.ppm"):
            stream, result = self.encoded(fixture(name))
            self.assertEqual(stream, reference, name)
            self.assertEqual(result.stderr, "")
        grey_png, _ = self.encoded(fixture("small-48x40-grey.png"))
        grey_pgm, _ = self.encoded(fixture("small-48x40-grey.pgm"))
        self.assertEqual(grey_png, grey_pgm)
        self.assertNotEqual(grey_png, reference)

    # Grey is expanded to RGB: a lossless round trip of the PGM gives R = G = B = the grey sample.
    def test_grey_is_expanded(self):
        out = self.path("grey.ppm")
        result = run("test", fixture("small-48x40-grey.pgm"), "--region", "0,0,47,39:arithmetic", "-o", out)
        self.assertEqual(result.returncode, 0, result.stderr)
        width, height, rgb = read_ppm(out)
        with open(fixture("small-48x40-grey.pgm"), "rb") as f:
            grey = f.read().split(maxsplit=4)[4]
        self.assertEqual((width, height), (48, 40))
        self.assertEqual(rgb, bytes(v for g in grey for v in (g, g, g)))

    # An alpha channel is dropped with one warning line naming the file; the colours are those of the RGB twin.
    def test_alpha_is_dropped_with_a_warning(self):
        reference, _ = self.encoded(fixture("small-48x40.png"))
        stream, result = self.encoded(fixture("small-48x40-rgba.png"))
        self.assertEqual(stream, reference)
        self.assertRegex(result.stderr, r"^nubo-cli: warning: .*small-48x40-rgba\.png: the alpha channel was dropped\n$")
        picture = fixture("small-48x40-rgba.png")
        for command in (["encode", picture, "-o", self.path("j.roi")], ["test", picture]):
            described = json.loads(run(*command, "--json").stdout)
            self.assertEqual(described["warnings"], [picture + ": the alpha channel was dropped"])

    # A JPEG reads as the pixels ImageMagick decodes from it (the same libjpeg-turbo, within one level).
    def test_jpeg_reads_like_imagemagick(self):
        out = self.path("coffee.ppm")
        self.assertEqual(run("test", fixture("coffee.jpg"), "--region", "0,0,599,399:arithmetic", "-o", out)
                         .returncode, 0)
        magick = self.path("magick.ppm")
        import subprocess
        subprocess.run(["convert", fixture("coffee.jpg"), magick], check=True)
        _, _, ours = read_ppm(out)
        _, _, theirs = read_ppm(magick)
        self.assertEqual(len(ours), 600 * 400 * 3)
        self.assertLessEqual(max(abs(a - b) for a, b in zip(ours, theirs)), 1)

    # 16-bit samples are refused with a clear reason; damaged, oversized and foreign files likewise. Exit 1, one
    # line naming the file, and no output file.
    def test_refused_pictures(self):
        for name, reason in (("small-48x40-16bit.png", "16-bit"), ("small-48x40-16bit.ppm", "16-bit"),
                             ("truncated-idat.png", "truncated"), ("bad-crc.png", "corrupt PNG"),
                             ("huge-dimensions.png", "exceeds the picture limits"), ("truncated.ppm", "truncated PPM"),
                             ("ascii-p3.ppm", "P3 is not supported"), ("truncated.jpg", "corrupt JPEG")):
            picture = fixture(name)
            for arguments in (["encode", picture, "-o", self.path("x.roi")], ["test", picture, "-o", self.path("x.png")],
                              ["compare", picture, SMALL], ["compare", SMALL, picture]):
                result = run(*arguments)
                self.assertOneLineError(result, 1, name, reason)
                self.assertEqual(result.stdout, "")
        self.assertEqual(self.files(), [])


class PictureOutputs(CliTestCase):
    # decode and test -o write PNG for .png, PPM for .ppm and BMP otherwise, all holding the same pixels.
    def test_outputs_by_extension(self):
        stream = os.path.join(FIXTURES, "regions-48x40.roi")
        pictures = {}
        for name in ("d.png", "d.PPM", "d.bmp", "d.out"):
            result = run("decode", stream, "-o", self.path(name))
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(self.path(name), "rb") as f:
                pictures[name] = f.read()
        self.assertTrue(pictures["d.png"].startswith(b"\x89PNG"))
        self.assertTrue(pictures["d.PPM"].startswith(b"P6\n48 40\n255\n"))
        self.assertTrue(pictures["d.bmp"].startswith(b"BM"))
        self.assertEqual(pictures["d.out"], pictures["d.bmp"])
        reference = bitmap_rgb(self.path("d.bmp"))
        self.assertEqual(read_png_rgb(self.path("d.png")), reference)
        self.assertEqual(read_ppm(self.path("d.PPM")), reference)
        tested = self.path("t.png")
        self.assertEqual(run("test", SMALL, "-o", tested).returncode, 0)
        self.assertEqual(read_png_rgb(tested)[:2], (48, 40))

    # A PNG written by nubo reads back into the same stream as the bitmap it came from.
    def test_png_round_trip(self):
        png = self.path("small.png")
        self.assertEqual(run("test", SMALL, "--region", "0,0,47,39:arithmetic", "-o", png).returncode, 0)
        self.assertEqual(read_png_rgb(png), bitmap_rgb(SMALL))
        a, b = self.path("a.roi"), self.path("b.roi")
        self.assertEqual(run("encode", png, "-o", a).returncode, 0)
        self.assertEqual(run("encode", SMALL, "-o", b).returncode, 0)
        with open(a, "rb") as fa, open(b, "rb") as fb:
            self.assertEqual(fa.read(), fb.read())

    # An output that cannot be written fails naming it, and leaves an existing file as it was.
    def test_failed_output_keeps_the_old_file(self):
        out = self.path("keep.png")
        with open(out, "wb") as f:
            f.write(b"old")
        self.assertOneLineError(run("decode", os.path.join(FIXTURES, "regions-48x40.roi"), "-o",
                                    self.path("no/such/dir.png")), 1, "dir.png")
        self.assertOneLineError(run("test", fixture("truncated.jpg"), "-o", out), 1, "truncated.jpg")
        with open(out, "rb") as f:
            self.assertEqual(f.read(), b"old")
        self.assertEqual(self.files(), ["keep.png"])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[1:]], verbosity=2)
