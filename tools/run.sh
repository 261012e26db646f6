#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Lumora and runs it with the given
# arguments (files, folders, playlists, addresses).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
BUILD=${LUMORA_BUILD:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMORA_BUILD_TESTS=OFF \
  -DLUMORA_BUILD_BENCH=OFF
cmake --build "$BUILD" -j "$(nproc)"
exec "$BUILD/bin/lumora" "$@"
