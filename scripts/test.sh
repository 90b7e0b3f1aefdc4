#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (optimised, with debug
# info) and runs every test under them, then (without arguments) a 30-second smoke run of every
# fuzzing harness from its corpus (scripts/fuzz.sh --smoke, clang). Extra arguments go to ctest
# (for example -R audio) and skip the smoke run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBIR_SANITIZE=ON \
      -DTAMBIR_BENCH=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$build"

# The libraries cross-compiled for 64-bit ARM, so that nothing x86-64 leaks out of its guard: the
# engine, the devices, the app, the DirectDraw and Glide stand-ins and the software card without its
# presentation. The Win32, audio and capture stand-ins and the card's presentation include SDL2,
# libopenmpt or FFmpeg, whose arm64 development packages are not installed here.
cross=build/aarch64
cmake -S . -B "$cross" -G Ninja -DCMAKE_TOOLCHAIN_FILE=scripts/aarch64-linux-gnu.cmake \
      -DCMAKE_BUILD_TYPE=Release -DTAMBIR_TESTS=OFF -DTAMBIR_BENCH=OFF \
      -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
objects=$(ninja -C "$cross" -t targets all |
          grep -oE '^(engine|device|app|platform/(ddraw|glide|softcard))/[^:]*\.o' | grep -v sc_present)
ninja -C "$cross" $objects
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j2 "$@"
if [[ $# -eq 0 ]]; then
  scripts/fuzz.sh --smoke
fi
