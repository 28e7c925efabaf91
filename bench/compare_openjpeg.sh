#!/usr/bin/env bash
# Times nubo-cli against OpenJPEG on one picture, in one run: nubo with the background only at ratio 40, nubo with
# three regions of both kinds, and OpenJPEG's opj_compress -r 40 / opj_decompress. Prints a table of the median
# wall-clock and CPU times of encode and decode (whole processes, reading and writing files included; the cases
# take turns in every run), stream sizes, bit rates and the RGB PSNR of each decoded picture against the source.
# Results are reported, never asserted.
#
# Usage: bench/compare_openjpeg.sh [PICTURE.bmp]
#   NUBO_CLI        the nubo-cli to time (default: build/src/cli/nubo-cli)
#   NUBO_BENCH_RUNS runs per measurement, the median is shown (default 7)
# Installs Debian's libopenjp2-tools with apt-get when opj_compress is missing.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${NUBO_CLI:-$root/build/src/cli/nubo-cli}"
picture="${1:-$root/tests/fixtures/astronaut.bmp}"
runs="${NUBO_BENCH_RUNS:-7}"

if [ ! -x "$cli" ]; then
  echo "compare_openjpeg.sh: $cli not found; build first (scripts/setup.sh) or set NUBO_CLI" >&2
  exit 1
fi
if ! command -v opj_compress > /dev/null || ! command -v opj_decompress > /dev/null; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends libopenjp2-tools > /dev/null 2>&1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The regions of the README's example on the sample picture: face and shuttle (wavelet), mission badge (lossless).
regions=(--region 160,60,300,190:wavelet=4 --region 350,0,470,280:wavelet=20 --region 130,345,215,425:arithmetic)

python3 - "$cli" "$picture" "$runs" "$work" "${regions[@]}" <<'PYTHON'
import os
import resource
import statistics
import struct
import subprocess
import sys
import time

cli, picture, runs, work = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
regions = sys.argv[5:]


def timed(command):
    """Wall-clock and CPU (user + system, all threads) seconds of one run of the command."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def rgb_samples(path):
    """Width, height and the pixel bytes (rows without padding, top-down or bottom-up as stored) of a 24-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    bits, = struct.unpack_from("<H", data, 28)
    if bits != 24:
        raise SystemExit("%s: %d bits per pixel, expected 24" % (path, bits))
    row = (width * 3 + 3) & ~3
    rows = [data[offset + r * row: offset + r * row + width * 3] for r in range(abs(height))]
    if height < 0:
        rows.reverse()
    return width, abs(height), b"".join(rows)


def psnr(source, decoded):
    w1, h1, a = rgb_samples(source)
    w2, h2, b = rgb_samples(decoded)
    if (w1, h1) != (w2, h2):
        raise SystemExit("%s and %s differ in size" % (source, decoded))
    squared = sum((x - y) * (x - y) for x, y in zip(a, b))
    if squared == 0:
        return float("inf")
    mse = squared / len(a)
    import math
    return 10 * math.log10(255 * 255 / mse)


width, height, _ = rgb_samples(picture)
pixels = width * height

nubo_bg = os.path.join(work, "background.roi")
nubo_rg = os.path.join(work, "regions.roi")
opj = os.path.join(work, "picture.j2k")
cases = [
    ("nubo, background only, ratio 40",
     [cli, "encode", picture, "-o", nubo_bg, "--background-ratio", "40"],
     [cli, "decode", nubo_bg, "-o", os.path.join(work, "background.bmp")], nubo_bg,
     os.path.join(work, "background.bmp")),
    ("nubo, 3 regions + background 40",
     [cli, "encode", picture, "-o", nubo_rg, "--background-ratio", "40", *regions],
     [cli, "decode", nubo_rg, "-o", os.path.join(work, "regions.bmp")], nubo_rg, os.path.join(work, "regions.bmp")),
    ("OpenJPEG, opj_compress -r 40",
     ["opj_compress", "-i", picture, "-o", opj, "-r", "40"],
     ["opj_decompress", "-i", opj, "-o", os.path.join(work, "openjpeg.bmp")], opj, os.path.join(work, "openjpeg.bmp")),
]

# The cases take turns within every run, so a change in the machine's load touches them alike.
samples = {name: {"encode": [], "decode": []} for name, *_ in cases}
for _ in range(runs):
    for name, encode, decode, _, _ in cases:
        samples[name]["encode"].append(timed(encode))
        samples[name]["decode"].append(timed(decode))

rows = []
for name, _, _, coded, decoded in cases:
    size = os.path.getsize(coded)
    median = lambda values, k: statistics.median(v[k] for v in values)
    rows.append((name, median(samples[name]["encode"], 0), median(samples[name]["decode"], 0),
                 median(samples[name]["encode"], 1), median(samples[name]["decode"], 1), size, size * 8.0 / pixels,
                 psnr(picture, decoded)))

version = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "libopenjp2-tools"], capture_output=True,
                         text=True).stdout or "?"
print("Picture: %s (%d x %d), median of %d runs per figure, OpenJPEG %s, %d cores"
      % (os.path.basename(picture), width, height, runs, version, os.cpu_count() or 0))
print()
print("| Coder | Encode (s) | Decode (s) | Encode CPU (s) | Decode CPU (s) | Bytes | Bit rate (bpp) | PSNR (dB) |")
print("| --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: |")
for row in rows:
    print("| %s | %.3f | %.3f | %.3f | %.3f | %d | %.3f | %.2f |" % row)
opj_row = rows[-1]
print()
for row in rows[:-1]:
    print("%s: wall time %.2fx (encode), %.2fx (decode) OpenJPEG's" % (row[0], row[1] / opj_row[1], row[2] / opj_row[2]))
PYTHON
