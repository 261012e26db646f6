#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Lumora and plays a file or address with
# lumora-play, the player engine without the main window: the picture goes to
# a window where a display exists (else nowhere), the sound to the system's
# output (or nowhere when there is none), and the player's notifications and
# a summary are printed as JSON lines. Without an argument it plays the demo
# clip made at build time. Arguments are those of lumora-play
# (`lumora-play --help`): options, then the file or address.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
BUILD=${LUMORA_BUILD:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMORA_BUILD_TESTS=OFF \
  -DLUMORA_BUILD_BENCH=OFF
cmake --build "$BUILD" -j "$(nproc)" --target lumora-play lumora_demo_clip

# No sound device and no sound server: play into the null device.
if [ -z "${LUMORA_AUDIO_OUT:-}" ] && [ ! -e /dev/snd ] && [ -z "${PULSE_SERVER:-}" ] &&
  [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/pulse/native" ] &&
  [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/pipewire-0" ]; then
  export LUMORA_AUDIO_OUT=null
fi

if [ $# -eq 0 ]; then
  set -- "$BUILD/share/lumora-demo.mkv"
fi
exec "$BUILD/bin/lumora-play" "$@"
