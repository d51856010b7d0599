#!/usr/bin/env bash
# Builds everything and runs every test (core and window tests) under CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 "$@"
