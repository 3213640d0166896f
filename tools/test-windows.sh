#!/usr/bin/env bash
# Installs what the Windows build needs, cross-builds framepack.exe and its tests with mingw-w64
# (the preset "windows") and runs them under wine, the end-to-end runs with a real Windows ffmpeg.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
install_missing_packages cmake make g++-mingw-w64-x86-64 wine64 googletest coreutils
# Debian's npm, unless a Node.js with its own npm is there already.
command -v npm >/dev/null || install_missing_packages npm

build=build-windows
ffmpeg=$PWD/$build/ffmpeg/ffmpeg.exe
if [ ! -f "$ffmpeg" ]; then
  # A Windows ffmpeg from the npm registry; it stays in the build tree.
  mkdir -p "$build/ffmpeg"
  (cd "$build/ffmpeg" && npm pack --silent @ffmpeg-installer/win32-x64@4.1.0 >/dev/null &&
    tar xzf ffmpeg-installer-win32-x64-4.1.0.tgz package/ffmpeg.exe &&
    mv package/ffmpeg.exe . && rmdir package && rm ffmpeg-installer-win32-x64-4.1.0.tgz)
fi

# The preset "windows" builds in $build and takes ffmpeg from there.
cmake --preset windows -DFRAMEPACK_WERROR=ON
cmake --build --preset windows -j"$(nproc)"
# Make the wine prefix once, before tests start wine side by side.
WINEPREFIX=$PWD/$build/wineprefix WINEDEBUG=-all /usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1
status=0
ctest --preset windows -j"$(nproc)" || status=$?
# The wine server the tests shared goes with them.
WINEPREFIX=$PWD/$build/wineprefix /usr/lib/wine/wineserver -k 2>/dev/null || true
exit "$status"
