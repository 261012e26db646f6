#!/usr/bin/env bash
# Installs every Debian 12 package Lumora needs to build, test and run.
# Idempotent: when everything is present it does nothing.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang-format
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # reference transform for the audio benchmarks
  libfftw3-dev
  # settings store
  libsqlite3-dev
  # decoder modules, audio output, media fixtures for tests
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libsdl2-dev ffmpeg
  # video output and user interface
  qt6-base-dev libgl-dev libegl-dev libx11-dev libjpeg62-turbo-dev xvfb xauth
  # media information, update check (libmediainfo-dev pulls the gnutls flavour)
  libmediainfo-dev libcurl4-gnutls-dev
  # language tables
  iso-codes python3
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

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
