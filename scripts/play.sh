#!/usr/bin/env bash
# Builds an optimised release and plays the show, full screen with sound, from the data directory.
# Usage: scripts/play.sh [glide] [stand-in options] [--] [ten integers]
#   glide      play the Glide program instead of the Direct3D one
#   TAMBIR_DATA=dir   where the show's data files are (default: data/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/deps.sh
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBIR_TESTS=OFF -DTAMBIR_BENCH=OFF >/dev/null
cmake --build "$build"

program=demo_d3d
if [[ "${1:-}" == glide ]]; then program=demo_glide; shift; fi
data="${TAMBIR_DATA:-$root/data}"
[[ -d "$data" ]] || data="$root"
cd "$data"
exec "$root/$build/$program" "$@"
