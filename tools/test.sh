#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Lumora with AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings are errors) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
BUILD=${LUMORA_TEST_BUILD:-build-test}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMORA_SANITIZE=ON -DLUMORA_WERROR=ON
cmake --build "$BUILD" -j "$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" --timeout 300
