#!/usr/bin/env bash
# Builds an optimised release (the programs and the show's data) and plays the show, full screen
# with sound.
# Usage: scripts/play.sh [glide] [stand-in options] [--] [ten integers]
#   glide             play the Glide program instead of the Direct3D one
#   TAMBIR_DATA=dir   play the data files in dir instead of the ones the build makes
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/deps.sh
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBIR_TESTS=OFF -DTAMBIR_BENCH=OFF >/dev/null
cmake --build "$build"

program=demo_d3d
if [[ "${1:-}" == glide ]]; then program=demo_glide; shift; fi
data="${TAMBIR_DATA:-$root/$build/data}"
if [[ ! -d "$data" ]]; then
  echo "play: no data directory $data" >&2
  exit 1
fi
cd "$data"
exec "$root/$build/app/$program" "$@"
