#!/usr/bin/env bash
# Renders the program's images from their SVG sources (resources/images/*.svg)
# into the PNG files that the resource script embeds, at 100 % (name.png) and
# at 125, 150, 175 and 200 % of the screen's scale (name@125.png ...), and
# writes that resource script (resources/images.rc). The PNGs are committed;
# run this after changing an SVG and check that each picture has the size the
# windows expect. Needs rsvg-convert (Debian package librsvg2-bin), zopflipng
# (zopfli) to keep the files small, and the Liberation fonts
# (fonts-liberation) for the wordmarks.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
images="$root/resources/images"

for tool in rsvg-convert:librsvg2-bin zopflipng:zopfli; do
  command -v "${tool%%:*}" >/dev/null || { echo "${tool%%:*} is missing (apt-get install ${tool#*:})" >&2; exit 1; }
done

# name:width:height for every picture; the size is the SVG's own at 100 % and is checked.
pictures=(
  close:58:53 close_hot:58:53 open:58:53 open_hot:58:53
  logo_fg:64:64 logo_sl:64:64 logo_lg:64:64 logo_ww:64:64
  logo_lock:158:65 kxlogo:163:48
)
# The program picks the variant at or above the screen's scale; a side of
# the variant is the 100 % side scaled and rounded half up, as the program
# scales positions.
percents=(100 125 150 175 200)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rc="$work/images.rc"
cat >"$rc" <<'EOF'
// The program's PNG images as raw-data resources, written by
// scripts/make-images.sh. The windows load them by image name through
// CreatePNGFromResource ("PNG_" + image name), which picks the variant for
// the screen's scale: PNG_NAME at 100 %, PNG_NAME_125 ... PNG_NAME_200.
// Paths are relative to this folder.
EOF

for entry in "${pictures[@]}"; do
  IFS=: read -r name width height <<<"$entry"
  for percent in "${percents[@]}"; do
    w=$(((width * percent + 50) / 100))
    h=$(((height * percent + 50) / 100))
    file="$name.png"
    resource="PNG_${name^^}"
    if [ "$percent" != 100 ]; then
      file="$name@$percent.png"
      resource="${resource}_$percent"
    fi
    rsvg-convert --format=png --width="$w" --height="$h" --output="$work/$file" "$images/$name.svg"
    # Lossless; only the colour of fully transparent pixels may change. The
    # program's decoder reads 8-bit RGBA only (colour type 6, depth 8, not
    # interlaced), which rsvg-convert writes: when zopflipng chose a smaller
    # colour type, the picture keeps rsvg-convert's file.
    rm -f "$images/$file"
    zopflipng -y -m --lossy_transparent "$work/$file" "$images/$file" >/dev/null
    [ "$(od -An -tu1 -j24 -N2 "$images/$file" | tr -s ' ')" = " 8 6" ] || cp "$work/$file" "$images/$file"
    format="$(od -An -tu1 -j24 -N5 "$images/$file" | tr -s ' ')"
    actual="$(od -An -tu4 --endian=big -j16 -N8 "$images/$file" | awk '{print $1":"$2}')"
    if [ "$format" != " 8 6 0 0 0" ] || [ "$actual" != "$w:$h" ]; then
      echo "$file: expected ${w}x${h}, 8-bit RGBA, not interlaced; got $actual (depth, colour type, methods:$format)" >&2
      exit 1
    fi
    printf '%-22s RCDATA "images/%s"\n' "$resource" "$file" >>"$rc"
    echo "$file ${w}x${h} $(stat -c %s "$images/$file") bytes"
  done
done
cp "$rc" "$root/resources/images.rc"
