#!/usr/bin/env bash
# Decoding large BMPs: ours (bench program kinetar-decode) against ffmpeg, whole process against whole
# process, in the same run. Goal: ratio <= 1.0.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps
cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-decode >/dev/null
DECODE=$PWD/build/ci/bench/kinetar-decode
source bench/compare.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/convert -size 4000x3000 gradient:'#ff2000-#0030ff' -attenuate 0.3 +noise Uniform -type TrueColor BMP3:"$work/rgb24.bmp"
/usr/bin/convert -size 4000x3000 gradient:'#ff2000-#0030ff' -colors 200 -type Palette -compress RLE BMP3:"$work/rle8.bmp"
ls -l "$work"/*.bmp | awk '{ print $5, $9 }'

compare_decode "4000x3000 24-bit" "$work/rgb24.bmp"
compare_decode "4000x3000 RLE8" "$work/rle8.bmp"
