#!/usr/bin/env bash
# Installs what the tests need and runs every test, warnings as errors: the native suite (with the
# black-box runs repeated under valgrind), the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer with a bounded fuzzing run, then the Windows build under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
install_missing_packages cmake g++ make libgtest-dev ffmpeg coreutils valgrind clang \
  libclang-rt-14-dev

cmake -S . -B build -DFRAMEPACK_WERROR=ON -DFRAMEPACK_TESTS=ON
cmake --build build -j"$(nproc)"
(cd build && ctest --output-on-failure -j"$(nproc)")

CC=clang CXX=clang++ cmake -S . -B build-sanitize -DFRAMEPACK_WERROR=ON -DFRAMEPACK_TESTS=ON \
  -DFRAMEPACK_SANITIZE=ON -DFRAMEPACK_FUZZ=ON
cmake --build build-sanitize -j"$(nproc)"
# Exit codes of their own, so that no sanitizer report passes for an expected failure.
(cd build-sanitize && ASAN_OPTIONS=exitcode=86 UBSAN_OPTIONS=exitcode=87:print_stacktrace=1 \
  ctest --output-on-failure -j"$(nproc)")
bash tools/fuzz.sh build-sanitize 60

bash tools/test-windows.sh
