#!/usr/bin/env bash
# Compares nubo's two lossless region kinds with standard lossless coders on whole pictures: for each picture, the
# payload bytes of one whole-picture region of kind 4 ("Lossless (predictive)") and of kind 2 ("Arithmetic"),
# lossless JPEG 2000 (opj_compress with its defaults), PNG at compression level 9 (ImageMagick) and lossless WebP
# (cwebp -lossless -z 9). Debian ships no JPEG-LS command-line coder, so JPEG-LS is not in the table. Kind 4's
# exactness is checked on every picture (nubo-cli test, MSE of the decoded region). The coding speeds of both
# kinds, raw picture bytes per CPU second on one core, come from the Google Benchmark programs
# (predictive_bench, lossless_bench) when they are built. Results are reported, never asserted.
#
# Usage: bench/compare_lossless.sh [FOLDER_OR_PICTURE ...]
#   Default: the photographs among the fixtures (astronaut.bmp, coffee.bmp). A folder stands for its *.bmp files.
#   NUBO_CLI        the nubo-cli to run (default: build/src/cli/nubo-cli)
#   NUBO_BUILD_DIR  the build folder holding the benchmark programs (default: build)
# Installs Debian's libopenjp2-tools, imagemagick and webp with apt-get when their tools are missing.
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"

build="${NUBO_BUILD_DIR:-$root/build}"

missing=()
command -v opj_compress > /dev/null || missing+=(libopenjp2-tools)
command -v convert > /dev/null || missing+=(imagemagick)
command -v cwebp > /dev/null || missing+=(webp)
install_missing "${missing[@]}"

pictures=()
if [ $# -eq 0 ]; then
  pictures=("$root/tests/fixtures/astronaut.bmp" "$root/tests/fixtures/coffee.bmp")
else
  for item in "$@"; do
    if [ -d "$item" ]; then
      for f in "$item"/*.bmp; do [ -e "$f" ] && pictures+=("$f"); done
    else
      pictures+=("$item")
    fi
  done
fi
if [ ${#pictures[@]} -eq 0 ]; then
  echo "compare_lossless.sh: no pictures given" >&2
  exit 1
fi

make_work

python3 - "$cli" "$build" "$work" "${pictures[@]}" <<'PYTHON'
import json
import os
import shutil
import struct
import subprocess
import sys

cli, build, work = sys.argv[1], sys.argv[2], sys.argv[3]
pictures = sys.argv[4:]


def size_of(path):
    with open(path, "rb") as f:
        header = f.read(26)
    width, height = struct.unpack_from("<ii", header, 18)
    return width, abs(height)


def nubo(picture, width, height, kind):
    """Region payload bytes of one whole-picture region of `kind`, and whether it decoded exactly."""
    result = subprocess.run([cli, "test", picture, "--background-ratio", "500", "--region",
                             f"0,0,{width - 1},{height - 1}:{kind}", "--regions", "1", "--no-background", "--json"],
                            capture_output=True, text=True, check=True)
    report = json.loads(result.stdout)
    mse = report["decode"]["mse"]
    return report["records"][0]["bytes"], mse is not None and mse <= 0.00001


def benchmark(program, pattern, label):
    """{label and benchmark name: MB/s} of a Google Benchmark program, or {} when it is not built."""
    path = os.path.join(build, "src", "roi", program)
    if not os.access(path, os.X_OK):
        return {}
    result = subprocess.run([path, "--benchmark_filter=" + pattern, "--benchmark_format=json",
                             "--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true"],
                            capture_output=True, text=True, check=True)
    figures = {}
    for entry in json.loads(result.stdout)["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            figures[label + ", " + entry["run_name"]] = entry["bytes_per_second"] / 1e6
    return figures


def tool_bytes(command, output):
    subprocess.run(command, capture_output=True, check=True)
    return os.path.getsize(output)


rows = []
for picture in pictures:
    name = os.path.basename(picture)
    width, height = size_of(picture)
    stem = os.path.join(work, os.path.splitext(name)[0])
    predictive = nubo(picture, width, height, "lossless")
    arithmetic = nubo(picture, width, height, "arithmetic")
    j2k = tool_bytes(["opj_compress", "-i", picture, "-o", stem + ".j2k"], stem + ".j2k")
    png = tool_bytes(["convert", picture, "-define", "png:compression-level=9", stem + ".png"], stem + ".png")
    webp = None
    if shutil.which("cwebp"):
        # cwebp reads no BMP: it gets the PNG, which holds the same pixels.
        webp = tool_bytes(["cwebp", "-quiet", "-lossless", "-z", "9", stem + ".png", "-o", stem + ".webp"],
                          stem + ".webp")
    rows.append((name, width, height, predictive, arithmetic, j2k, png, webp))

print("| Picture | Size | Kind 4 bytes | Kind 2 bytes | JPEG 2000 bytes | PNG-9 bytes | WebP lossless bytes "
      "| Kind 4 / JPEG 2000 | Kind 4 exact |")
print("| --- | --- | ---: | ---: | ---: | ---: | ---: | ---: | --- |")
totals = [0, 0, 0, 0, 0]
for name, width, height, p, a, j2k, png, webp in rows:
    webp_text = str(webp) if webp is not None else "n/a"
    print(f"| {name} | {width} x {height} | {p[0]} | {a[0]} | {j2k} | {png} | {webp_text} | {p[0] / j2k:.3f} "
          f"| {'yes' if p[1] else 'NO'} |")
    for i, value in enumerate((p[0], a[0], j2k, png, webp or 0)):
        totals[i] += value
webp_total = str(totals[4]) if all(r[7] is not None for r in rows) else "n/a"
print(f"| total | | {totals[0]} | {totals[1]} | {totals[2]} | {totals[3]} | {webp_total} "
      f"| {totals[0] / totals[2]:.3f} | |")

speeds = benchmark("predictive_bench", "Astronaut|Coffee|Noise", "kind 4")
speeds.update(benchmark("lossless_bench", "Photographic|Noise", "kind 2"))
if speeds:
    print()
    print("| Coder, benchmark (one core, median CPU time of 3) | MB/s |")
    print("| --- | ---: |")
    for name in sorted(speeds):
        print(f"| {name} | {speeds[name]:.0f} |")
PYTHON
