#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, checks what went there, and converts a clip
# made by ffmpeg with the installed framepack, checking the pack with the installed
# framepack-inspect. The Windows executables (and ffmpeg.exe) run under the emulator given.
# usage: install_test.sh BUILD_DIR VERSION FFMPEG [EMULATOR...]
set -euo pipefail
export LC_ALL=C
build=$1 version=$2 ffmpeg=$3
shift 3
exe=""
[ $# -gt 0 ] && exe=.exe

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

prefix=$(mktemp -d "${TMPDIR:-/tmp}/framepack-install-XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix/root" >/dev/null

installed=$(cd "$prefix/root" && find . -type f | sort)
expected=$(printf '%s\n' "./bin/framepack$exe" "./bin/framepack-inspect$exe" \
  ./share/doc/framepack/LICENSE ./share/doc/framepack/README.md | sort)
[ "$installed" = "$expected" ] || fail "installed files are"$'\n'"$installed"
cmp -s "$prefix/root/share/doc/framepack/README.md" "$(dirname "$0")/../README.md" ||
  fail "the installed README differs from the source's"

work=$prefix/work
mkdir -p "$work/lib"
ln -s "$ffmpeg" "$work/lib/ffmpeg.exe"
cd "$work"
"$@" lib/ffmpeg.exe -v error -f lavfi -i testsrc=duration=1:size=64x48:rate=10 \
  -c:v mpeg4 clip.mp4 </dev/null 2>/dev/null || fail "ffmpeg could not make the sample clip"

out=$("$@" "$prefix/root/bin/framepack$exe" clip.mp4 clip.pack -loglevel error </dev/null) ||
  fail "the installed framepack exited with $?: $out"
[ "$(printf '%s' "$out" | tr -d '\r' | tail -n 1)" = "Converted successful!" ] ||
  fail "the installed framepack printed: $out"
[ ! -e lib/temp ] || fail "the scratch folder is still there"

json=$("$@" "$prefix/root/bin/framepack-inspect$exe" clip.pack --json) ||
  fail "the installed framepack-inspect refused the pack: $json"
case "$json" in
  '{"frame_count": 10, "pack_size": '*) ;;
  *) fail "the installed framepack-inspect described the pack as: $json" ;;
esac
version_line=$("$@" "$prefix/root/bin/framepack-inspect$exe" --version | tr -d '\r')
[ "$version_line" = "framepack-inspect $version" ] || fail "--version printed: $version_line"
echo "installed, converted and inspected: $json"
