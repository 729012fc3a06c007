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
# The release zip, laid out as it installs.
python3 scripts/package_release.py --gauges "$BUILD_DIR/gauges" --sounds "$BUILD_DIR/sounds" --tools "$BUILD_DIR/bin" \
  --out dist
wine_start
trap wine_stop EXIT
# The bench's demo on both modules: the timeline, then the faces, the sound it rendered from the
# release's own sounds, and the report page that shows the run with that sound to play alongside.
wine "$BUILD_DIR/bin/gaugebench.exe" --snapshot dist/demo.png --scale 4 --audio dist/demo.wav \
  --sounds "$BUILD_DIR/sounds" --report dist/demo.html dist/VQT7_Boomcue.gau dist/VQT7_Drag_Drone.gau
ls -l dist/demo.png dist/demo.wav dist/demo.html
