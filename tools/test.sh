#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Lumora with AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings are errors) and runs every test; then
# runs the filter-graph framework's tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
BUILD=${LUMORA_TEST_BUILD:-build-test}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMORA_SANITIZE=ON -DLUMORA_WERROR=ON
cmake --build "$BUILD" -j "$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The video tests draw with OpenGL (Mesa's software renderer) into X11
# windows: without a display, every test gets the one of an Xvfb server.
XVFB=()
if [ -z "${DISPLAY:-}" ]; then XVFB=(xvfb-run -a -s "-screen 0 1280x1024x24 -noreset"); fi
"${XVFB[@]}" ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" --timeout 300

# The filter-graph framework's tests once more under ThreadSanitizer, in a
# build of their own (only what they need is built).
TSAN_BUILD=${LUMORA_TSAN_BUILD:-build-tsan}
cmake -S . -B "$TSAN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMORA_THREAD_SANITIZE=ON -DLUMORA_WERROR=ON -DLUMORA_BUILD_BENCH=OFF
cmake --build "$TSAN_BUILD" -j "$(nproc)" --target directshow_tests
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
  "$TSAN_BUILD/tests/directshow_tests"
