#!/usr/bin/env bash
# Installs what is missing (OpenCV included), builds the benchmark program optimised
# and runs it, each row warmed up first; the comparison table is printed at the end.
#   scripts/bench.sh [--benchmark_filter=REGEX ...]
set -euo pipefail
if [ "${1:-}" = --help ]; then sed -n '2,/^set /s/^# \{0,1\}//p' "$0"; exit 0; fi
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --bench

build=${QM_BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target qm_bench
# Idle OpenMP threads sleep instead of spinning. libgomp reads this when it is loaded,
# before the program's main runs, so it is set here.
export OMP_WAIT_POLICY=${OMP_WAIT_POLICY:-passive}
# Each row warms up before it is timed, so a slow peer's single iteration is not a cold
# one (the first touch of its pictures, its library's first call); a warm-up time given
# on the command line comes later and wins.
exec "$build/bench/qm_bench" --benchmark_color=false --benchmark_min_warmup_time=0.05 "$@"
