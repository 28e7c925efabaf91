#!/usr/bin/env python3
"""End-to-end tests of nubo-cli sweep (JSON Lines and CSV over a list of ratios) and of the dataset sweep with GNU
parallel that docs/batch.md shows.

Usage: NUBO_CLI=path/to/nubo-cli NUBO_FIXTURES=tests/fixtures sweep_test.py [TestClass ...]
"""

import csv
import io
import json
import os
import shutil
import subprocess
import sys
import unittest

import numpy as np

from cli_end_to_end_test import ASTRONAUT, CLI, FIXTURES, SMALL, CliTestCase, run
from metrics_test import load, psnr, restricted_ssim, ssim

FACE = "160,60,300,190:wavelet=4"


class SweepCommand(CliTestCase):
    def sweep(self, *arguments):
        result = run("sweep", *arguments)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")  # no progress when standard error is not a terminal
        return [json.loads(line) for line in result.stdout.splitlines()]

    def encoded_size(self, *arguments):
        out = self.path("e.roi")
        self.assertEqual(run("encode", *arguments, "-o", out).returncode, 0)
        return os.path.getsize(out)

    # One JSON line per ratio, in order; the bytes at ratio R are those of encode at ratio R; bpp and the metrics
    # agree with numpy and scikit-image on the picture test decodes at that ratio.
    def test_background_sweep(self):
        lines = self.sweep(ASTRONAUT, "--ratios", "20,80", "--region", FACE)
        self.assertEqual([line["ratio"] for line in lines], [20, 80])
        a = load(ASTRONAUT)
        mask = np.zeros(a.shape[:2], dtype=bool)
        mask[60:191, 160:301] = True
        for line in lines:
            ratio = str(line["ratio"])
            self.assertEqual(line["input"], ASTRONAUT)
            self.assertEqual(line["vary"], "background")
            self.assertEqual(line["bytes"], self.encoded_size(ASTRONAUT, "--background-ratio", ratio, "--region", FACE))
            self.assertAlmostEqual(line["bpp"], line["bytes"] * 8 / (512 * 512))
            decoded = self.path("d%s.ppm" % ratio)
            self.assertEqual(run("test", ASTRONAUT, "--background-ratio", ratio, "--region", FACE, "-o", decoded)
                             .returncode, 0)
            b = load(decoded)
            self.assertAlmostEqual(line["psnr"], psnr(a, b), places=6)
            self.assertAlmostEqual(line["psnrGreen"], psnr(a[..., 1], b[..., 1]), places=6)
            self.assertLess(abs(line["ssim"] - ssim(a, b)), 0.001)
            self.assertAlmostEqual(line["regionPsnr"], psnr(a[mask], b[mask]), places=6)
            self.assertAlmostEqual(line["backgroundPsnr"], psnr(a[~mask], b[~mask]), places=6)
            self.assertLess(abs(line["regionSsim"] - restricted_ssim(a, b, mask)), 0.001)
            self.assertLess(abs(line["backgroundSsim"] - restricted_ssim(a, b, ~mask)), 0.001)
            self.assertGreater(line["encodeSeconds"], 0)
            self.assertGreater(line["decodeSeconds"], 0)
        self.assertGreater(lines[0]["bytes"], lines[1]["bytes"])
        self.assertGreater(lines[1]["regionPsnr"], lines[1]["backgroundPsnr"] + 5)  # the face keeps its ratio 4

    # --vary regions sets every wavelet region's ratio and keeps the background's; --vary all sets both.
    def test_vary_regions_and_all(self):
        regions = ["--region", "2,2,40,36:wavelet=1", "--region", "42,2,46,6:arithmetic"]
        varied = self.sweep(SMALL, "--ratios", "30", "--vary", "regions", "--background-ratio", "5", *regions)[0]
        self.assertEqual(varied["vary"], "regions")
        self.assertEqual(varied["bytes"], self.encoded_size(SMALL, "--background-ratio", "5", "--region",
                                                           "2,2,40,36:wavelet=30", regions[2], regions[3]))
        both = self.sweep(SMALL, "--ratios", "30", "--vary", "all", *regions)[0]
        self.assertEqual(both["bytes"], self.encoded_size(SMALL, "--background-ratio", "30", "--region",
                                                         "2,2,40,36:wavelet=30", regions[2], regions[3]))
        plain = self.sweep(SMALL, "--ratios", "30")[0]
        self.assertIsNone(plain["regionPsnr"])  # no regions: nothing to measure there

    # --csv prints a header and one row per ratio with the figures of the JSON lines; infinite PSNR is "inf".
    def test_csv(self):
        arguments = [SMALL, "--ratios", "1,40", "--region", "0,0,20,20:arithmetic"]
        result = run("sweep", *arguments, "--csv")
        self.assertEqual(result.returncode, 0, result.stderr)
        rows = list(csv.DictReader(io.StringIO(result.stdout)))
        lines = self.sweep(*arguments)
        self.assertEqual(len(rows), 2)
        self.assertEqual(list(rows[0].keys()), list(lines[0].keys()))
        for row, line in zip(rows, lines):
            self.assertEqual(int(row["bytes"]), line["bytes"])
            self.assertAlmostEqual(float(row["bpp"]), line["bpp"])
            self.assertEqual(row["regionPsnr"], "inf")  # lossless region
            self.assertIsNone(line["regionPsnr"])
        self.assertAlmostEqual(float(rows[1]["psnr"]), lines[1]["psnr"])

    # Bad usage exits with 2; a picture that cannot be read with 1; one line on standard error either way.
    def test_refusals(self):
        for arguments in ([SMALL], [SMALL, "--ratios", "0,10"], [SMALL, "--ratios", "10,x"],
                          [SMALL, "--ratios", "10", "--vary", "regions"], [SMALL, "--ratios", "10", "--vary", "most"],
                          [SMALL, "--ratios", "10", "--csv", "--json"]):
            result = run("sweep", *arguments)
            self.assertOneLineError(result, 2)
            self.assertEqual(result.stdout, "")
        self.assertOneLineError(run("sweep", os.path.join(FIXTURES, "truncated.jpg"), "--ratios", "10"), 1,
                                "truncated.jpg")
        self.assertEqual(run("sweep", "--help").returncode, 0)
        self.assertIn("nubo-cli sweep", run("--help").stdout)


class BatchSweep(CliTestCase):
    # The local form of docs/batch.md: GNU parallel sweeps three fixture pictures, two at a time, and the JSON lines
    # it collects hold every picture at every ratio, each equal to a sweep of that picture alone.
    def test_parallel_over_three_pictures(self):
        parallel = shutil.which("parallel")
        self.assertIsNotNone(parallel, "GNU parallel is installed by scripts/setup.sh")
        pictures = [os.path.join(FIXTURES, name) for name in ("small-48x40.bmp", "small-48x40-grey.png",
                                                               "coffee.jpg")]
        collected = self.path("sweep.jsonl")
        with open(collected, "w") as out:
            done = subprocess.run([parallel, "--will-cite", "-j", "2", CLI, "sweep", "{}", "--ratios", "10,40",
                                   ":::", *pictures], stdout=out, stderr=subprocess.PIPE, text=True, timeout=600,
                                  env={**os.environ, "HOME": self.folder})
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(collected) as f:
            lines = [json.loads(line) for line in f]
        self.assertEqual(sorted((line["input"], line["ratio"]) for line in lines),
                         sorted((p, r) for p in pictures for r in (10, 40)))
        alone = [json.loads(line) for line in run("sweep", pictures[2], "--ratios", "10,40").stdout.splitlines()]
        self.assertEqual([line["bytes"] for line in lines if line["input"] == pictures[2]],
                         [line["bytes"] for line in alone])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[1:]], verbosity=2)
