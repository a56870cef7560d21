#!/usr/bin/env bash
# Installs what is missing, builds the program, the simulator and the tests, and runs the whole
# suite twice: a normal build and an AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen

echo "== Build (RelWithDebInfo)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
echo "== Tests"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Build (ASan + UBSan)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVEL_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
echo "== Tests under the sanitizers"
ctest --test-dir build-asan --output-on-failure -j"$jobs"
