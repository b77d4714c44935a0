#!/usr/bin/env bash
# Draws docs/icon-desktop-entry.png: the installed desktop entry's icon at
# 256 and 48 pixels with its names, on a light and a dark desktop, as a
# launcher shows it. The icons are the installed PNGs of BUILD_DIR
# (default build-test), so the picture shows what the package ships.
#
# usage: scripts/icon-preview.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD="${1:-build-test}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
DESTDIR="$WORK/root" cmake --install "$BUILD" --prefix /usr >/dev/null
SHARE="$WORK/root/usr/share"
ENTRY="$SHARE/applications/fxtune.desktop"
ICON="$(sed -n 's/^Icon=//p' "$ENTRY")"
NAME="$(sed -n 's/^Name=//p' "$ENTRY")"
NAME_ZH="$(sed -n 's/^Name\[zh_CN\]=//p' "$ENTRY")"
for size in 48 256; do
    cp "$SHARE/icons/hicolor/${size}x${size}/apps/$ICON.png" "$WORK/icon-$size.png"
done

desktop() { # x offset, background, text colour
    cat <<EOF
  <rect x="$1" y="0" width="400" height="340" fill="$2"/>
  <image x="$(($1 + 24))" y="24" width="256" height="256" xlink:href="icon-256.png"/>
  <text x="$(($1 + 152))" y="312" font-size="15" fill="$3" text-anchor="middle">256 px</text>
  <image x="$(($1 + 316))" y="100" width="48" height="48" xlink:href="icon-48.png"/>
  <text x="$(($1 + 340))" y="172" font-size="13" fill="$3" text-anchor="middle">$NAME</text>
  <text x="$(($1 + 340))" y="192" font-size="13" fill="$3" text-anchor="middle">$NAME_ZH</text>
  <text x="$(($1 + 340))" y="312" font-size="15" fill="$3" text-anchor="middle">48 px</text>
EOF
}
{
    echo '<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink"'
    echo '     width="800" height="340" font-family="WenQuanYi Micro Hei, sans-serif">'
    desktop 0 '#f6f5f4' '#2e3436'
    desktop 400 '#242424' '#eeeeec'
    echo '</svg>'
} >"$WORK/preview.svg"
rsvg-convert "$WORK/preview.svg" -o docs/icon-desktop-entry.png
echo "docs/icon-desktop-entry.png"
