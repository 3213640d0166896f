#!/usr/bin/env bash
# Installs what the tests need, builds with warnings as errors and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
install_missing_packages cmake g++ make libgtest-dev ffmpeg coreutils

cmake -S . -B build -DFRAMEPACK_WERROR=ON -DFRAMEPACK_TESTS=ON
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j"$(nproc)"
cd ..

bash tools/test-windows.sh
