#!/usr/bin/env bash
# Makes docs/screenshot.png without a display: the desktop program's main window with the sample picture and three
# labelled regions (one kept lossless, one selected), rendered on Qt's offscreen platform, and the same window zoomed
# to 300 %: docs/zoom.png. Then the desktop guide's comparison pictures: docs/compare-split.png, docs/difference.png
# and docs/rd-chart.png, and the pictures of the docks: docs/region-table.png and docs/results-log.png.
# Builds the screenshot tool first when needed; NUBO_BUILD_DIR picks the build folder (default build/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${NUBO_BUILD_DIR:-$root/build}"

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNUBO_BUILD_SHELL=ON
fi
cmake --build "$build" --target nubo_screenshot nubo_compare_screenshots nubo_dock_screenshots

mkdir -p "$root/docs"
QT_QPA_PLATFORM=offscreen "$build/src/shell/nubo_screenshot" "$root/docs/screenshot.png" \
  "$root/tests/fixtures/astronaut.bmp" "$root/docs/zoom.png"
echo "wrote $root/docs/screenshot.png and $root/docs/zoom.png"
QT_QPA_PLATFORM=offscreen "$build/src/shell/nubo_compare_screenshots" "$root/docs" "$root/tests/fixtures/astronaut.bmp"
QT_QPA_PLATFORM=offscreen "$build/src/shell/nubo_dock_screenshots" "$root/docs" "$root/tests/fixtures/astronaut.bmp"
