#!/usr/bin/env bash
# Makes docs/screenshot.png without a display: the desktop program's main window with the sample picture and three
# labelled regions (one kept lossless, one selected), rendered on Qt's offscreen platform.
# Builds the screenshot tool first when needed; NUBO_BUILD_DIR picks the build folder (default build/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${NUBO_BUILD_DIR:-$root/build}"

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNUBO_BUILD_SHELL=ON
fi
cmake --build "$build" --target nubo_screenshot

mkdir -p "$root/docs"
QT_QPA_PLATFORM=offscreen "$build/src/shell/nubo_screenshot" "$root/docs/screenshot.png" \
  "$root/tests/fixtures/astronaut.bmp"
echo "wrote $root/docs/screenshot.png"
