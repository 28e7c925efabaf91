#!/usr/bin/env bash
# Installs every Debian package nubo needs (build, tests, benchmarks, desktop program), then configures and builds.
# Safe to run again: apt-get skips what is installed and the build is incremental.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-charts-dev libqt6opengl6-dev qt6-svg-dev qt6-qpa-plugins qt6-image-formats-plugins libgl-dev libglx-dev fonts-dejavu-core
  xvfb python3
  libpng-dev libjpeg62-turbo-dev
  python3-numpy python3-skimage imagemagick parallel libopenjp2-tools webp
  clang-16 libclang-rt-16-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "${1:-}" = "--packages-only" ]; then exit 0; fi

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${NUBO_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build"
