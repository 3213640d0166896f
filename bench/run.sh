#!/usr/bin/env bash
# framepack's cost beside ffmpeg alone, a single-stream peer and the copy limit, on a generated
# 1920x1080, 30 fps, 10 s clip; then the listing and packing stages alone on many small frames.
# Usage: bench/run.sh [RUNS] [SCALE_SIZES]   defaults: 9 runs, "50000 100000 200000" files
# The cases run in alternation, round after round; ratios are medians of each round's own ratio,
# which a shared machine's drifting load disturbs less than a ratio of medians.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
install_missing_packages cmake g++ make ffmpeg time coreutils findutils
runs=${1:-9}
sizes=${2-50000 100000 200000}

build=$PWD/build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DFRAMEPACK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
g++ -O2 -o "$build/trivial" bench/trivial.cc
g++ -O2 -static -o "$build/move_frames" bench/move_frames.cc
framepack=$build/framepack
work=$build/work
rm -rf "$work" && mkdir -p "$work/lib" "$work/pack/lib"
ln -s "$(command -v ffmpeg)" "$work/lib/ffmpeg.exe"
# The listing and packing stages alone: a stand-in for ffmpeg moves ready frames into place.
cp "$build/move_frames" "$work/pack/lib/ffmpeg.exe"
echo video >"$work/pack/clip.mp4"

echo "Making the clip (1920x1080, 30 fps, 10 s, libx264)"
ffmpeg -v error -y -f lavfi -i testsrc=duration=10:size=1920x1080:rate=30 -c:v libx264 \
  -pix_fmt yuv420p "$work/clip.mp4"

# Runs a command in a folder; appends "seconds peak_rss_kib" to $work/NAME.
measure() {
  local name=$1 folder=$2
  shift 2
  local start end
  start=$(date +%s%N)
  (cd "$folder" && /usr/bin/time -f '%M' -o "$work/.rss" "$@" >/dev/null 2>&1 </dev/null)
  end=$(date +%s%N)
  echo "$(((end - start) / 1000)) $(cat "$work/.rss")" >>"$work/$name"
}

# Prints the median of column K (1: microseconds, 2: KiB) of $work/NAME.
median() {
  sort -n -k"$2" "$work/$1" | awk -v k="$2" '{v[NR]=$k} END {print v[int((NR+1)/2)]}'
}

# Prints the median over the rounds of NAME's time divided by OTHER's.
paired() {
  paste -d' ' "$work/$1" "$work/$2" | awk '{print $1 / $3}' | sort -g |
    awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'
}

rm -f "$work"/{A,B,C,D,E,P,T,P0,D0}
for round in $(seq "$runs"); do
  echo "Round $round of $runs"
  measure A "$work" "$framepack" clip.mp4 out.bin
  rm -rf "$work/frames" && mkdir "$work/frames"
  measure B "$work" ffmpeg -y -i clip.mp4 -q:v 1 frames/frame%05d.jpg
  measure C "$work" ffmpeg -y -i clip.mp4 -q:v 1 -f image2pipe -c:v mjpeg stream.mjpeg
  measure D "$work" sh -c 'cat frames/frame*.jpg > cat.bin'
  # Deleting the frame files, which the packing stage does too and cat does not.
  cp -al "$work/frames" "$work/linked"
  measure E "$work" rm -r linked
  rm -rf "$work/pack/made" && cp -al "$work/frames" "$work/pack/made"
  measure P "$work/pack" "$framepack" clip.mp4 out.bin
  # The same two with nothing to copy: what is left is the cost of starting up.
  mkdir "$work/pack/made"
  measure P0 "$work/pack" "$framepack" clip.mp4 empty.bin
  measure D0 "$work" sh -c 'cat < /dev/null > cat0.bin'
  measure T "$work" "$build/trivial"
done

bytes=$(stat -c %s "$work/cat.bin")
largest=$(find "$work/frames" -type f -printf '%s\n' | sort -n | tail -1)
frames=$(find "$work/frames" -type f | wc -l)
cmp -s "$work/out.bin" "$work/pack/out.bin" || echo "warning: the two packs differ"
a=$(median A 1) b=$(median B 1) c=$(median C 1) d=$(median D 1) p=$(median P 1)
p0=$(median P0 1) d0=$(median D0 1) e=$(median E 1)
rss_p=$(median P 2) rss_t=$(median T 2)
echo
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "Clip: $frames frames, $bytes bytes of JPEG, largest frame $largest bytes; $runs rounds"
echo
printf '%-46s %10s\n' "case (median)" "seconds"
printf '%-46s %10.3f\n' "A framepack clip.mp4 out.bin" "$(echo "$a / 1000000" | bc -l)"
printf '%-46s %10.3f\n' "B ffmpeg writing the frame files" "$(echo "$b / 1000000" | bc -l)"
printf '%-46s %10.3f\n' "C ffmpeg writing one image2pipe stream" "$(echo "$c / 1000000" | bc -l)"
printf '%-46s %10.3f\n' "D cat of the frame files" "$(echo "$d / 1000000" | bc -l)"
printf '%-46s %10.3f\n' "P framepack's listing and packing alone" "$(echo "$p / 1000000" | bc -l)"
echo
printf 'A/B %.3f (target at most 1.03)\n' "$(paired A B)"
printf 'A/C %.3f\n' "$(paired A C)"
printf 'packing throughput %.0f MB/s, cat %.0f MB/s: %.2f of the copy limit (target at least 0.9)\n' \
  "$(echo "$bytes / $p" | bc -l)" "$(echo "$bytes / $d" | bc -l)" "$(paired D P)"
printf '  less start-up (%.1f ms and %.1f ms with nothing to copy): %.0f MB/s against %.0f MB/s, %.2f\n' \
  "$(echo "$p0 / 1000" | bc -l)" "$(echo "$d0 / 1000" | bc -l)" "$(echo "$bytes / ($p - $p0)" | bc -l)" \
  "$(echo "$bytes / ($d - $d0)" | bc -l)" "$(echo "($d - $d0) / ($p - $p0)" | bc -l)"
paste -d' ' "$work/D" "$work/E" "$work/D0" | awk '{print $1 + $3 - $5, 0}' >"$work/DE"
printf '  against cat and then rm of the files (%.1f ms for rm): %.2f\n' "$(echo "($e - $d0) / 1000" | bc -l)" \
  "$(paired DE P)"
printf 'peak memory: framepack %d KiB, trivial C++ program %d KiB: %d KiB above it, %d KiB allowed\n' \
  "$rss_p" "$rss_t" "$((rss_p - rss_t))" "$((largest / 1024 + 4096))"

echo
echo "Scale: listing and packing alone on many small frames (100 bytes each)"
printf '%-10s %12s %12s %10s %14s\n' files framepack_s cat_s ratio us_per_file
for n in $sizes; do
  master=$work/scale-$n
  if [ ! -d "$master" ]; then
    mkdir -p "$master"
    head -c $((n * 100)) /dev/urandom | (cd "$master" && split -b 100 -a 6 -d - frame)
  fi
  rm -f "$work/S$n" "$work/K$n"
  for round in $(seq "$runs"); do
    rm -rf "$work/pack/made" && cp -al "$master" "$work/pack/made"
    measure "S$n" "$work/pack" "$framepack" clip.mp4 out.bin
    measure "K$n" "$master" sh -c 'find . -type f -print0 | sort -z | xargs -0 cat > ../cat.bin'
  done
  s=$(median "S$n" 1) k=$(median "K$n" 1)
  printf '%-10s %12.3f %12.3f %10.2f %14.2f   peak %d KiB\n' "$n" "$(echo "$s / 1000000" | bc -l)" \
    "$(echo "$k / 1000000" | bc -l)" "$(paired "S$n" "K$n")" "$(echo "$s / $n" | bc -l)" \
    "$(median "S$n" 2)"
done
