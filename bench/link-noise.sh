#!/usr/bin/env bash
# How much line noise the live loop takes: oscilloscope mode against the simulator for a while at
# several noise rates (stray bytes per second), reporting live frames per second and whether the
# port stayed open. Numbers, not a pass/fail: run it after changes to the link.
# Usage: bench/link-noise.sh [SECONDS] [RATES...]   (defaults: 60 s; 0 100 300 600 900 B/s)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
rates=("$@")
[ ${#rates[@]} -gt 0 ] || rates=(0 100 300 600 900)
test_bin=build/tests/test_link_sim
[ -x "$test_bin" ] || cmake --build build --target test_link_sim >/dev/null
for rate in "${rates[@]}"; do
  out=$(QT_QPA_PLATFORM=offscreen ORVEL_NOISE_SECONDS="$seconds" ORVEL_NOISE_RATE="$rate" \
        "$test_bin" oscilloscopeModeSurvivesLineNoise 2>&1 || true)
  line=$(grep -o 'noise .*' <<<"$out" | head -n 1)
  if grep -q '^PASS   : .*oscilloscopeModeSurvivesLineNoise' <<<"$out"; then
    echo "$line; port stayed open"
  else
    echo "noise $rate B/s: FAILED: $(grep -m1 'FAIL!' <<<"$out")"
  fi
done
