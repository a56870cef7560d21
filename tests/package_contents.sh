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
./usr/share/lintian/overrides/orvel
./usr/share/man/man1/orvel-sim.1.gz
./usr/share/man/man1/orvel.1.gz
./usr/share/orvel/help-en.html
./usr/share/orvel/help-it.html
./usr/share/orvel/pomoc.html
./usr/share/orvel/server-schema.sql
LIST
)
if [ "$files" != "$expected" ]; then
  echo "files differ:"; diff <(echo "$expected") <(echo "$files") || true; exit 1
fi
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6widgets6 libqt6serialport6 libqt6printsupport6 qt6-qpa-plugins fonts-liberation \
            libqt6sql6-sqlite libqt6sql6-psql qt6-translations-l10n; do
  grep -q "\b$need\b" <<<"$depends" || { echo "Depends lacks $need: $depends"; exit 1; }
done
# The desktop entry starts the installed program by name and shows the installed icon.
entry=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/orvel.desktop)
grep -qx 'Exec=orvel' <<<"$entry" && grep -qx 'Icon=orvel' <<<"$entry" || {
  echo "desktop entry does not name the program and its icon"; exit 1; }
for key in 'Name[pl]' 'Name[it]' 'Comment[pl]' 'Comment[it]'; do
  grep -qF "$key=" <<<"$entry" || { echo "desktop entry lacks $key"; exit 1; }
done
# A maintainer who can be written to, a description shown without wrapping, hardened binaries.
dpkg-deb -f "$deb" Maintainer | grep -Eqv 'localhost|^[^<]*$' || { echo "no maintainer address"; exit 1; }
[ -z "$(dpkg-deb -f "$deb" Description | awk 'length($0) > 80')" ] || { echo "long lines"; exit 1; }
root=$(mktemp -d -p "$out")
dpkg-deb -x "$deb" "$root"
for bin in orvel orvel-sim; do
  readelf -dW "$root/usr/bin/$bin" | grep -q 'FLAGS_1.*NOW' || { echo "$bin: no -z now"; exit 1; }
  # Checked libc functions (_FORTIFY_SOURCE) and the stack protector, whatever the build type.
  syms=$(readelf --dyn-syms -W "$root/usr/bin/$bin")
  grep -Eq '__[a-z_]+_chk@' <<<"$(grep -v __stack_chk_fail <<<"$syms")" ||
    { echo "$bin: no fortified functions"; exit 1; }
  grep -q '__stack_chk_fail@' <<<"$syms" || { echo "$bin: no stack protector"; exit 1; }
done
echo "package $(basename "$deb"), $(stat -c %s "$deb") bytes, $(wc -l <<<"$files") files"
