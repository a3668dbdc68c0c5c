#!/usr/bin/env bash
# Installs what is missing, builds everything (tests and benchmarks) with
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs the whole test suite, then
# the shell's, views' and dialogs' tests once more with OMP_NUM_THREADS=2.
#   scripts/test.sh [ctest arguments...]
set -euo pipefail
if [ "${1:-}" = --help ]; then sed -n '2,/^set /s/^# \{0,1\}//p' "$0"; exit 0; fi
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --bench

build=${QM_TEST_BUILD_DIR:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
export QT_QPA_PLATFORM=offscreen
# the tests set their own thread counts where it matters
export OMP_WAIT_POLICY=passive

ctest --test-dir "$build" -j "$(nproc)" --output-on-failure --timeout 600 "$@"

# The window's paths again on two threads, as a machine or a user limiting OpenMP runs
# them: the engine's teams and GraphicsMagick's must still agree.
OMP_NUM_THREADS=2 ctest --test-dir "$build" -j "$(nproc)" --output-on-failure --timeout 600 \
  -L '^qm_(shell|views|dialogs)_tests$' "$@"
