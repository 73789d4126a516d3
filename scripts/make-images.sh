#!/usr/bin/env bash
# Renders the program's images from their SVG sources (resources/images/*.svg)
# into the PNG files that the resource script embeds. The PNGs are committed;
# run this after changing an SVG and check that each picture has the size the
# windows expect. Needs rsvg-convert (Debian package librsvg2-bin) and the
# Liberation fonts for the wordmarks.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
images="$root/resources/images"

command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing (apt-get install librsvg2-bin)" >&2; exit 1; }

# name:width:height for every picture; the size is the SVG's own and is checked.
pictures=(
  close:58:53 close_hot:58:53 open:58:53 open_hot:58:53
  logo_fg:64:64 logo_sl:64:64 logo_lg:64:64 logo_ww:64:64
  logo_lock:158:65 kxlogo:163:48
)

for entry in "${pictures[@]}"; do
  IFS=: read -r name width height <<<"$entry"
  rsvg-convert --format=png --width="$width" --height="$height" \
    --output="$images/$name.png" "$images/$name.svg"
  # The PNG must keep its alpha channel: colour type 6 (RGBA) in the IHDR chunk.
  colour_type=$(od -An -tu1 -j25 -N1 "$images/$name.png" | tr -d ' ')
  actual="$(od -An -tu4 --endian=big -j16 -N8 "$images/$name.png" | awk '{print $1":"$2}')"
  if [ "$colour_type" != 6 ] || [ "$actual" != "$width:$height" ]; then
    echo "$name.png: expected ${width}x${height} RGBA, got $actual (colour type $colour_type)" >&2
    exit 1
  fi
  echo "$name.png ${width}x${height}"
done
