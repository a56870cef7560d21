#!/bin/sh
# Builds and runs the oscilloscope-mode benchmarks and prints their numbers.
#   bench/run_monitor_bench.sh [build-dir] [live-seconds] [replay-minutes]
# Numbers only: nothing here passes or fails.
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$src/build"}
seconds=${2:-30}
minutes=${3:-10}

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j2 --target bench_monitor_frame bench_monitor_live bench_drivelog_replay \
  bench_wakeup_latency orvel-sim >/dev/null

export QT_QPA_PLATFORM=offscreen
echo "== per-frame cost of the program ($build)"
"$build/bench/bench_monitor_frame" --frames 20000
echo
echo "== this machine's timer wake-ups, 20 ms apart, ${seconds} s: what caps the live rate"
"$build/bench/bench_wakeup_latency" --seconds "$seconds"
echo
echo "== live loop against the simulator, ${seconds} s, and the same wake-ups meanwhile"
"$build/bench/bench_wakeup_latency" --seconds "$seconds" &
"$build/bench/bench_monitor_live" --seconds "$seconds"
wait
# A USB adapter hands received bytes over when its latency timer runs out (16 ms by default on
# common chips): the live rate at each latency, clean and under line noise, and the rpm scaling's
# sample requests, which keep their 50 ms pacing at every latency.
for latency in 0 4 16; do
  echo
  echo "== live loop, adapter latency ${latency} ms, clean, ${seconds} s"
  "$build/bench/bench_monitor_live" --seconds "$seconds" --latency "$latency"
  echo
  echo "== live loop, adapter latency ${latency} ms, 300 B/s of line noise, ${seconds} s"
  "$build/bench/bench_monitor_live" --seconds "$seconds" --latency "$latency" --noise 300
  echo
  echo "== rpm scaling (F8) sample runs, adapter latency ${latency} ms"
  "$build/bench/bench_monitor_live" --scaling 10 --latency "$latency"
done
echo
echo "== live loop against the simulator with the drive log recording, ${seconds} s"
"$build/bench/bench_monitor_live" --seconds "$seconds" --record
echo
echo "== replay of a ${minutes}-minute drive log on the real timers"
"$build/bench/bench_drivelog_replay" --minutes "$minutes"
