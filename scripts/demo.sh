#!/usr/bin/env bash
# Installs what is missing, builds, starts the controller simulator on a pseudo-terminal and runs
# the program with COM1 mapped to it. Everything the demo writes stays under build/demo.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs" --target orvel orvel-sim

demo="$root/build/demo"
mkdir -p "$demo/install" "$demo/config/orvel2001"
cp resources/pomoc.html "$demo/install/"
# The program's "registry": its installation directory, where config.cfg and dane.cfg live.
cat > "$demo/config/orvel2001/registry.ini" <<INI
[orvel2001]
default=$demo/install
INI

tty="$demo/ttyCOM1"
rm -f "$tty"
coproc SIM { exec "$root/build/sim/orvel-sim" --link "$tty" --state "$demo/eeprom.bin" \
                   --log "$demo/simulator.log"; }
sim_pid=$SIM_PID
# The coprocess's descriptors do not reach subshells; a duplicate does.
exec {sim_in}>&"${SIM[1]}"
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
read -r -t 10 pty <&"${SIM[0]}" || { echo "The simulator did not start." >&2; exit 1; }
echo "Controller simulator on $pty (also $tty); its log: $demo/simulator.log"

# Let the simulated engine rev up and settle back now and then, so the charts have something to show.
( while sleep 12; do echo rev; sleep 6; echo idle; done ) >&"$sim_in" 2>/dev/null &
revver=$!
trap 'kill "$revver" "$sim_pid" 2>/dev/null || true' EXIT

export XDG_CONFIG_HOME="$demo/config"
export ORVEL_COM1="$tty"
export ORVEL_COM2="$demo/no-second-port"
cd "$demo/install"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$root/build/src/orvel"
else
  echo "No display found: the program is served over VNC on localhost:5900 (connect a VNC viewer)."
  "$root/build/src/orvel" -platform vnc:size=1280x900
fi
