#!/usr/bin/env bash
# Regenerates docs/gallery/: small PNGs of each shape in both placement modes,
# of each Type over a photo-like test layer with transparency, and an animated
# ramp (a GIF and a contact sheet of its frames), all rendered by velkorramp
# through the simulated host, plus the folder's README listing them.
#
# Usage: scripts/make-gallery.sh [path/to/velkorramp]
# The tool defaults to $VELKORRAMP, else build/release/cli/velkorramp. The test
# layer is drawn with oiiotool (Debian package openimageio-tools).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-${VELKORRAMP:-$root/build/release/cli/velkorramp}}
out=$root/docs/gallery
size=160x90

if [ ! -x "$tool" ]; then
  echo "make-gallery: no velkorramp at $tool; build it or pass its path" >&2
  exit 2
fi
command -v oiiotool >/dev/null || { echo "make-gallery: oiiotool is missing (openimageio-tools)" >&2; exit 2; }

mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

colors=(--start-color '#F2A541' --end-color '#2B3A67')
entries=()
render() {  # render NAME "caption" options...
  local name=$1 caption=$2
  shift 2
  "$tool" render "$@" -o "$out/$name.png"
  entries+=("| ![$caption]($name.png) | \`$name.png\` | $caption | \`$*\` |")
}

# Each shape, placed by two points and by centre, length and direction.
for shape in linear linear2 radial; do
  render "$shape-points" "$shape, Two Points" --size $size "${colors[@]}" \
    --shape "$shape" --controlled-by points --start 70,45 --end 120,30
  direction=(--direction 135)
  [ "$shape" = radial ] && direction=()  # a radial ramp has no direction
  render "$shape-center" "$shape, Center & Length" --size $size "${colors[@]}" \
    --shape "$shape" --controlled-by center --center 80,45 --length 50 "${direction[@]}"
done

# A photo-like layer: a four-corner sky gradient with grain and two blocks, made
# opaque by oiiotool, then given a soft round alpha by the tool itself.
oiiotool \
  --pattern fill:topleft=.15,.35,.7:topright=.7,.8,.95:bottomleft=.2,.35,.1:bottomright=.45,.4,.15 $size 3 \
  --pattern noise:type=gaussian:mean=0:stddev=0.05:seed=7 $size 3 --add \
  --box:color=0.85,0.75,0.55:fill=1 18,48,52,88 \
  --box:color=0.55,0.2,0.15:fill=1 100,40,140,88 \
  --ch R,G,B,A=1.0 -d uint8 -o "$work/opaque.png"
render test-layer "the test layer: photo-like, transparent towards the corners" \
  --input "$work/opaque.png" --type alpha --controlled-by center --shape radial \
  --center 80,45 --length 95 --power 4

alphas=(--start-alpha 100 --end-alpha 20)
render type-color "Type color over the test layer: its alpha kept" --input "$out/test-layer.png" \
  --type color "${colors[@]}" --start 0,0 --end 160,90
render type-alpha "Type alpha over the test layer: its colour kept" --input "$out/test-layer.png" \
  --type alpha "${alphas[@]}" --start 0,0 --end 160,90
render type-color-alpha "Type color-alpha over the test layer" --input "$out/test-layer.png" \
  --type color-alpha "${colors[@]}" "${alphas[@]}" --start 0,0 --end 160,90

# An animated ramp: 24 frames whose centre length, direction, start colour and
# power are keyed with Easy Ease (each key slows in and out, as a designer keys
# in the host), rendered as one sequence; oiiotool makes the GIF (12 frames a
# second, looping) and a contact sheet of the frames in order.
anim=(--size $size --controlled-by center --center 80,45 --shape linear2
  --length '30@1:ease,60@12:ease,30@24:ease' --direction '0@1:ease,180@24:ease'
  --end-color '#2B3A67' --start-color '#F2A541@1:ease,#41F2A5@12:ease,#F2A541@24:ease'
  --power '1@1:ease,3@12:ease,1@24:ease')
"$tool" render --frames 1-24 --quiet "${anim[@]}" -o "$work/anim.#.png"
frames=("$work"/anim.*.png)
oiiotool "${frames[@]}" --siappendall --attrib:type=rational FramesPerSecond 12/1 -o "$out/animated.gif"
oiiotool "${frames[@]}" --mosaic:pad=2 6x4 -o "$out/animated-sheet.png"
entries+=("| ![animated ramp](animated.gif) | \`animated.gif\`, \`animated-sheet.png\` | 24 frames, length, direction, start colour and power keyed with Easy Ease; the sheet shows frames 1 to 24 in rows | \`render --frames 1-24 ${anim[*]}\` |")

{
  echo "# Gallery"
  echo
  echo "Rendered by \`scripts/make-gallery.sh\` with \`velkorramp\` through the simulated"
  echo "host, $size, 8-bit. Run the script again to regenerate every picture and this page."
  echo "\`opaque.png\` is the test layer before its alpha: a four-corner gradient with"
  echo "grain and two blocks, drawn by \`oiiotool\` (see the script)."
  echo
  echo "| Picture | File | What | Options |"
  echo "|---|---|---|---|"
  for entry in "${entries[@]}"; do
    entry=${entry//"$work/"/}
    echo "${entry//"$out/"/}"
  done
} > "$out/README.md"
echo "make-gallery: wrote ${#entries[@]} pictures and README.md to $out"
