#!/usr/bin/env bash
# Makes sure the Debian packages the build and the tests need are installed (the tests on a real
# X server use Xvfb, xlogo of x11-apps, xwininfo of x11-utils, openbox and xdotool; the
# arm64 cross-compiler builds the libraries for 64-bit ARM; the fuzzing harnesses need clang and
# libclang-rt-14-dev, which carries libFuzzer: without recommends, clang-14 does not bring it).
# As root it installs what is missing with apt-get; otherwise it prints the exact apt-get line and
# fails, so the caller stops before a build that cannot work.
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config
          libsdl2-dev libopenmpt-dev libpng-dev libgtest-dev libgmock-dev libbenchmark-dev
          libfreetype-dev fonts-dejavu-core libx11-dev
          xvfb x11-apps x11-utils openbox xdotool
          libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
          libegl-dev libgles-dev libgl1-mesa-dri g++-aarch64-linux-gnu
          clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

line="apt-get install -y --no-install-recommends ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
  echo "deps: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  $line
else
  echo "deps: missing Debian packages. Run as root:" >&2
  echo "  sudo apt-get update && sudo $line" >&2
  exit 1
fi
