#!/usr/bin/env bash
# Builds framepack, makes a two-second sample clip with ffmpeg's test source, converts it in the
# folder sample/ and shows what the pack holds.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
install_missing_packages cmake g++ make ffmpeg

cmake -S . -B build-demo -DFRAMEPACK_TESTS=OFF >/dev/null
cmake --build build-demo -j"$(nproc)" >/dev/null

mkdir -p sample/lib
ln -sf "$(command -v ffmpeg)" sample/lib/ffmpeg.exe
ffmpeg -v error -y -f lavfi -i testsrc=duration=2:size=320x240:rate=25 \
  -c:v libx264 -pix_fmt yuv420p sample/clip.mp4

cd sample
../build-demo/framepack clip.mp4 clip.pack -hide_banner -loglevel error -q:v 1
../build-demo/framepack-inspect clip.pack
