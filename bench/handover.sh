#!/usr/bin/env bash
# The single-instance hand-over timed as a user meets it, under a virtual X server: a
# first editor runs with [Params] RunMulti=0; a second start names a picture; timed from
# the start of the second process to the moment the first reports the picture open
# (its --print-handed-over line), the median of RUNS runs.
#   bench/handover.sh [RUNS]        (10 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}

build=${QM_BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target quillomatic >/dev/null
program=$(realpath "$build/src/quillomatic")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A 2 MP photo-like JPEG: the open is part of what is timed.
# One copy per run: a picture already open would only be brought forward.
gm convert -size 800x600 plasma:fractal -resize '1600x1200!' -quality 90 "$work/photo.jpg"
for i in $(seq "$runs"); do cp "$work/photo.jpg" "$work/photo$i.jpg"; done

export QM_HOME="$work/home" XDG_RUNTIME_DIR="$work/run" OMP_WAIT_POLICY=passive QT_QPA_PLATFORM=xcb
mkdir -p "$QM_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
printf '[Params]\nRunMulti=0\n' >"$QM_HOME/Quillomatic.ini"

xvfb-run -a -s "-screen 0 1600x1200x24" bash -s "$program" "$work" "$runs" <<'SCRIPT'
set -euo pipefail
program=$1 work=$2 runs=$3
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
"$program" --print-handed-over >"$work/first.out" 2>/dev/null &
first=$!
trap 'kill $first 2>/dev/null || true' EXIT
# the first is ready once it answers a hand-over of nothing
until [ -S "$XDG_RUNTIME_DIR/quillomatic-handover" ] && "$program" >/dev/null 2>&1; do sleep 0.1; done
for i in $(seq "$runs"); do
  before=$(grep -c '^$' "$work/first.out" || true)
  start=$(date +%s%N)
  "$program" "$work/photo$i.jpg" >/dev/null 2>&1
  until [ "$(grep -c '^$' "$work/first.out" || true)" -gt "$before" ]; do sleep 0.002; done
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
  sleep 0.3  # the open document's repaint settles before the next run
done | median | xargs -I{} echo "second start to the picture open in the first instance (median of $runs): {} ms"
SCRIPT
