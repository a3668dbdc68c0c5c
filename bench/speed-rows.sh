#!/usr/bin/env bash
# The rows of the speed work beside their peers, warmed up, at 1 and 8 threads: the
# image-size and layer resamplings, the view repaint at 400 %, the Sheerlay mask
# stretch, the mosaic, the batch scan, the custom 3 x 3 preview, the wallpaper, the
# quarter turn of ten layers with its memory copy floor, the canvas and selection-mask
# rows that once ran cold, and the memory copy floor; then bench/startup.sh for the
# 24 MP JPEG named on the command line (its time against djpeg's on the same file).
#   bench/speed-rows.sh [more qm_bench arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
rows='^(Image size 50 %, Lanczos|Smooth resize of a layer|View repaint 24 MP at 400 %|Sheerlay mask stretched'
rows+='|Mosaic of 5 px blocks|batch scan, ten feeder pages|Custom 3 x 3 dialog|Wallpaper fitted'
rows+='|Quarter turn of every layer|Canvas \+200 px|BuildSelectionMask ellipse|memory copy of the photo'
rows+='|JPEG q90 decode, 24 MP)'
exec bash scripts/bench.sh "--benchmark_filter=$rows" "$@"
