#!/usr/bin/env bash
# Developer tool: runs the program against the simulator on a virtual display with a window
# manager and saves a screenshot. Usage: scripts/screenshot.sh OUTPUT.png [SECONDS]
#
# Optional environment:
#   ORVEL_SCREENSHOT_CONFIG  a config.cfg to start with (language, window state, port)
#   ORVEL_SCREENSHOT_FILES   files put into the installation directory first, each SOURCE:TARGET
#                            with TARGET relative to it (a drive log: log.csv:logs/drive.csv)
#   ORVEL_SCREENSHOT_SIM     options for the simulator (--rev-cycle, --steady idle ...)
#   ORVEL_SCREENSHOT_KEYS    what is done first, space separated: xdotool key names, and
#                            sim:COMMAND (to the simulator), sleep:SECONDS, type:TEXT (typed into
#                            the focused field; "~" stands for a space), click:X,Y and
#                            ctrlclick:X,Y (the mouse on the screen), close:TITLE (Alt+F4 to the
#                            window of that title)
#   ORVEL_SCREENSHOT_WINDOW  the title of the one window to save; the whole screen otherwise
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$(realpath -m "${1:?output file}")
wait_s=${2:-3}

work=$(mktemp -d)
# The program is let finish its close (it writes config.cfg) before its folder goes.
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/install" "$work/config/orvel2001"
cp resources/pomoc.html resources/help-en.html resources/help-it.html "$work/install/"
printf '[orvel2001]\ndefault=%s\n' "$work/install" > "$work/config/orvel2001/registry.ini"
if [ -n "${ORVEL_SCREENSHOT_CONFIG:-}" ]; then cp "$ORVEL_SCREENSHOT_CONFIG" "$work/install/config.cfg"; fi
for pair in ${ORVEL_SCREENSHOT_FILES:-}; do
  target="$work/install/${pair#*:}"
  mkdir -p "$(dirname "$target")"
  cp "${pair%%:*}" "$target"
done

# shellcheck disable=SC2086
coproc SIM { exec "$root/build/sim/orvel-sim" --log "$work/sim.log" ${ORVEL_SCREENSHOT_SIM:-}; }
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
      type:*) DISPLAY=$display xdotool type --delay 50 "$(tr "~" " " <<<"${k#type:}")"; sleep 0.3 ;;
      click:*)
        IFS=, read -r x y <<<"${k#click:}"
        DISPLAY=$display xdotool mousemove "$x" "$y" click 1; sleep 0.3 ;;
      ctrlclick:*)
        IFS=, read -r x y <<<"${k#ctrlclick:}"
        DISPLAY=$display xdotool mousemove "$x" "$y" keydown ctrl click 1 keyup ctrl; sleep 0.3 ;;
      close:*)
        wid=$(DISPLAY=$display xdotool search --onlyvisible --name "${k#close:}" | head -n 1)
        DISPLAY=$display xdotool windowactivate --sync "$wid" key alt+F4 || true
        sleep 0.3 ;;
      *) DISPLAY=$display xdotool key "$k"; sleep 0.3 ;;
    esac
  done
fi
sleep "$wait_s"
if [ -n "${ORVEL_SCREENSHOT_WINDOW:-}" ]; then
  wid=$(DISPLAY=$display xdotool search --onlyvisible --name "$ORVEL_SCREENSHOT_WINDOW" | head -n 1)
  DISPLAY=$display import -window "$wid" "$out"
else
  DISPLAY=$display import -window root "$out"
fi
echo "saved $out"
