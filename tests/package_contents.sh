#!/usr/bin/env bash
# The Debian package: what it installs and what it depends on. Builds it with CPack from the
# build tree given as $1 into a scratch folder and reads it back with dpkg-deb.
set -euo pipefail
build=${1:?build directory}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >/dev/null
deb=$(ls "$out"/orvel_*_*.deb)
case "$(basename "$deb")" in
  orvel_[0-9]*.[0-9]*_"$(dpkg --print-architecture)".deb) ;;
  *) echo "unexpected package name: $(basename "$deb")"; exit 1 ;;
esac
files=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$' | sort)
expected=$(sort <<'LIST'
./usr/bin/orvel
./usr/bin/orvel-sim
./usr/share/applications/orvel.desktop
./usr/share/doc/orvel/changelog.gz
./usr/share/doc/orvel/copyright
./usr/share/icons/hicolor/scalable/apps/orvel.svg
./usr/share/man/man1/orvel-sim.1.gz
./usr/share/man/man1/orvel.1.gz
./usr/share/orvel/help-en.html
./usr/share/orvel/help-it.html
./usr/share/orvel/pomoc.html
LIST
)
if [ "$files" != "$expected" ]; then
  echo "files differ:"; diff <(echo "$expected") <(echo "$files") || true; exit 1
fi
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6widgets6 libqt6serialport6 libqt6printsupport6 qt6-qpa-plugins fonts-liberation \
            libqt6sql6-sqlite libqt6charts6; do
  grep -q "\b$need\b" <<<"$depends" || { echo "Depends lacks $need: $depends"; exit 1; }
done
# The desktop entry starts the installed program by name and shows the installed icon.
entry=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/orvel.desktop)
grep -qx 'Exec=orvel' <<<"$entry" && grep -qx 'Icon=orvel' <<<"$entry" || {
  echo "desktop entry does not name the program and its icon"; exit 1; }
# A maintainer who can be written to, and a description dpkg shows without wrapping.
maintainer=$(dpkg-deb -f "$deb" Maintainer)
grep -Eq '^[^<>]+ <[^@<>]+@[^@<>]+\.[a-z]+>$' <<<"$maintainer" && ! grep -q localhost <<<"$maintainer" ||
  { echo "maintainer is not a real address: $maintainer"; exit 1; }
long=$(dpkg-deb -f "$deb" Description | awk 'length($0) > 80')
[ -z "$long" ] || { echo "description lines over 80 columns: $long"; exit 1; }
# The shipped binaries are hardened: relocations read-only and bound at start.
root=$(mktemp -d -p "$out")
dpkg-deb -x "$deb" "$root"
for bin in orvel orvel-sim; do
  readelf -lW "$root/usr/bin/$bin" | grep -q GNU_RELRO &&
    readelf -dW "$root/usr/bin/$bin" | grep -Eq 'BIND_NOW|FLAGS_1.*NOW' ||
    { echo "$bin is not linked with -z relro -z now"; exit 1; }
done
# Compressed pages carry no name or time, so the package is the same from build to build.
for gz in usr/share/man/man1/orvel.1.gz usr/share/man/man1/orvel-sim.1.gz usr/share/doc/orvel/changelog.gz; do
  [ "$(od -An -tu4 -j4 -N4 "$root/$gz" | tr -d ' ')" = 0 ] || { echo "$gz carries a time"; exit 1; }
done
echo "package $(basename "$deb"), $(stat -c %s "$deb") bytes, $(wc -l <<<"$files") files"
