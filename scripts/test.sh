#!/usr/bin/env bash
# Installs what is missing, builds the program and its tests, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
cmake -S . -B build-tests -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
cmake --build build-tests
ctest --test-dir build-tests --output-on-failure -j2 --timeout 900
