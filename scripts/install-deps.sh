#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs. Quick when everything is present.
#   scripts/install-deps.sh          build, run and test the editor
#   scripts/install-deps.sh --bench  also the peers the benchmarks compare against
set -euo pipefail
if [ "${1:-}" = --help ]; then sed -n '2,/^set /s/^# \{0,1\}//p' "$0"; exit 0; fi

packages=(
  # toolchain
  build-essential g++ cmake ninja-build pkg-config git
  clang libclang-rt-14-dev libomp-14-dev
  # GUI
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # Qt's own texts (standard buttons, file, print and colour dialogs) in the interface's language
  qt6-translations-l10n
  # codecs and image libraries
  zlib1g-dev libpng-dev libjpeg62-turbo-dev libgif-dev libtiff-dev
  graphicsmagick libgraphicsmagick1-dev libgraphicsmagick++1-dev
  libexiv2-dev exiv2
  libraw-dev
  # printing (CUPS through Qt), the desktop's wallpaper (GSettings) and file types
  libcups2-dev libglib2.0-dev libglib2.0-bin gsettings-desktop-schemas desktop-file-utils shared-mime-info
  # the file manager's questions (xdg-mime) and the icon caches (gtk-update-icon-cache)
  xdg-utils gtk-update-icon-cache
  # scanner access (SANE with its built-in "test" device)
  libsane-dev libsane1 sane-utils
  # tests
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-apps
  fonts-dejavu-core
  # locale sources, so the formatting tests can build a decimal-comma locale
  locales
  libjpeg-turbo-progs libtiff-tools
  # reading printed PDF files back
  libpoppler-qt6-dev
  # LibRaw's own decoder (dcraw_emu), the peer of the RAW benchmark
  libraw-bin
)
if [ "${1:-}" = "--bench" ]; then
  packages+=(libopencv-core-dev libopencv-imgproc-dev libvips-dev)
fi

# drop the "package-" exclusions from the list we check
wanted=()
for p in "${packages[@]}"; do
  case "$p" in *-) ;; *) wanted+=("$p") ;; esac
done

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
