#!/usr/bin/env python3
"""End-to-end tests of nubo-cli: runs the built binary on fixture pictures and streams and checks its outputs,
files and exit statuses.

Usage: NUBO_CLI=path/to/nubo-cli NUBO_FIXTURES=tests/fixtures cli_end_to_end_test.py [TestClass ...]
"""

import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

CLI = os.environ.get("NUBO_CLI", "nubo-cli")
FIXTURES = os.environ.get("NUBO_FIXTURES", os.path.join(os.path.dirname(__file__), "..", "fixtures"))

ASTRONAUT = os.path.join(FIXTURES, "astronaut.bmp")
SMALL = os.path.join(FIXTURES, "small-48x40.bmp")
SMALL_STREAM = os.path.join(FIXTURES, "regions-48x40.roi")
# The README's example regions on the sample picture: two wavelet regions and a lossless one.
SAMPLE_REGIONS = ["--region", "160,60,300,190:wavelet=4", "--region", "350,0,470,280:wavelet=20",
                  "--region", "130,345,215,425:arithmetic"]

ENCODE_TEXT = re.compile(r"^Encoding time: \d+\.\d{3} seconds\.\nResult bit rate: (\d+\.\d{3}) bpp\.\n$")
DECODE_TEXT = re.compile(r"Decoding time: \d+\.\d{3} seconds\.\nResult MSE: (-?[\d.]+|inf) \.\n"
                         r"Result SNR: (-?[\d.]+|-?inf) dB\.\n"
                         r"Result PSNR: ([\d.]+|inf) dB \(red ([\d.]+|inf), green ([\d.]+|inf), blue ([\d.]+|inf)\)\.\n"
                         r"Result SSIM: (\d\.\d{4}|not measured \(.*\))\.\n$")


def run(*arguments):
    return subprocess.run([CLI, *arguments], capture_output=True, text=True, timeout=300)


def read_bitmap(path):
    """Width, height and a function giving (b, g, r) of (x, y), y from the top, of a bottom-up 24-bit bitmap."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    row = (width * 3 + 3) & ~3

    def pixel(x, y):
        at = offset + (height - 1 - y) * row + x * 3
        return tuple(data[at:at + 3])
    return width, height, pixel


class CliTestCase(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="nubo-cli-test-")

    def tearDown(self):
        shutil.rmtree(self.folder)

    def path(self, name):
        return os.path.join(self.folder, name)

    def assertOneLineError(self, result, status, *mentions):
        self.assertEqual(result.returncode, status, result.stderr)
        lines = result.stderr.strip("\n").split("\n")
        self.assertEqual(len(lines), 1, result.stderr)
        self.assertTrue(lines[0].startswith("nubo-cli: "), lines[0])
        for mention in mentions:
            self.assertIn(mention, lines[0])

    def files(self):
        return sorted(os.listdir(self.folder))


class HelpAndVersion(CliTestCase):
    # --help lists every command; --version names the release.
    def test_help_and_version(self):
        result = run("--help")
        self.assertEqual(result.returncode, 0)
        for command in ("encode", "decode", "test", "compare", "info"):
            self.assertIn("nubo-cli " + command, result.stdout)
        self.assertEqual(run("--version").stdout, "nubo " + os.environ["NUBO_VERSION"] + "\n")
        self.assertEqual(run("decode", "--help").returncode, 0)

    # Bad usage exits with 2 and one line on standard error, nothing on standard output.
    def test_bad_usage(self):
        for arguments in ([], ["frobnicate"], ["encode", ASTRONAUT], ["encode", ASTRONAUT, "-o", "x.roi", "--stages", "7"],
                          ["decode", SMALL_STREAM, "-o", "x.bmp", "--regions", "0"], ["info"],
                          ["compare", ASTRONAUT, "--region", "1,2,3"]):
            result = run(*arguments)
            self.assertOneLineError(result, 2)
            self.assertEqual(result.stdout, "")


class EncodeCommand(CliTestCase):
    # The statistic of "Encode img to file" with a plain line break; the bit rate is the file's size in bits per pixel.
    def test_background_only(self):
        out = self.path("astronaut.roi")
        result = run("encode", ASTRONAUT, "-o", out, "--background-ratio", "40")
        self.assertEqual(result.returncode, 0, result.stderr)
        match = ENCODE_TEXT.match(result.stdout)
        self.assertIsNotNone(match, result.stdout)
        size = os.path.getsize(out)
        self.assertEqual(match.group(1), "%.3f" % (size * 8.0 / (512 * 512)))
        self.assertLess(size, 512 * 512 * 3 / 40 * 1.1)
        with open(out, "rb") as f:
            self.assertTrue(f.read().startswith(b"512;512;1;5;0;0;1;"))
        self.assertEqual(self.files(), ["astronaut.roi"])  # no temporary left behind

    # The report holds each wavelet plane's allocation: three planes for each wavelet record.
    def test_report_file_and_standard_output(self):
        report = self.path("report.txt")
        result = run("encode", ASTRONAUT, "-o", self.path("a.roi"), "--background-ratio", "40", "--report", report,
                     *SAMPLE_REGIONS)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(report) as f:
            text = f.read()
        self.assertEqual(text.count("Target rate = "), 9)
        to_stdout = run("encode", ASTRONAUT, "-o", self.path("b.roi"), "--background-ratio", "40", "--report", "-",
                        *SAMPLE_REGIONS)
        self.assertTrue(to_stdout.stdout.startswith(text), to_stdout.stdout[:200])
        self.assertIsNotNone(ENCODE_TEXT.match(to_stdout.stdout[len(text):]))
        with open(self.path("a.roi"), "rb") as a, open(self.path("b.roi"), "rb") as b:
            self.assertEqual(a.read(), b.read())

    # A failed run leaves an existing output file as it was and adds no other file.
    def test_failure_keeps_the_old_file(self):
        out = self.path("keep.roi")
        with open(out, "wb") as f:
            f.write(b"old content")
        refused = run("encode", SMALL, "-o", out, "--region", "40,0,60,10")
        self.assertOneLineError(refused, 2, "leaves the 48 x 40 picture")
        unreadable = run("encode", os.path.join(FIXTURES, "palette-8bit.bmp"), "-o", out)
        self.assertOneLineError(unreadable, 1, "palette-8bit.bmp")
        with open(out, "rb") as f:
            self.assertEqual(f.read(), b"old content")
        self.assertEqual(self.files(), ["keep.roi"])

    # An output in a folder that does not exist is a failure naming the file.
    def test_unwritable_output(self):
        out = self.path("missing/out.roi")
        self.assertOneLineError(run("encode", SMALL, "-o", out), 1, out)

    # Intersecting regions are refused; regions that only abut are accepted.
    def test_region_checks(self):
        self.assertOneLineError(run("encode", SMALL, "-o", self.path("x.roi"), "--region", "0,0,10,10",
                                    "--region", "10,0,20,10"), 2, "intersects region 1")
        self.assertEqual(run("encode", SMALL, "-o", self.path("x.roi"), "--region", "0,0,10,10",
                             "--region", "11,0,20,10").returncode, 0)


class DecodeCommand(CliTestCase):
    def encode_sample(self):
        stream = self.path("sample.roi")
        result = run("encode", ASTRONAUT, "-o", stream, "--background-ratio", "40", *SAMPLE_REGIONS)
        self.assertEqual(result.returncode, 0, result.stderr)
        return stream

    # Decoding everything gives the same picture as "test" decodes in memory.
    def test_decode_all_matches_test(self):
        stream = self.encode_sample()
        decoded = self.path("decoded.bmp")
        result = run("decode", stream, "-o", decoded)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("Decoded regions 1, 2, 3 and the background into a 512 x 512 picture.", result.stdout)
        tested = self.path("tested.bmp")
        self.assertEqual(run("test", ASTRONAUT, "--background-ratio", "40", *SAMPLE_REGIONS, "-o", tested).returncode, 0)
        with open(decoded, "rb") as a, open(tested, "rb") as b:
            self.assertEqual(a.read(), b.read())

    # A selection: region 3 (lossless) alone is exact inside and black outside.
    def test_decode_selection(self):
        stream = self.encode_sample()
        decoded = self.path("badge.bmp")
        result = run("decode", stream, "-o", decoded, "--regions", "3", "--no-background")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("Decoded region 3, no background", result.stdout)
        width, height, pixel = read_bitmap(decoded)
        _, _, source = read_bitmap(ASTRONAUT)
        self.assertEqual((width, height), (512, 512))
        for x, y in ((130, 345), (215, 425), (170, 400)):
            self.assertEqual(pixel(x, y), source(x, y))
        for x, y in ((129, 345), (216, 425), (10, 10), (400, 100)):
            self.assertEqual(pixel(x, y), (0, 0, 0))

    # A region number the stream does not have is bad usage; no picture is written.
    def test_region_number_beyond_the_stream(self):
        stream = self.encode_sample()
        self.assertOneLineError(run("decode", stream, "-o", self.path("x.bmp"), "--regions", "1,4"), 2, "3 regions")
        self.assertFalse(os.path.exists(self.path("x.bmp")))


    # The separators of the header are read but not checked: any character after a header number decodes alike.
    def test_header_separators_are_not_checked(self):
        with open(SMALL_STREAM, "rb") as f:
            sound = f.read()
        self.assertTrue(sound.startswith(b"48;40;3;3;"))
        odd = self.path("odd.roi")
        with open(odd, "wb") as f:
            f.write(b"48,40:3x3|" + sound[len(b"48;40;3;3;"):])
        for stream, out in ((SMALL_STREAM, "sound.bmp"), (odd, "odd.bmp")):
            result = run("decode", stream, "-o", self.path(out))
            self.assertEqual(result.returncode, 0, result.stderr)
        with open(self.path("sound.bmp"), "rb") as a, open(self.path("odd.bmp"), "rb") as b:
            self.assertEqual(a.read(), b.read())
        self.assertEqual(run("info", odd).returncode, 0)


class TestCommand(CliTestCase):
    # Encoding and decoding statistics; --save-stream keeps exactly what encode writes.
    def test_statistics_and_saved_stream(self):
        saved = self.path("saved.roi")
        result = run("test", ASTRONAUT, "--background-ratio", "40", *SAMPLE_REGIONS, "--save-stream", saved)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.split("\n")
        self.assertIsNotNone(ENCODE_TEXT.match("\n".join(lines[:2]) + "\n"), result.stdout)
        statistic = "\n".join(lines[2:]).split("\n\n")[0] + "\n"  # the record table follows a blank line
        match = DECODE_TEXT.match(statistic)
        self.assertIsNotNone(match, result.stdout)
        self.assertGreater(float(match.group(1)), 0.0)
        encoded = self.path("encoded.roi")
        run("encode", ASTRONAUT, "-o", encoded, "--background-ratio", "40", *SAMPLE_REGIONS)
        with open(saved, "rb") as a, open(encoded, "rb") as b:
            self.assertEqual(a.read(), b.read())

    # Nothing selected: nothing is measured, and the text says so instead of printing NaN.
    def test_nothing_selected(self):
        result = run("test", SMALL, "--regions", "none", "--no-background")
        self.assertEqual(result.returncode, 0, result.stderr)
        statistic = result.stdout.split("\n\n")[0]  # the record table follows a blank line
        self.assertTrue(statistic.endswith("Nothing was measured: no pixel was selected."), result.stdout)
        self.assertNotIn("nan", result.stdout)

    # With only a lossless region decoded, only its pixels are measured and they are exact.
    def test_lossless_region_only(self):
        result = run("test", SMALL, "--region", "2,2,20,20:arithmetic", "--regions", "1", "--no-background", "--json")
        self.assertEqual(result.returncode, 0, result.stderr)
        decode = json.loads(result.stdout)["decode"]
        self.assertEqual(decode["pixels"], 19 * 19)
        self.assertAlmostEqual(decode["mse"], 0.00001, places=9)


    # A predictive lossless region of the whole photo decodes exactly, takes fewer bytes than the arithmetic kind,
    # and info names its kind.
    def test_predictive_lossless_region(self):
        streams = {}
        for kind in ("lossless", "arithmetic"):
            stream = self.path(kind + ".roi")
            decoded = self.path(kind + ".bmp")
            result = run("encode", ASTRONAUT, "-o", stream, "--background-ratio", "100",
                         "--region", "0,0,511,511:" + kind)
            self.assertEqual(result.returncode, 0, result.stderr)
            result = run("decode", stream, "-o", decoded, "--no-background")
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(read_bitmap(decoded)[2](300, 200), read_bitmap(ASTRONAUT)[2](300, 200))
            compared = run("compare", ASTRONAUT, decoded, "--json")
            self.assertAlmostEqual(json.loads(compared.stdout)["mse"], 0.00001, places=9)
            streams[kind] = os.path.getsize(stream)
        self.assertLess(streams["lossless"], streams["arithmetic"] * 0.6)
        lines = run("info", self.path("lossless.roi")).stdout.strip("\n").split("\n")
        self.assertEqual(lines[2].split()[:7], ["1", "region", "lossless", "0", "0", "512", "512"])


    # Colour wavelet regions and background: info names the kind, the report prints the joint allocation, and
    # at equal bytes the colour coder's picture is closer to the source than the "Wavelet" one.
    def test_colour_wavelet_kind(self):
        results = {}
        for coder in ("wavelet", "colour"):
            stream = self.path(coder + ".roi")
            decoded = self.path(coder + ".bmp")
            report = self.path(coder + ".txt")
            result = run("encode", ASTRONAUT, "-o", stream, "--background-ratio", "40", "--background-coder", coder,
                         "--region", "160,60,300,190:" + ("colour" if coder == "colour" else "wavelet") + "=8",
                         "--report", report)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(run("decode", stream, "-o", decoded).returncode, 0)
            compared = json.loads(run("compare", ASTRONAUT, decoded, "--json").stdout)
            results[coder] = (os.path.getsize(stream), compared["mse"], open(report).read())
        size1, mse1, _ = results["wavelet"]
        size3, mse3, report3 = results["colour"]
        self.assertLess(abs(size3 - size1), size1 * 0.02)
        self.assertLess(mse3, mse1 * 0.7)
        self.assertIn("three planes allocated together", report3)
        self.assertIn("Cr", report3)
        lines = run("info", self.path("colour.roi")).stdout.strip("\n").split("\n")
        self.assertEqual(lines[2].split()[:7], ["1", "region", "colour", "160", "60", "141", "131"])
        self.assertEqual(lines[3].split()[:7], ["2", "background", "colour", "0", "0", "512", "512"])
        only = run("decode", self.path("colour.roi"), "-o", self.path("region.bmp"), "--no-background")
        self.assertEqual(only.returncode, 0, only.stderr)


class CompareCommand(CliTestCase):
    # Compare gives the same MSE as test's own measure of its decoded picture (whole picture, background decoded).
    def test_matches_test_measure(self):
        decoded = self.path("decoded.bmp")
        tested = run("test", ASTRONAUT, "--background-ratio", "40", "-o", decoded)
        self.assertEqual(tested.returncode, 0, tested.stderr)
        compared = run("compare", ASTRONAUT, decoded)
        self.assertEqual(compared.returncode, 0, compared.stderr)
        self.assertTrue(compared.stdout.startswith("Result MSE: "), compared.stdout)
        self.assertTrue((tested.stdout.split("\n\n")[0] + "\n").endswith(compared.stdout), tested.stdout)

    # The same picture twice has the floor MSE; regions restrict the measure to their pixels.
    def test_identical_and_regions(self):
        self.assertTrue(run("compare", SMALL, SMALL).stdout.startswith("Result MSE: 0.000 .\n"))
        whole = json.loads(run("compare", ASTRONAUT, SMALL_DECODED(self), "--json").stdout)
        part = json.loads(run("compare", ASTRONAUT, SMALL_DECODED(self), "--region", "0,0,99,99", "--json").stdout)
        self.assertEqual(whole["pixels"], 512 * 512)
        self.assertTrue(whole["whole"])
        self.assertEqual(part["pixels"], 100 * 100)
        self.assertFalse(part["whole"])

    # Pictures of different sizes are refused with the system's text.
    def test_different_dimensions(self):
        self.assertOneLineError(run("compare", ASTRONAUT, SMALL), 1, "Images have different dimensions!", SMALL)


def SMALL_DECODED(case):
    """A lossy copy of the sample picture, made once per test."""
    decoded = case.path("lossy.bmp")
    if not os.path.exists(decoded):
        case.assertEqual(run("test", ASTRONAUT, "--background-ratio", "100", "-o", decoded).returncode, 0)
    return decoded


class InfoCommand(CliTestCase):
    # The header line and one line per record with kind, corner, size and payload bytes.
    def test_describes_records(self):
        result = run("info", SMALL_STREAM)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.strip("\n").split("\n")
        self.assertIn("48 x 40 pixels, 3 wavelet stages, 3 records (2 regions and the background)", lines[0])
        self.assertEqual(lines[2].split()[:7], ["1", "region", "arithmetic", "2", "2", "12", "12"])
        self.assertEqual(lines[3].split()[:7], ["2", "region", "wavelet", "14", "2", "34", "36"])
        self.assertEqual(lines[4].split()[:7], ["3", "background", "wavelet", "0", "0", "48", "40"])
        described = json.loads(run("info", SMALL_STREAM, "--json").stdout)
        header_and_fields = len(b"48;40;3;3;") + len(b"2;2;2;") + len(b"14;2;1;") + len(b"0;0;1;")
        self.assertEqual(sum(r["payloadBytes"] for r in described["recordList"]) + header_and_fields,
                         os.path.getsize(SMALL_STREAM))


class RefusedInputs(CliTestCase):
    # Pictures that are not uncompressed 24-bit bitmaps, cut short, or missing: exit 1, one line naming the file.
    def test_refused_pictures(self):
        for name in ("palette-8bit.bmp", "run-length.bmp", "truncated-pixel-rows.bmp", "garbage.bmp", "empty.bmp",
                     "no-such-file.bmp"):
            picture = os.path.join(FIXTURES, name)
            for arguments in (["encode", picture, "-o", self.path("x.roi")], ["test", picture],
                              ["compare", picture, SMALL]):
                result = run(*arguments)
                self.assertOneLineError(result, 1, name)
        self.assertEqual(self.files(), [])

    # Streams with a bad header, or not streams at all, are refused before anything is written.
    def test_refused_streams(self):
        for name, mention in (("bad-header-zero-width.roi", "not positive"), ("bad-header-stages-40.roi", "stages"),
                              ("bad-header-too-many-records.roi", "regions cannot be coded"),
                              ("not-a-roi-stream.roi", "header"), ("no-such-file.roi", "no-such-file.roi")):
            stream = os.path.join(FIXTURES, name)
            self.assertOneLineError(run("decode", stream, "-o", self.path("x.bmp")), 1, name, mention)
            self.assertOneLineError(run("info", stream), 1, name)
        self.assertEqual(self.files(), [])


class DamagedStreams(CliTestCase):
    # Damage after the header: what was decoded is written, the damage is reported, the exit status is 1.
    def test_damage_is_reported_after_writing(self):
        for name, stopped in (("truncated-background.roi", "record 3 of 3"),
                              ("record-outside-picture.roi", "record 1 of 3"),
                              ("second-record-missing-separator.roi", "record 2 of 3"),
                              ("unknown-coder-kind.roi", "record 1 of 3")):
            stream = os.path.join(FIXTURES, name)
            out = self.path(name + ".bmp")
            result = run("decode", stream, "-o", out)
            self.assertOneLineError(result, 1, name, "damaged stream", stopped)
            width, height, _ = read_bitmap(out)
            self.assertEqual((width, height), (48, 40))
            described = run("info", stream, "--json")
            self.assertEqual(described.returncode, 1)
            self.assertFalse(json.loads(described.stdout)["complete"])

    # After a damaged second record, the first region is still there, and only it is reported as decoded.
    def test_first_record_survives(self):
        out = self.path("first.bmp")
        result = run("decode", os.path.join(FIXTURES, "second-record-missing-separator.roi"), "-o", out)
        self.assertIn("Decoded region 1, no background into a 48 x 40 picture.", result.stdout)
        _, _, pixel = read_bitmap(out)
        _, _, source = read_bitmap(SMALL)
        self.assertEqual(pixel(5, 5), source(5, 5))
        self.assertEqual(pixel(30, 20), (0, 0, 0))

    # The intact fixture decodes completely.
    def test_intact_stream(self):
        result = run("decode", SMALL_STREAM, "-o", self.path("ok.bmp"), "--json")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(json.loads(result.stdout)["complete"])


def write_bitmap(path, width, height, pixel):
    """Writes a bottom-up 24-bit bitmap whose (x, y), y from the top, is pixel(x, y) as (b, g, r)."""
    row = (width * 3 + 3) & ~3
    body = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            line += bytes(pixel(x, y))
        body += line + bytes(row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + body)


class StarvedRecords(CliTestCase):
    STARVED = ["--background-ratio", "500", "--region", "10,10,50,50:wavelet=500"]

    # A region whose budget is under the header reserve is named in a warning after the statistics; the exit
    # status stays 0 and the stream is the same as without the warning.
    def test_starved_region_is_named_after_the_statistic(self):
        result = run("test", ASTRONAUT, *self.STARVED)
        self.assertEqual(result.returncode, 0, result.stderr)
        statistics = result.stdout.split("\n\n")[0]  # the per-record table follows a blank line
        lines = statistics.rstrip("\n").split("\n")
        self.assertTrue(lines[1].startswith("Result bit rate: "), result.stdout)
        self.assertTrue(lines[-1].startswith("Warning: region 1 "), result.stdout)
        self.assertIn("3 bytes", lines[-1])
        self.assertEqual(result.stdout.count("Warning:"), 1, result.stdout)
        self.assertIsNotNone(DECODE_TEXT.match("\n".join(lines[2:-1]) + "\n"), result.stdout)

    # encode warns of a starved background the same way, after its statistic.
    def test_starved_background_on_encode(self):
        out = self.path("small.roi")
        result = run("encode", SMALL, "-o", out, "--background-ratio", "500")
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.rstrip("\n").split("\n")
        self.assertEqual(len(lines), 3, result.stdout)
        self.assertIsNotNone(ENCODE_TEXT.match("\n".join(lines[:2]) + "\n"), result.stdout)
        self.assertTrue(lines[2].startswith("Warning: the background "), lines[2])
        self.assertTrue(os.path.exists(out))

    # --json lists the same warning texts, and an empty array when every record was coded.
    def test_json_warnings(self):
        text = run("test", ASTRONAUT, *self.STARVED).stdout.split("\n\n")[0].rstrip("\n").split("\n")[-1]
        starved = json.loads(run("test", ASTRONAUT, *self.STARVED, "--json").stdout)
        self.assertEqual(starved["warnings"], [text])
        encoded = json.loads(run("encode", SMALL, "-o", self.path("s.roi"), "--background-ratio", "500",
                                 "--json").stdout)
        self.assertEqual(len(encoded["warnings"]), 1)
        self.assertTrue(encoded["warnings"][0].startswith("Warning: the background "))
        healthy = json.loads(run("test", SMALL, "--background-ratio", "10", "--json").stdout)
        self.assertEqual(healthy["warnings"], [])
        healthy = json.loads(run("encode", SMALL, "-o", self.path("h.roi"), "--json").stdout)
        self.assertEqual(healthy["warnings"], [])
        self.assertNotIn("Warning", run("test", SMALL, "--background-ratio", "10").stdout)


class LosslessRegions(CliTestCase):
    # A whole-picture lossless region over a picture full of pure-black pixels decodes exactly, the background
    # decoded too: the measure finds no error and the decoded file equals the source.
    def test_black_pixels_stay_exact_with_the_background(self):
        source = self.path("dark.bmp")
        write_bitmap(source, 40, 30, lambda x, y: (0, 0, 0) if (x + y) % 3 else (x % 7, y % 5, 3))
        decoded = self.path("decoded.bmp")
        result = run("test", source, "--region", "0,0,39,29:arithmetic", "--background-ratio", "10", "--json",
                     "-o", decoded)
        self.assertEqual(result.returncode, 0, result.stderr)
        decode = json.loads(result.stdout)["decode"]
        self.assertEqual(decode["pixels"], 40 * 30)
        self.assertAlmostEqual(decode["mse"], 0.00001, places=9)
        _, _, want = read_bitmap(source)
        _, _, got = read_bitmap(decoded)
        for y in range(30):
            for x in range(40):
                self.assertEqual(got(x, y), want(x, y), (x, y))


class JsonOutput(CliTestCase):
    # Every command's --json output is one JSON object with the figures of its text form.
    def test_every_command(self):
        stream = self.path("s.roi")
        encoded = json.loads(run("encode", SMALL, "-o", stream, "--region", "1,1,20,20:arithmetic", "--json").stdout)
        self.assertEqual(encoded["command"], "encode")
        self.assertEqual(encoded["bytes"], os.path.getsize(stream))
        self.assertAlmostEqual(encoded["bitRate"], os.path.getsize(stream) * 8.0 / (48 * 40))
        decoded = json.loads(run("decode", stream, "-o", self.path("d.bmp"), "--json", "--regions", "1").stdout)
        self.assertEqual(decoded["decodedRegions"], [{"number": 1, "left": 1, "top": 1, "right": 20, "bottom": 20}])
        self.assertTrue(decoded["background"])
        tested = json.loads(run("test", SMALL, "--json").stdout)
        self.assertTrue(tested["decode"]["measured"])
        nothing = json.loads(run("test", SMALL, "--json", "--regions", "none", "--no-background").stdout)
        self.assertFalse(nothing["decode"]["measured"])
        self.assertIsNone(nothing["decode"]["mse"])
        compared = json.loads(run("compare", SMALL, SMALL, "--json").stdout)
        self.assertEqual(compared["pixels"], 48 * 40)
        info = json.loads(run("info", stream, "--json").stdout)
        self.assertEqual(len(info["recordList"]), 2)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[1:]], verbosity=2)
