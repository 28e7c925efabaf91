#!/usr/bin/env python3
"""End-to-end tests of nubo-cli's standard metrics (PSNR overall and per channel, SSIM), checked against values
computed here with numpy and scikit-image and against ImageMagick's compare, never against nubo's own output.

Usage: NUBO_CLI=path/to/nubo-cli NUBO_FIXTURES=tests/fixtures metrics_test.py [TestClass ...]
"""

import json
import math
import os
import subprocess
import sys
import tempfile
import unittest

import numpy as np
from scipy import ndimage
from skimage.metrics import structural_similarity

from cli_end_to_end_test import ASTRONAUT, FIXTURES, SMALL, CliTestCase, run
from picture_formats_test import bitmap_rgb, read_png_rgb, read_ppm

COFFEE = os.path.join(FIXTURES, "coffee.jpg")


def as_array(width, height, rgb):
    return np.frombuffer(rgb, dtype=np.uint8).reshape(height, width, 3)


def load(path):
    """A picture as a height x width x 3 array of R, G, B: BMP, PNG or PPM as nubo writes them, JPEG through PPM."""
    if path.endswith(".png"):
        return as_array(*read_png_rgb(path))
    if path.endswith(".ppm"):
        return as_array(*read_ppm(path))
    if path.endswith(".jpg"):
        with tempfile.TemporaryDirectory() as folder:
            ppm = os.path.join(folder, "decoded.ppm")
            subprocess.run(["convert", path, ppm], check=True)
            return as_array(*read_ppm(ppm))
    return as_array(*bitmap_rgb(path))


def psnr(a, b):
    mse = np.mean((a.astype(np.float64) - b.astype(np.float64)) ** 2)
    return math.inf if mse == 0 else 10 * math.log10(255.0 ** 2 / mse)


def ssim_map(a, b):
    """scikit-image's SSIM map (mean over R, G, B) and its mean over the windows inside the picture."""
    maps = []
    for c in range(3):
        _, full = structural_similarity(a[..., c], b[..., c], gaussian_weights=True, sigma=1.5,
                                        use_sample_covariance=False, data_range=255, full=True)
        maps.append(full)
    return np.mean(maps, axis=0)


def ssim(a, b):
    return structural_similarity(a, b, gaussian_weights=True, sigma=1.5, use_sample_covariance=False,
                                 data_range=255, channel_axis=2)


def restricted_ssim(a, b, mask):
    """Mean of the SSIM map over the pixels whose whole 11 x 11 window lies inside the mask."""
    inside = ndimage.minimum_filter(mask.astype(np.uint8), size=11, mode="constant", cval=0).astype(bool)
    return float(ssim_map(a, b)[inside].mean())


def imagemagick_psnr(a_path, b_path):
    done = subprocess.run(["compare", "-metric", "PSNR", a_path, b_path, "null:"], capture_output=True, text=True)
    return float(done.stderr.split()[0])


class StandardMetrics(CliTestCase):
    def decoded(self, picture, ratio, name):
        out = self.path(name)
        result = run("test", picture, "--background-ratio", str(ratio), "-o", out)
        self.assertEqual(result.returncode, 0, result.stderr)
        return out

    # On real pictures PSNR agrees with numpy and with ImageMagick's compare to 0.01 dB, and SSIM with
    # scikit-image to 0.001, in compare and in test alike.
    def test_whole_pictures(self):
        for picture, ratio, name in ((ASTRONAUT, 40, "astronaut40.png"), (COFFEE, 25, "coffee25.ppm"),
                                     (ASTRONAUT, 200, "astronaut200.bmp")):
            decoded = self.decoded(picture, ratio, name)
            compared = json.loads(run("compare", picture, decoded, "--json").stdout)
            a, b = load(picture), load(decoded)
            self.assertAlmostEqual(compared["psnr"], psnr(a, b), places=6)
            for channel, key in enumerate(("psnrRed", "psnrGreen", "psnrBlue")):
                self.assertAlmostEqual(compared[key], psnr(a[..., channel], b[..., channel]), places=6)
            self.assertLess(abs(compared["psnr"] - imagemagick_psnr(picture, decoded)), 0.01)
            self.assertLess(abs(compared["ssim"] - ssim(a, b)), 0.001)
            tested = json.loads(run("test", picture, "--background-ratio", str(ratio), "--json").stdout)["decode"]
            self.assertEqual((tested["psnr"], tested["ssim"]), (compared["psnr"], compared["ssim"]))

    # With --region, PSNR covers the union of the regions' pixels and SSIM the windows wholly inside it.
    def test_region_restriction(self):
        decoded = self.decoded(ASTRONAUT, 60, "a.ppm")
        a, b = load(ASTRONAUT), load(decoded)
        regions = ((160, 60, 300, 190), (350, 0, 470, 280), (130, 345, 215, 425))
        arguments = [a for r in regions for a in ("--region", "%d,%d,%d,%d" % r)]
        compared = json.loads(run("compare", ASTRONAUT, decoded, *arguments, "--json").stdout)
        mask = np.zeros(a.shape[:2], dtype=bool)
        for left, top, right, bottom in regions:
            mask[top:bottom + 1, left:right + 1] = True
        self.assertAlmostEqual(compared["psnr"], psnr(a[mask], b[mask]), places=6)
        self.assertLess(abs(compared["ssim"] - restricted_ssim(a, b, mask)), 0.001)
        # One rectangle: the SSIM of the two pictures cropped to it.
        one = json.loads(run("compare", ASTRONAUT, decoded, "--region", "160,60,300,190", "--json").stdout)
        self.assertLess(abs(one["ssim"] - ssim(a[60:191, 160:301], b[60:191, 160:301])), 0.001)

    # The new lines follow the workbench's MSE and SNR lines; identical pictures give "inf" (JSON null) and SSIM 1.
    def test_text_and_identical_pictures(self):
        text = run("compare", SMALL, SMALL).stdout.split("\n")
        self.assertEqual(text[0], "Result MSE: 0.000 .")
        self.assertTrue(text[1].startswith("Result SNR: "))
        self.assertEqual(text[2], "Result PSNR: inf dB (red inf, green inf, blue inf).")
        self.assertEqual(text[3], "Result SSIM: 1.0000.")
        same = json.loads(run("compare", SMALL, SMALL, "--json").stdout)
        self.assertIsNone(same["psnr"])
        self.assertIsNone(same["psnrBlue"])
        self.assertAlmostEqual(same["ssim"], 1.0, places=9)
        # A selection too small for one window: PSNR measured, SSIM null with the reason in the text.
        small = run("compare", SMALL, self.decoded(SMALL, 30, "s.bmp"), "--region", "0,0,5,5")
        self.assertIn("Result SSIM: not measured (no 11 x 11 window lies inside the measured pixels).", small.stdout)
        self.assertIsNone(json.loads(run("compare", SMALL, self.path("s.bmp"), "--region", "0,0,5,5",
                                         "--json").stdout)["ssim"])


class RecordResults(CliTestCase):
    # test --json lists every record in stream order with its place, payload and metrics over its own pixels,
    # computed here independently: a region over its rectangle, the background outside every region.
    def test_records_against_numpy(self):
        regions = ((160, 60, 300, 190, "wavelet=4"), (350, 0, 470, 280, "wavelet=20"), (130, 345, 215, 425, "arithmetic"))
        arguments = [a for r in regions for a in ("--region", "%d,%d,%d,%d:%s" % r)]
        decoded, stream = self.path("d.ppm"), self.path("s.roi")
        result = run("test", ASTRONAUT, "--background-ratio", "40", *arguments, "-o", decoded, "--save-stream", stream,
                     "--json")
        self.assertEqual(result.returncode, 0, result.stderr)
        records = json.loads(result.stdout)["records"]
        a, b = load(ASTRONAUT), load(decoded)
        self.assertEqual([r["record"] for r in records], [1, 2, 3, 4])
        self.assertEqual([r["role"] for r in records], ["region"] * 3 + ["background"])
        self.assertEqual([r["kind"] for r in records], ["wavelet", "wavelet", "arithmetic", "wavelet"])
        outside = np.ones(a.shape[:2], dtype=bool)
        for record, (left, top, right, bottom, _) in zip(records, regions):
            self.assertEqual((record["left"], record["top"], record["width"], record["height"]),
                             (left, top, right - left + 1, bottom - top + 1))
            crop = (slice(top, bottom + 1), slice(left, right + 1))
            outside[crop] = False
            if record["kind"] == "arithmetic":
                self.assertIsNone(record["psnr"])
            else:
                self.assertAlmostEqual(record["psnr"], psnr(a[crop], b[crop]), places=6)
            self.assertLess(abs(record["ssim"] - ssim(a[crop], b[crop])), 0.001)
        background = records[3]
        self.assertAlmostEqual(background["psnr"], psnr(a[outside], b[outside]), places=6)
        self.assertLess(abs(background["ssim"] - restricted_ssim(a, b, outside)), 0.001)
        # The payloads and the record fields make up the whole stream.
        with open(stream, "rb") as f:
            data = f.read()
        fields = data[:len(data) - sum(r["bytes"] for r in records)]
        self.assertLess(len(fields), 80)
        self.assertTrue(data.startswith(b"512;512;4;5;160;60;1;"))

    # The text form prints the same figures as a table after the statistic; skipped records show "-".
    def test_text_table(self):
        arguments = ["test", SMALL, "--region", "0,0,3,3:arithmetic", "--region", "5,3,40,38:wavelet=60",
                     "--background-ratio", "10", "--regions", "2"]
        text = run(*arguments).stdout.split("\n\n")[1].strip("\n").split("\n")
        records = json.loads(run(*arguments, "--json").stdout)["records"]
        self.assertTrue(text[0].startswith("record  role"))
        self.assertEqual(len(text), 4)
        self.assertEqual(text[1].split(), ["1", "region", "arithmetic", "0", "0", "4", "4", str(records[0]["bytes"]),
                                           "-", "-"])
        self.assertFalse(records[0]["decoded"])
        self.assertEqual(records[1]["kind"], "wavelet")
        for line, record in zip(text[2:], records[1:]):
            cells = line.split()
            self.assertEqual(cells[7], str(record["bytes"]))
            self.assertEqual(cells[8], "%.3f" % record["psnr"])
            self.assertEqual(cells[9], "-" if record["ssim"] is None else "%.4f" % record["ssim"])
        self.assertIsNone(records[2]["ssim"])  # no 11 x 11 window fits beside the 36 x 36 region


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[1:]], verbosity=2)
