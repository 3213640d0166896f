#!/usr/bin/env bash
# Installs what the tests need and runs every test, warnings as errors: the native suite (with the
# black-box runs repeated under valgrind, the installed executables and the packages), the same
# suite under AddressSanitizer and UndefinedBehaviorSanitizer with a bounded fuzzing run, then the
# Windows build under wine. Each build is a preset of CMakePresets.json.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
# dpkg-dev: dpkg-shlibdeps, which gives the Debian package its dependencies.
install_missing_packages cmake g++ make libgtest-dev ffmpeg coreutils valgrind clang \
  libclang-rt-14-dev dpkg-dev

cmake --preset native -DFRAMEPACK_WERROR=ON
cmake --build --preset native -j"$(nproc)"
ctest --preset native -j"$(nproc)"

# The preset's test environment gives the sanitizers exit codes of their own, so that no report
# passes for an expected failure.
cmake --preset sanitize -DFRAMEPACK_WERROR=ON
cmake --build --preset sanitize -j"$(nproc)"
ctest --preset sanitize -j"$(nproc)"
bash tools/fuzz.sh build-sanitize 60

bash tools/test-windows.sh
