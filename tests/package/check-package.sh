#!/usr/bin/env bash
# Packs the built reader as `make package` does, into a temporary folder, and
# checks the package holds the program, its .desktop file and its icon, and
# names the libraries it runs on.
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
deb=$(ls "$out"/*.deb)
files=$(dpkg-deb --contents "$deb")
for wanted in ./usr/bin/pagora-viewer ./usr/share/applications/pagora-viewer.desktop \
              ./usr/share/icons/hicolor/64x64/apps/pagora-viewer.png; do
  grep -q " $wanted\$" <<<"$files" || { echo "missing from the package: $wanted"; exit 1; }
done
depends=$(dpkg-deb --field "$deb" Depends)
for wanted in libqt6widgets6 libzip4 libarchive13 libfreeimage3 qt6-image-formats-plugins; do
  grep -q "$wanted" <<<"$depends" || { echo "no relation to $wanted in: $depends"; exit 1; }
done
echo "ok: $(basename "$deb")"
