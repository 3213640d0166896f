#!/usr/bin/env bash
# The most room a conversion takes on disk, on a generated 1920x1080, 30 fps, 10 s clip, with the
# working folder on a tmpfs of its own: A with the real ffmpeg (frames and pack together), P with
# the frames ready and a stand-in for ffmpeg that only moves them into place (the packing alone:
# the room it needs beyond the frames).
# Usage: bench/disk.sh [RUNS] [FRAMEPACK]   defaults: 5 runs, framepack built here in release mode
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
install_missing_packages cmake g++ make ffmpeg coreutils
runs=${1:-5}

build=$PWD/build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DFRAMEPACK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
g++ -O2 -o "$build/disk_peak" bench/disk_peak.cc
g++ -O2 -static -o "$build/move_frames" bench/move_frames.cc
framepack=$(realpath "${2:-$build/framepack}")
disk=$build/disk
mkdir -p "$disk"
mountpoint -q "$disk" && umount "$disk"
if ! mount -t tmpfs -o size=1g tmpfs "$disk"; then
  echo "A tmpfs cannot be mounted here (root is needed): no figures."
  exit 1
fi
trap 'umount "$disk"' EXIT
mkdir -p "$disk/a/lib" "$disk/p/lib"
ln -s "$(command -v ffmpeg)" "$disk/a/lib/ffmpeg.exe"
cp "$build/move_frames" "$disk/p/lib/ffmpeg.exe"
echo video >"$disk/p/clip.mp4"
ffmpeg -v error -y -f lavfi -i testsrc=duration=10:size=1920x1080:rate=30 -c:v libx264 \
  -pix_fmt yuv420p "$disk/a/clip.mp4"
mkdir "$disk/frames"
ffmpeg -v error -y -i "$disk/a/clip.mp4" -q:v 1 "$disk/frames/frame%05d.jpg"
frame_bytes=$(du -sb --apparent-size "$disk/frames" | cut -f1)
largest=$(find "$disk/frames" -type f -printf '%s\n' | sort -n | tail -1)

# Prints the median of the numbers on standard input.
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

: >"$build/peak-a"
: >"$build/peak-p"
for round in $(seq "$runs"); do
  echo "Round $round of $runs"
  rm -f "$disk/a/out.bin" "$disk/p/out.bin"
  (cd "$disk/a" && "$build/disk_peak" . "$framepack" clip.mp4 out.bin 2>/dev/null </dev/null |
    tail -1 | cut -d' ' -f1 >>"$build/peak-a")
  rm -rf "$disk/p/made" && cp -r "$disk/frames" "$disk/p/made"
  (cd "$disk/p" && "$build/disk_peak" . "$framepack" clip.mp4 out.bin 2>/dev/null </dev/null |
    tail -1 | cut -d' ' -f1 >>"$build/peak-p")
done
pack=$(stat -c %s "$disk/a/out.bin")
a=$(median <"$build/peak-a")
p=$(median <"$build/peak-p")
echo
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "framepack: $framepack"
echo "Clip: $(ls "$disk/frames" | wc -l) frames, $frame_bytes bytes of JPEG, largest $largest; pack $pack bytes"
printf 'A whole conversion, peak above the start: %d bytes, %.2f of the frames\n' "$a" \
  "$(echo "$a / $frame_bytes" | bc -l)"
printf 'P packing ready frames, peak above the frames: %d bytes, %.2f of the frames, %.2f of the largest frame\n' \
  "$p" "$(echo "$p / $frame_bytes" | bc -l)" "$(echo "$p / $largest" | bc -l)"
