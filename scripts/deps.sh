#!/usr/bin/env bash
# Installs every Debian package Quillmere needs to build, run, test and benchmark.
# Packages named as arguments are installed too. Idempotent: quiet when everything is present; runs apt-get update once otherwise.
set -euo pipefail

PACKAGES=(
  # toolchain
  cmake ninja-build g++ pkg-config git
  # Qt 6
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-image-formats-plugins
  libgl-dev
  # formats
  libqpdf-dev qpdf libtiff-dev libtiff-tools libjpeg-dev libpng-dev zlib1g-dev
  libopenjp2-7-dev libmagick++-6.q16-dev imagemagick
  libpoppler-qt6-dev poppler-utils libpugixml-dev
  # fonts with the widths of Arial, Times New Roman and Courier New, for the text of WMF and EMF pictures
  fonts-liberation2
  # icons and MIME data for the file-type column
  shared-mime-info adwaita-icon-theme
  # printing a listed file (lp); the default application of a file type (GIO)
  cups-client libglib2.0-dev
  # tests
  googletest libgtest-dev libgmock-dev xvfb xauth
  # benchmarks (comparison tools)
  img2pdf python3-img2pdf time
)
PACKAGES+=("$@") # extras a script needs (scripts/fuzz.sh: clang)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
