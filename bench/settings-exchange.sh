#!/usr/bin/env bash
# Builds and runs the settings exchange timing benchmark against the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target bench_settings_exchange orvel-sim -j"$(nproc)"
./build/bench/bench_settings_exchange "${1:-5}"
