#!/usr/bin/env bash
# Times nubo-cli against OpenJPEG in one run: for each picture and each ratio (10, 40, 100), nubo's background-only
# encode at that ratio and its decode, against opj_compress -r RATIO and opj_decompress. Whole processes, reading
# and writing files included; the coders take turns within every run, so a change in the machine's load touches
# them alike. Prints, per picture, ratio and step, the medians of wall-clock time, CPU time (user + system, all
# threads) and peak resident memory of both, nubo's figure as a multiple of OpenJPEG's; the cost per pixel of the
# largest picture as a multiple of the smallest's (linear cost gives 1.00x); then sizes and RGB PSNR.
# Results are reported, never asserted.
#
# Usage: bench/compare_openjpeg.sh [PICTURE.bmp ...]
#   Default pictures: the 512 x 512 sample and a 2-megapixel photo (the sample upscaled to 1448 x 1448 with
#   ImageMagick's Lanczos filter, made in a scratch folder on every run).
#   NUBO_CLI        the nubo-cli to time (default: build/src/cli/nubo-cli)
#   NUBO_BENCH_RUNS runs per measurement, the median is shown (default 5)
#   NUBO_RATIOS     the ratios (default "10 40 100")
#   NUBO_CODER      nubo's background coder: wavelet (kind 1, the default) or colour (kind 3)
# Installs Debian's libopenjp2-tools and imagemagick with apt-get when their tools are missing.
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"

runs="${NUBO_BENCH_RUNS:-5}"
ratios="${NUBO_RATIOS:-10 40 100}"
coder="${NUBO_CODER:-wavelet}"
case "$coder" in
  wavelet | colour) ;;
  *) echo "NUBO_CODER must be wavelet or colour, not '$coder'" >&2; exit 2 ;;
esac

missing=()
command -v opj_compress > /dev/null && command -v opj_decompress > /dev/null || missing+=(libopenjp2-tools)
[ $# -gt 0 ] || command -v convert > /dev/null || missing+=(imagemagick)
install_missing "${missing[@]}"

make_work

pictures=("$@")
if [ ${#pictures[@]} -eq 0 ]; then
  photo="$work/photo-1448x1448.bmp"
  convert "$root/tests/fixtures/astronaut.bmp" -filter Lanczos -resize 1448x1448 -type TrueColor "BMP3:$photo"
  pictures=("$root/tests/fixtures/astronaut.bmp" "$photo")
fi

python3 - "$cli" "$runs" "$work" "$ratios" "$coder" "${pictures[@]}" <<'PYTHON'
import math
import os
import statistics
import struct
import subprocess
import sys
import time

cli, runs, work, ratios = sys.argv[1], int(sys.argv[2]), sys.argv[3], [int(r) for r in sys.argv[4].split()]
background_coder = sys.argv[5]
pictures = sys.argv[6:]


def timed(command):
    """Wall-clock seconds, CPU seconds (user + system, all threads) and peak resident KiB of one run."""
    # perf_counter, not os.times().elapsed: the latter counts clock ticks (10 ms), as long as a small decode.
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise SystemExit("%s failed with status %d" % (" ".join(command), process.returncode))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def rgb_samples(path):
    """Width, height and the pixel bytes (rows without padding, in file order) of a 24-bit BMP."""
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
    return float("inf") if squared == 0 else 10 * math.log10(255 * 255 / (squared / len(a)))


# One case per picture, ratio and coder: its encode and decode commands, stream and decoded picture.
cases = []
for index, picture in enumerate(pictures):
    for ratio in ratios:
        stem = os.path.join(work, "%d-%d" % (index, ratio))
        cases.append((picture, ratio, "nubo",
                      [cli, "encode", picture, "-o", stem + ".roi", "--background-ratio", str(ratio),
                       "--background-coder", background_coder],
                      [cli, "decode", stem + ".roi", "-o", stem + "-nubo.bmp"], stem + ".roi", stem + "-nubo.bmp"))
        cases.append((picture, ratio, "OpenJPEG",
                      ["opj_compress", "-i", picture, "-o", stem + ".j2k", "-r", str(ratio)],
                      ["opj_decompress", "-i", stem + ".j2k", "-o", stem + "-opj.bmp"], stem + ".j2k",
                      stem + "-opj.bmp"))

samples = {}
for _ in range(runs):
    for picture, ratio, coder, encode, decode, _, _ in cases:
        samples.setdefault((picture, ratio, coder, "encode"), []).append(timed(encode))
        samples.setdefault((picture, ratio, coder, "decode"), []).append(timed(decode))


def median(key, k):
    return statistics.median(v[k] for v in samples[key])


version = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "libopenjp2-tools"], capture_output=True,
                         text=True).stdout or "?"
print("nubo-cli (background coder %s) against OpenJPEG %s, median of %d runs per figure, %d cores, load average "
      "%.1f at the end" % (background_coder, version, runs, os.cpu_count() or 0, os.getloadavg()[0]))
print()
print("| Picture | Ratio | Step | nubo wall (s) | OpenJPEG wall (s) | Wall | nubo CPU (s) | OpenJPEG CPU (s) | CPU "
      "| nubo peak (MiB) | OpenJPEG peak (MiB) | Memory |")
print("| --- | ---: | --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |")
for picture in pictures:
    width, height, _ = rgb_samples(picture)
    name = "%s (%d x %d)" % (os.path.basename(picture), width, height)
    for ratio in ratios:
        for step in ("encode", "decode"):
            ours = (picture, ratio, "nubo", step)
            theirs = (picture, ratio, "OpenJPEG", step)
            figures = [median(ours, 0), median(theirs, 0), median(ours, 1), median(theirs, 1),
                       median(ours, 2) / 1024, median(theirs, 2) / 1024]
            print("| %s | %d | %s | %.3f | %.3f | %.2fx | %.3f | %.3f | %.2fx | %.1f | %.1f | %.2fx |"
                  % (name, ratio, step, figures[0], figures[1], figures[0] / figures[1], figures[2], figures[3],
                     figures[2] / figures[3], figures[4], figures[5], figures[4] / figures[5]))
# Cost per pixel of the largest picture against the smallest: 1.00x is cost linear in pixels. The smallest picture's
# figure carries the process start and file handling, which do not grow with the picture.
pixels = {picture: rgb_samples(picture)[0] * rgb_samples(picture)[1] for picture in pictures}
small, large = min(pictures, key=pixels.get), max(pictures, key=pixels.get)
if pixels[large] > pixels[small]:
    print()
    print("Cost per pixel, %s (%.2f MP) against %s (%.2f MP):"
          % (os.path.basename(large), pixels[large] / 1e6, os.path.basename(small), pixels[small] / 1e6))
    print()
    print("| Ratio | Step | Coder | wall ns/pixel small | wall ns/pixel large | Wall | CPU ns/pixel small "
          "| CPU ns/pixel large | CPU |")
    print("| ---: | --- | --- | ---: | ---: | ---: | ---: | ---: | ---: |")
    for ratio in ratios:
        for step in ("encode", "decode"):
            for coder in ("nubo", "OpenJPEG"):
                row = []
                for k in (0, 1):
                    a = median((small, ratio, coder, step), k) / pixels[small] * 1e9
                    b = median((large, ratio, coder, step), k) / pixels[large] * 1e9
                    row += [a, b, b / a]
                print("| %d | %s | %s | %.1f | %.1f | %.2fx | %.1f | %.1f | %.2fx |" % ((ratio, step, coder) + tuple(row)))

print()
print("| Picture | Ratio | nubo bytes | OpenJPEG bytes | nubo PSNR (dB) | OpenJPEG PSNR (dB) |")
print("| --- | ---: | ---: | ---: | ---: | ---: |")
for picture in pictures:
    for ratio in ratios:
        found = {coder: (coded, decoded) for p, r, coder, _, _, coded, decoded in cases if (p, r) == (picture, ratio)}
        print("| %s | %d | %d | %d | %.2f | %.2f |"
              % (os.path.basename(picture), ratio, os.path.getsize(found["nubo"][0]),
                 os.path.getsize(found["OpenJPEG"][0]), psnr(picture, found["nubo"][1]),
                 psnr(picture, found["OpenJPEG"][1])))
PYTHON
