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
cp resources/pomoc.html resources/help-en.html resources/help-it.html "$demo/install/"
# The program's "registry": its installation directory, where config.cfg and dane.cfg live.
cat > "$demo/config/orvel2001/registry.ini" <<INI
[orvel2001]
default=$demo/install
INI

tty="$demo/ttyCOM1"
rm -f "$tty"
# The simulator's run-time commands ("silent on", "rev off", "steady idle", ...) come from this
# terminal and from the control FIFO, which any other terminal can write to. The FIFO is held
# open for reading and writing here, so the simulator never sees its input end.
control="$demo/control"
rm -f "$control"
mkfifo "$control"
exec {ctl}<>"$control"
# The simulated engine revs up and settles back now and then, so the charts have something to
# show; "rev off" stops that for a calibration.
coproc SIM { exec "$root/build/sim/orvel-sim" --link "$tty" --state "$demo/eeprom.bin" \
                   --log "$demo/simulator.log" --rev-cycle <&"$ctl"; }
sim_pid=$SIM_PID
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
read -r -t 10 pty <&"${SIM[0]}" || { echo "The simulator did not start." >&2; exit 1; }
echo "Controller simulator on $pty (also $tty); its log: $demo/simulator.log"
forwarder=""
if [ -t 0 ]; then
  # A background job of a script reads /dev/null unless told otherwise: hand it the terminal.
  cat >&"$ctl" <&0 &
  forwarder=$!
  echo "Type simulator commands here, one per line (silent on, silent off, rev off, rev on,"
  echo "steady idle, steady off, noise 300, noise off; see orvel-sim --help)."
fi
echo "From another terminal: echo 'silent on' > $control"
trap 'kill $forwarder "$sim_pid" 2>/dev/null || true' EXIT

export XDG_CONFIG_HOME="$demo/config"
# The workshop archive goes to $XDG_DATA_HOME/orvel2001/archiwum.
export XDG_DATA_HOME="$demo/data"
export ORVEL_COM1="$tty"
export ORVEL_COM2="$demo/no-second-port"
cd "$demo/install"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$root/build/src/orvel"
else
  # No desktop: a private virtual display, shown over VNC on the loopback interface only. The
  # program drives a controller, so it must not be reachable from the workshop's network; from
  # another machine, tunnel the port over SSH (see the README).
  display=""
  for n in $(seq 50 99); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
  done
  [ -n "$display" ] || { echo "No free X display number." >&2; exit 1; }
  Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp -nolisten unix-abstract >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $forwarder "$sim_pid" "$xvfb" ${wm:-} ${vnc:-} 2>/dev/null || true' EXIT
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  DISPLAY=$display openbox >/dev/null 2>&1 &
  wm=$!
  x11vnc -display "$display" -localhost -rfbport 5900 -forever -shared -nopw -quiet \
         -o "$demo/x11vnc.log" >/dev/null 2>&1 &
  vnc=$!
  echo "No display found: the program is served over VNC on localhost:5900 only."
  echo "From another machine: ssh -L 5900:localhost:5900 <user>@<this machine>, then connect a"
  echo "VNC viewer to localhost:5900 there."
  DISPLAY=$display "$root/build/src/orvel"
fi
