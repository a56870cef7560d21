#!/usr/bin/env bash
# Developer tool: runs the program against the simulator on a virtual display with a window
# manager and saves a screenshot. Usage: scripts/screenshot.sh OUTPUT.png [SECONDS] [-- ARGS]
# The optional ORVEL_SCREENSHOT_KEYS (xdotool key names, space separated) are pressed first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$(realpath -m "${1:?output file}")
wait_s=${2:-3}

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/install" "$work/config/orvel2001"
cp resources/pomoc.html resources/help-en.html resources/help-it.html "$work/install/"
printf '[orvel2001]\ndefault=%s\n' "$work/install" > "$work/config/orvel2001/registry.ini"
if [ -n "${ORVEL_SCREENSHOT_CONFIG:-}" ]; then cp "$ORVEL_SCREENSHOT_CONFIG" "$work/install/config.cfg"; fi

coproc SIM { exec "$root/build/sim/orvel-sim" --log "$work/sim.log"; }
read -r pty <&"${SIM[0]}"

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
sleep 0.5
DISPLAY=$display openbox >/dev/null 2>&1 &
sleep 0.5
DISPLAY=$display XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" ORVEL_COM1="$pty" ORVEL_COM2=/dev/orvel-none \
  "$root/build/src/orvel" >/dev/null 2>&1 &
sleep 1.5
if [ -n "${ORVEL_SCREENSHOT_KEYS:-}" ]; then
  for k in $ORVEL_SCREENSHOT_KEYS; do
    case "$k" in
      sim:*) echo "${k#sim:}" >&"${SIM[1]}" ;;
      sleep:*) sleep "${k#sleep:}" ;;
      close:*)
        wid=$(DISPLAY=$display xdotool search --onlyvisible --name "${k#close:}" | head -n 1)
        DISPLAY=$display xdotool windowactivate --sync "$wid" key alt+F4 || true
        sleep 0.3 ;;
      *) DISPLAY=$display xdotool key "$k"; sleep 0.3 ;;
    esac
  done
fi
sleep "$wait_s"
DISPLAY=$display import -window root "$out"
echo "saved $out"
