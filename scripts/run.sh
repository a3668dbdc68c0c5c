#!/usr/bin/env bash
# Installs what is missing, builds the editor (optimised) and starts it.
#   scripts/run.sh [image files...]
set -euo pipefail
if [ "${1:-}" = --help ]; then sed -n '2,/^set /s/^# \{0,1\}//p' "$0"; exit 0; fi
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=${QM_BUILD_DIR:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_TESTS=OFF -DQM_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target quillomatic
exec "$build/src/quillomatic" "$@"
