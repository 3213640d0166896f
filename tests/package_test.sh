#!/usr/bin/env bash
# Makes each package of the build tree with cpack in a temporary folder and checks its name and
# the files it holds: the two executables, the README and the licence, nothing else (no ffmpeg).
# usage: package_test.sh BUILD_DIR VERSION GENERATOR...   (ZIP for the Windows build, TGZ, DEB)
set -euo pipefail
export LC_ALL=C
build=$(cd "$1" && pwd) version=$2
shift 2

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

out=$(mktemp -d "${TMPDIR:-/tmp}/framepack-package-XXXXXX")
trap 'rm -rf "$out"' EXIT
for generator in "$@"; do
  case $generator in
    ZIP) file=framepack-$version-win64.zip top=framepack-$version-win64/ exe=.exe ;;
    TGZ) file=framepack-$version-Linux.tar.gz top=framepack-$version-Linux/ exe="" ;;
    DEB)
      if ! command -v dpkg-shlibdeps >/dev/null; then
        echo "skipped: cpack -G DEB needs dpkg-shlibdeps (package dpkg-dev) for the dependencies"
        exit 77
      fi
      file=framepack_${version}_$(dpkg --print-architecture).deb top=./usr/ exe=""
      ;;
    *) fail "no check for $generator" ;;
  esac
  cpack -G "$generator" -B "$out" --config "$build/CPackConfig.cmake" >"$out/cpack.log" 2>&1 ||
    fail "cpack -G $generator: $(cat "$out/cpack.log")"
  [ -f "$out/$file" ] || fail "cpack -G $generator made no $file: $(ls "$out")"
  if [ "$generator" = DEB ]; then
    listing=$(dpkg-deb --fsys-tarfile "$out/$file" | tar -t)
    fields=$(dpkg-deb -f "$out/$file" Package Version)
    [ "$fields" = $'Package: framepack\nVersion: '"$version" ] || fail "$file says: $fields"
  else
    listing=$(cd "$out" && cmake -E tar tf "$file")
  fi
  held=$(printf '%s\n' "$listing" | grep -v '/$' | sort)
  expected=$(printf '%s\n' "${top}bin/framepack$exe" "${top}bin/framepack-inspect$exe" \
    "${top}share/doc/framepack/LICENSE" "${top}share/doc/framepack/README.md" | sort)
  [ "$held" = "$expected" ] || fail "$file holds"$'\n'"$held"
  echo "$file holds the executables, the README and the licence"
done
