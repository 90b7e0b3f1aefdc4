#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (optimised, with debug
# info) and runs every test under them, then (without arguments) a 30-second smoke run of every
# fuzzing harness from its corpus (scripts/fuzz.sh --smoke, clang). Extra arguments go to ctest
# (for example -R audio) and skip the smoke run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBIR_SANITIZE=ON >/dev/null
cmake --build "$build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j2 "$@"
if [[ $# -eq 0 ]]; then
  scripts/fuzz.sh --smoke
fi
