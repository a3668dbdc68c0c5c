#!/usr/bin/env bash
# Builds the editor and photographs its scenes under a virtual X server: each scene
# sets the program in a known state and writes PNG files into the folder given.
#   scripts/screens.sh FOLDER [SCENE...]      (every scene when none is named)
set -euo pipefail
if [ "${1:-}" = --help ]; then sed -n '2,/^set /s/^# \{0,1\}//p' "$0"; exit 0; fi
cd "$(dirname "$0")/.."
if [ $# -lt 1 ]; then
  echo "usage: scripts/screens.sh FOLDER [SCENE...]" >&2
  exit 2
fi
out=$(realpath -m "$1")
shift
scenes=("$@")
if [ ${#scenes[@]} -eq 0 ]; then
  scenes=(mainwindow readme firststart fullscreen views textlayers windows commands colorpicker browser filters savedialogs opendialog dialogs palette layers preferences translation scanning printing batch plugins)
fi

bash scripts/install-deps.sh

build=${QM_BUILD_DIR:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_TESTS=OFF -DQM_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target quillomatic
mkdir -p "$out"
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
for scene in "${scenes[@]}"; do
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build/src/quillomatic" --scene "$scene" --shots "$out"
done
