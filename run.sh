#!/usr/bin/env bash
# The main job: builds both gauge modules, leaves them and the release zip in dist/, and runs
# the bench's demo on them.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

ensure_tools
build_all
mkdir -p dist
cp "$BUILD_DIR/gauges/VQT7_Boomcue.gau" "$BUILD_DIR/gauges/VQT7_Drag_Drone.gau" dist/
ls -l dist/*.gau
# The release zip the build made, laid out as it installs, of the version project() names.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD_DIR/CMakeCache.txt")
cp "$BUILD_DIR/release/VQT7-gauges-$version.zip" dist/
ls -l "dist/VQT7-gauges-$version.zip"
if ! wine_runs_here; then
  wine_unavailable_notice "the bench's demo; the modules and the zip are in dist/"
  exit 0
fi
wine_start
trap wine_stop EXIT
# The bench's demo on both modules: the timeline, then the faces, the sound it rendered from the
# release's own sounds, and the report page that shows the run with that sound to play alongside.
wine "$BUILD_DIR/bin/gaugebench.exe" --snapshot dist/demo.png --scale 4 --audio dist/demo.wav \
  --sounds "$BUILD_DIR/sounds" --report dist/demo.html dist/VQT7_Boomcue.gau dist/VQT7_Drag_Drone.gau
ls -l dist/demo.png dist/demo.wav dist/demo.html
