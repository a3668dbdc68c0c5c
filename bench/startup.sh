#!/usr/bin/env bash
# The real program timed as a user meets it, under a virtual X server: from the start
# of the process to the first painted main window, without a translation module and
# with the English sample in the user's data folder (runs taken in turns), and to the
# first painted document of a 24 MP JPEG named on the command line (each the median of
# RUNS runs, the whole process timed, its exit included), then the resident size of
# the program with that document open against the program without one.
#   bench/startup.sh [RUNS]        (10 by default)
set -euo pipefail
if [ "${1:-}" = --help ]; then sed -n '2,/^set /s/^# \{0,1\}//p' "$0"; exit 0; fi
cd "$(dirname "$0")/.."
runs=${1:-10}

build=${QM_BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target quillomatic >/dev/null
program=$(realpath "$build/src/quillomatic")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A photo-like 24 MP picture (a plasma cloud enlarged: soft shapes and gradients, about
# 4 MB at quality 90; a picture of pure noise would time the decoder, not the editor).
gm convert -size 1500x1000 plasma:fractal -resize '6000x4000!' -quality 90 "$work/photo.jpg"

export QM_HOME="$work/home" XDG_RUNTIME_DIR="$work/run" OMP_WAIT_POLICY=passive QT_QPA_PLATFORM=xcb
mkdir -p "$QM_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

xvfb-run -a -s "-screen 0 1600x1200x24" bash -s "$program" "$work/photo.jpg" "$runs" \
  "$(dirname "$program")/translations/english.plg" <<'SCRIPT'
set -euo pipefail
program=$1 photo=$2 runs=$3 module=$4
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
timed() {
  local start end
  start=$(date +%s%N)
  "$program" --quit-when-painted "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
"$program" --quit-when-painted >/dev/null 2>&1  # warms the caches
for i in $(seq "$runs"); do
  timed >>"$QM_HOME/../plain"
  cp "$module" "$QM_HOME/english.plg"
  timed >>"$QM_HOME/../translated"
  rm "$QM_HOME/english.plg"
done
empty=$(median <"$QM_HOME/../plain")
translated=$(median <"$QM_HOME/../translated")
opened=$(for i in $(seq "$runs"); do timed "$photo"; done | median)
decoder=$( (for i in $(seq "$runs"); do
  start=$(date +%s%N); djpeg -outfile /dev/null "$photo"; end=$(date +%s%N); echo $(((end - start) / 1000000))
done) | median)
# The resident size, a few seconds after the start, with and without the document.
resident() {
  "$program" "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep 4
  awk '/VmRSS/ {print int($2 / 1024)}' "/proc/$pid/status"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}
base=$(resident)
withDocument=$(resident "$photo")
pixels=$((6000 * 4000 * 3 / 1048576))
echo "start to the first painted main window (median of $runs): $empty ms"
echo "the same under the English translation module (median of $runs): $translated ms"
echo "start to the first painted 24 MP JPEG document (median of $runs): $opened ms" \
     "(djpeg alone on the file: $decoder ms)"
echo "resident: $base MiB without a document, $withDocument MiB with the 24 MP one open:" \
     "$((withDocument - base)) MiB for $pixels MiB of pixels"
SCRIPT
