#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and the demo need, but only those missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config dpkg-dev
  qt6-base-dev qt6-serialport-dev qt6-qpa-plugins libqt6sql6-sqlite libsqlite3-dev
  sqlite3 qt6-translations-l10n libqt6sql6-psql libpq-dev postgresql
  fonts-dejavu-core fonts-liberation
  poppler-utils
  xvfb xauth x11vnc openbox xdotool
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
    echo "Missing packages (${missing[*]}) and not root: run this as root." >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
