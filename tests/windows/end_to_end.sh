#!/usr/bin/env bash
# End-to-end runs of framepack.exe under wine, each in a fresh working directory, with the real
# Windows ffmpeg or with fake_ffmpeg.exe as lib\ffmpeg.exe.
# Usage: end_to_end.sh FRAMEPACK_EXE INSPECT_EXE FAKE_FFMPEG_EXE FFMPEG_EXE
set -u
framepack=$1 inspect=$2 fake=$3 ffmpeg=$4
wine=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
passed=0
failed=0
banner='\nConverting, please wait...\n\n'

# Starts a case in a new working directory with an empty lib folder.
new_case() {
  name=$1
  work=$root/$((passed + failed))-$RANDOM
  mkdir -p "$work/lib"
  case_failed=0
}

# Runs an executable under wine in the working directory; its output lands in $work/.out.
on_wine() {
  (cd "$work" && "$wine" "$@" </dev/null >"$work/.out" 2>"$work/.err")
  status=$?
}

fail() {
  echo "FAILED: $name: $*"
  case_failed=1
}

# Expects exactly this output (written with \n, which the Windows run time writes as \r\n).
expect_out() {
  printf "$1" | sed 's/$/\r/' >"$work/.expected"
  cmp -s "$work/.expected" "$work/.out" ||
    fail "output was $(od -c "$work/.out" | head -8), expected $(od -c "$work/.expected" | head -8)"
}

expect_status() { [ "$status" = "$1" ] || fail "exit status $status, expected $1"; }
expect_file() { [ "$(cat "$work/$1" 2>/dev/null)" = "$2" ] || fail "$1 does not hold '$2'"; }
expect_missing() { [ ! -e "$work/$1" ] && [ ! -L "$work/$1" ] || fail "$1 is still there"; }

end_case() {
  if [ "$case_failed" = 0 ]; then
    passed=$((passed + 1))
    echo "ok: $name"
  else
    failed=$((failed + 1))
  fi
}

with_fake() {
  cp "$fake" "$work/lib/ffmpeg.exe"
  printf '%s\n' "$@" >"$work/fake.txt"
}

with_real_ffmpeg() {
  ln -s "$ffmpeg" "$work/lib/ffmpeg.exe"
  cp "$root/clip.mp4" "$work/clip.mp4"
}

# One sample clip for all cases, made by the Windows ffmpeg itself.
work=$root
on_wine "$ffmpeg" -v error -f lavfi -i testsrc=duration=1:size=64x48:rate=10 -c:v libx264 \
  -pix_fmt yuv420p clip.mp4
if [ "$status" != 0 ]; then
  echo "FAILED: the Windows ffmpeg cannot make the sample clip: $(cat "$root/.err")"
  echo "0 passed, 1 failed"
  exit 1
fi

new_case "a generated clip converts to a sound pack of its frames"
with_real_ffmpeg
on_wine "$framepack" clip.mp4 out.bin
expect_status 0
expect_out "$banner\n\nConverted successful!\n"
expect_missing lib/temp
on_wine "$inspect" out.bin --extract frames
expect_status 0
head -1 "$work/.out" | grep -q '^frames: 10' || fail "inspect says $(head -1 "$work/.out")"
on_wine "$ffmpeg" -v error -i clip.mp4 -q:v 1 -f image2pipe -c:v mjpeg -
cat "$work"/frames/frame*.jpg | cmp -s - "$work/.out" || fail "frames differ from ffmpeg's own stream"
end_case

new_case "user options reach ffmpeg"
with_real_ffmpeg
on_wine "$framepack" clip.mp4 out.bin -vf scale=32:-1
expect_status 0
on_wine "$inspect" out.bin --extract frames
on_wine "$ffmpeg" -hide_banner -i 'frames\frame00001.jpg'
grep -q ' 32x24' "$work/.err" || fail "the frame is not 32x24: $(grep Video "$work/.err")"
end_case

new_case "a missing input is reported"
with_real_ffmpeg
on_wine "$framepack" missing.mp4 out.bin
expect_status 1
expect_out "${banner}missing.mp4 file not found.\n"
expect_missing out.bin
end_case

new_case "an output in a missing folder is reported and the scratch folder removed"
with_real_ffmpeg
mkdir -p "$work/lib/temp/sub" && echo old >"$work/lib/temp/sub/frame00001.jpg"
on_wine "$framepack" clip.mp4 'nodir\out.bin'
expect_status 1
expect_out "${banner}Unable to create: nodir\\\\out.bin\n"
expect_missing lib/temp
end_case

new_case "a missing lib\\ffmpeg.exe fails the conversion"
echo video >"$work/clip.mp4"
on_wine "$framepack" clip.mp4 out.bin
expect_status 1
expect_out "$banner\n\nUnable to convert clip.mp4\n"
expect_file out.bin ""
expect_missing lib/temp
end_case

new_case "frames are packed in frame number order past 99999"
echo video >"$work/clip.mp4"
with_fake "text frame100001.jpg d" "text frame99999.jpg b" "text frame100000.jpg c" \
  "text frame00001.jpg a"
on_wine "$framepack" clip.mp4 out.bin
expect_status 0
expected=$root/order.expected
printf '\4\0\0\0\1\0\0\0\4\0\0\0a\1\0\0\0\15\0\0\0b\1\0\0\0\26\0\0\0c\1\0\0\0\37\0\0\0d' >"$expected"
cmp -s "$expected" "$work/out.bin" || fail "pack is $(od -c "$work/out.bin")"
end_case

new_case "ffmpeg's command line and output pass through cmd.exe unchanged"
echo video >"$work/we ird & (x) ^ ;!.mp4"
with_fake "args" "echo A" "echo B"
on_wine "$framepack" 'we ird & (x) ^ ;!.mp4' out.bin -vf scale=32:-1
expect_status 0
expect_out "${banner}A\n\nB\n\n\n\nConverted successful!\n"
printf '[-i]\n[we ird & (x) ^ ;!.mp4]\n[-vf]\n[scale=32:-1]\n[lib/temp/frame%%05d.jpg]\n' \
  >"$root/args.expected"
cmp -s "$root/args.expected" "$work/args.txt" || fail "ffmpeg got $(cat "$work/args.txt")"
end_case

new_case "a failing ffmpeg fails the conversion"
echo video >"$work/clip.mp4"
with_fake "text frame00001.jpg a" "exit 1"
on_wine "$framepack" clip.mp4 out.bin
expect_status 1
expect_out "$banner\n\nUnable to convert clip.mp4\n"
expect_file out.bin ""
end_case

new_case "offsets past 2 GiB are exact although long has 32 bits"
echo video >"$work/clip.mp4"
with_fake "size frame00001.jpg 2147483748" "text frame00002.jpg tail"
on_wine "$framepack" clip.mp4 out.bin
expect_status 0
size=$(stat -c %s "$work/out.bin")
[ "$size" = 2147483772 ] || fail "pack has $size bytes"
second=$(od -A n -t u4 -j 2147483760 -N 8 "$work/out.bin" | tr -s ' ')
[ "$second" = " 4 2147483760" ] || fail "second record header is$second"
rm -f "$work/out.bin"
end_case

new_case "a link inside the scratch folder is never followed"
with_real_ffmpeg
mkdir -p "$work/outside" "$work/lib/temp" && echo precious >"$work/outside/keep.mp4"
ln -s ../../outside "$work/lib/temp/link"
on_wine "$framepack" clip.mp4 'nodir\out.bin'
expect_status 1
expect_file outside/keep.mp4 precious
end_case

new_case "an output that is the input file is refused"
echo video >"$work/clip.mp4"
ln "$work/clip.mp4" "$work/hard.mp4"
for output in '.\clip.mp4' 'CLIP.MP4' hard.mp4; do
  on_wine "$framepack" clip.mp4 "$output"
  expect_status 1
  expect_out "${banner}Output would overwrite the input: ${output//\\/\\\\}\n"
done
expect_file clip.mp4 video
end_case

new_case "an input path that cmd.exe would expand is refused"
with_fake "args"
echo video >"$work/100%PATH%.mp4"
on_wine "$framepack" '100%PATH%.mp4' out.bin
expect_status 1
expect_out "${banner}Unable to pass the path to ffmpeg: 100%%PATH%%.mp4\n"
expect_missing args.txt
end_case

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
