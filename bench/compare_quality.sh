#!/usr/bin/env bash
# Quality at equal bytes: for every picture in a folder, at ratios 20, 40 and 80, codes the whole picture (as the
# background, no regions) with nubo's "Wavelet" coder (kind 1) and its "Wavelet (colour)" coder (kind 3), and with
# OpenJPEG's opj_compress (9/7 irreversible, -r computed so that it aims at kind 3's stream size). Prints per
# picture and ratio the bytes, RGB PSNR and SSIM of each, then the mean and worst PSNR difference of kind 3
# against OpenJPEG and against kind 1. Results are reported, never asserted.
#
# Usage: bench/compare_quality.sh [FOLDER]   (default: tests/fixtures; pictures nubo-cli cannot read, or smaller
#                                             than 64 x 64, are left out)
#   NUBO_CLI          the nubo-cli to use (default: build/src/cli/nubo-cli)
#   NUBO_RATIOS       the ratios (default "20 40 80")
# Installs Debian's libopenjp2-tools, python3-numpy and python3-skimage with apt-get when they are missing.
# bench/make_photo_set.py writes the eight photos of the README's table.
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"

folder="${1:-$root/tests/fixtures}"
ratios="${NUBO_RATIOS:-20 40 80}"

need=()
command -v opj_compress > /dev/null && command -v opj_decompress > /dev/null || need+=(libopenjp2-tools)
/usr/bin/python3 -c 'import numpy, skimage' 2> /dev/null || need+=(python3-numpy python3-skimage)
install_missing "${need[@]}"

make_work

/usr/bin/python3 - "$cli" "$folder" "$work" $ratios <<'PYTHON'
import glob
import os
import subprocess
import sys

import numpy as np
from skimage.io import imread
from skimage.metrics import structural_similarity

cli, folder, work = sys.argv[1], sys.argv[2], sys.argv[3]
ratios = [int(r) for r in sys.argv[4:]]


def pixels(path):
    image = imread(path)
    if image.ndim == 2:
        image = np.stack([image] * 3, axis=2)
    return image[:, :, :3].astype(np.float64)


def measure(source, decoded_path):
    decoded = pixels(decoded_path)
    mse = np.mean((source - decoded) ** 2)
    psnr = float("inf") if mse == 0 else 10 * np.log10(255.0 ** 2 / mse)
    ssim = structural_similarity(source, decoded, channel_axis=2, data_range=255)
    return psnr, ssim


def nubo(picture, kind, ratio, tag):
    stream = os.path.join(work, tag + ".roi")
    decoded = os.path.join(work, tag + ".bmp")
    subprocess.run([cli, "encode", picture, "-o", stream, "--background-ratio", str(ratio),
                    "--background-coder", kind], check=True, stdout=subprocess.DEVNULL)
    subprocess.run([cli, "decode", stream, "-o", decoded], check=True, stdout=subprocess.DEVNULL)
    return os.path.getsize(stream), decoded


def openjpeg(picture, width, height, target_bytes, tag):
    stream = os.path.join(work, tag + ".j2k")
    decoded = os.path.join(work, tag + "-j2k.bmp")
    rate = width * height * 3 / target_bytes
    subprocess.run(["opj_compress", "-i", picture, "-o", stream, "-I", "-r", "%.4f" % rate], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["opj_decompress", "-i", stream, "-o", decoded], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return os.path.getsize(stream), decoded


pictures = []
for path in sorted(glob.glob(os.path.join(folder, "*.bmp"))):
    try:
        image = pixels(path)
    except Exception:
        continue
    probe = subprocess.run([cli, "encode", path, "-o", os.path.join(work, "probe.roi")], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    if probe.returncode != 0 or image.shape[0] < 64 or image.shape[1] < 64:
        continue
    pictures.append((path, image))
if not pictures:
    sys.exit("compare_quality.sh: no picture of at least 64 x 64 that nubo-cli reads in " + folder)

print("| Picture | Ratio | Kind 1 bytes | Kind 1 PSNR | Kind 1 SSIM | Kind 3 bytes | Kind 3 PSNR | Kind 3 SSIM "
      "| OpenJPEG bytes | OpenJPEG PSNR | OpenJPEG SSIM | Kind 3 - OpenJPEG (dB) |")
print("| --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |")
versus_openjpeg = []
versus_kind1 = []
for path, source in pictures:
    name = os.path.basename(path)
    height, width = source.shape[:2]
    for ratio in ratios:
        tag = "%s-%d" % (os.path.splitext(name)[0], ratio)
        bytes1, decoded1 = nubo(path, "wavelet", ratio, tag + "-k1")
        bytes3, decoded3 = nubo(path, "colour", ratio, tag + "-k3")
        bytesj, decodedj = openjpeg(path, width, height, bytes3, tag)
        psnr1, ssim1 = measure(source, decoded1)
        psnr3, ssim3 = measure(source, decoded3)
        psnrj, ssimj = measure(source, decodedj)
        versus_openjpeg.append((psnr3 - psnrj, name, ratio))
        versus_kind1.append((psnr3 - psnr1, name, ratio))
        print("| %s | %d | %d | %.2f | %.4f | %d | %.2f | %.4f | %d | %.2f | %.4f | %+.2f |"
              % (name, ratio, bytes1, psnr1, ssim1, bytes3, psnr3, ssim3, bytesj, psnrj, ssimj, psnr3 - psnrj))
        sys.stdout.flush()

print()
for label, rows in (("OpenJPEG", versus_openjpeg), ("kind 1", versus_kind1)):
    mean = sum(d for d, _, _ in rows) / len(rows)
    worst = min(rows)
    print("Kind 3 against %s: mean %+.2f dB, worst %+.2f dB (%s at ratio %d)"
          % (label, mean, worst[0], worst[1], worst[2]))
PYTHON
