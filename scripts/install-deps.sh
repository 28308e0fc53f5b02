#!/usr/bin/env bash
# Installs every Debian package that building, running, testing, fuzzing and
# benchmarking need. Does nothing when everything is already present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libqt6svg6
  libgl-dev libxkbcommon-dev
  libtiff-dev libjpeg62-turbo-dev zlib1g-dev nettle-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang clang-format libclang-rt-14-dev
  fonts-nanum
  xvfb xauth xdotool imagemagick
  libtiff-tools libjpeg-turbo-progs qpdf poppler-utils
  libleptonica-dev unpaper img2pdf
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
