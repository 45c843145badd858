#!/usr/bin/env bash
# Pictures small on disk that are large decoded, or that carry metadata the frame never shows: each
# decoded by kinetar-decode of this tree and of an older revision, and by the format library's own
# command-line decoder (pngtopnm, dwebp, heif-convert; netpbm's for BMP, TGA, GIF and PCX), whole
# process against whole process: wall time and peak memory (/usr/bin/time). Then `kinetar-cli
# render` of a project of one 16384x16384 HEIC and of one of six 16384x16384 PNGs into 1280x720
# Motion JPEG, by both builds, whose videos must be equal. Goal: peak memory at most 300 MiB over
# the largest decoded picture (768 MiB for 16384x16384 at 24 bits), and metadata costing no more
# than its reading.
#
# Usage: bench/hostile-pictures.sh [REVISION]
#   REVISION  the older build, 1247b32 by default (the last before pictures were bounded this way)
# Builds the ci preset of both (the older one from `git archive` under build/, kept for the next
# run), or takes NEW_BUILD=dir and OLD_BUILD=dir (build folders holding bench/kinetar-decode and
# src/cli/kinetar-cli). The inputs are made once into build/bench-hostile/in; heif-enc takes
# minutes over the HEIC. Needs /usr/bin/python3 with PIL, heif-enc, netpbm, dwebp, heif-convert
# and /usr/bin/time.
set -euo pipefail
cd "$(dirname "$0")/.."
revision=$(git rev-parse --verify "${1:-1247b32}^{commit}")

if [ -z "${NEW_BUILD:-}" ]; then
  echo "Building this tree..."
  cmake --preset ci >/dev/null
  cmake --build --preset ci --target kinetar-decode kinetar-cli -j 2 >/dev/null
fi
new_build=${NEW_BUILD:-$PWD/build/ci}
old_tree=$PWD/build/bench-hostile-old/$revision
old_build=${OLD_BUILD:-$old_tree/build/ci}
if [ ! -x "$old_build/bench/kinetar-decode" ] || [ ! -x "$old_build/src/cli/kinetar-cli" ]; then
  echo "Building $revision..."
  rm -rf "$old_tree"
  mkdir -p "$old_tree"
  git archive "$revision" | tar -x -C "$old_tree"
  (cd "$old_tree" && cmake --preset ci >/dev/null && cmake --build --preset ci --target kinetar-decode kinetar-cli -j 2 >/dev/null)
fi

in=$PWD/build/bench-hostile/in
work=$PWD/build/bench-hostile/run
rm -rf "$work"
mkdir -p "$in" "$work"
trap 'rm -rf "$work"' EXIT

if [ ! -s "$in/flat.heic" ] || [ ! -s "$in/flat.pcx" ]; then
  echo "Making the pictures..."
  /usr/bin/python3 - "$in" <<'EOF'
import struct, sys, zlib
from PIL import Image

folder = sys.argv[1]

def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

def png(name, width, height, color_type, pixel, interlaced=False, extra=b''):
    # Every pixel the same; filter type 0 on every row; Adam7's seven passes when interlaced.
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    stream = zlib.compressobj(9)
    data = []
    for left, top, x_step, y_step in passes if interlaced else [(0, 0, 1, 1)]:
        row = b'\0' + pixel * len(range(left, width, x_step))
        for _ in range(top, height, y_step):
            data.append(stream.compress(row))
    data.append(stream.flush())
    header = struct.pack('>IIBBBBB', width, height, 8, color_type, 0, 0, 1 if interlaced else 0)
    with open(f'{folder}/{name}', 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + extra + chunk(b'IDAT', b''.join(data)) +
                  chunk(b'IEND', b''))

png('flat-rgb.png', 16384, 16384, 2, bytes([40, 90, 200]))
png('adam7-rgba.png', 16384, 16384, 6, bytes([40, 90, 200, 200]), interlaced=True)
# 400 zTXt chunks, each 16 KB inflating to 16 MB of text.
text = zlib.compress(b'a' * 16_000_000, 9)
png('ztxt.png', 1024, 768, 2, bytes([40, 90, 200]),
    extra=b''.join(chunk(b'zTXt', b'Comment%d\0\0' % i + text) for i in range(400)))
Image.new('RGBA', (16383, 16383), (40, 90, 200, 200)).save(f'{folder}/alpha.webp', quality=50)
# The formats read here without a library, at the same size: an uncompressed BMP (805 MB on
# disk), a run-length TGA, a GIF and a PCX.
Image.MAX_IMAGE_PIXELS = None
flat = Image.new('RGB', (16384, 16384), (40, 90, 200))
flat.save(f'{folder}/flat.bmp')
flat.save(f'{folder}/flat.tga', compression='tga_rle')
flat.save(f'{folder}/flat.pcx')
Image.new('P', (16384, 16384), 3).save(f'{folder}/flat.gif')
EOF
  heif-enc -q 50 "$in/flat-rgb.png" -o "$in/flat.heic" >/dev/null
fi

# measure NAME COMMAND...: one run; prints "seconds peak-MiB", or "refused" when it fails.
measure() {
  local name=$1
  shift
  sync
  if /usr/bin/time -f '%e %M' -o "$work/$name.time" "$@" >/dev/null 2>"$work/$name.err"; then
    awk '{ printf "%.2f s %5.0f MiB", $1, $2 / 1024 }' "$work/$name.time"
  else
    printf '%-16s' refused
  fi
}

peer() {
  case $1 in
  *.png) echo pngtopnm "$1" ;;
  *.webp) echo dwebp -quiet "$1" -pam -o /dev/null ;;
  *.heic) echo heif-convert -q 90 "$1" "$work/peer.jpg" ;;
  *.bmp) echo bmptopnm "$1" ;;
  *.tga) echo tgatoppm "$1" ;;
  *.gif) echo giftopnm "$1" ;;
  *.pcx) echo pcxtoppm "$1" ;;
  esac
}

printf '%-16s %-20s %-20s %-20s %s\n' file older this peer "(peer)"
for file in flat-rgb.png adam7-rgba.png ztxt.png flat.heic alpha.webp flat.bmp flat.tga flat.gif flat.pcx; do
  path=$in/$file
  old=$(measure old "$old_build/bench/kinetar-decode" "$path")
  new=$(measure new "$new_build/bench/kinetar-decode" "$path")
  # shellcheck disable=SC2046  # the peer's command line, split into its words
  theirs=$(measure peer $(peer "$path"))
  printf '%-16s %-20s %-20s %-20s %s\n' "$file" "$old" "$new" "$theirs" "$(peer "$path" | cut -d' ' -f1)"
done

# render BUILD NAME PICTURE...: a project of the pictures into 1280x720 Motion JPEG.
render() {
  local build=$1 name=$2
  shift 2
  local project=$work/$name.AVIprj cli=$build/src/cli/kinetar-cli
  "$cli" new "$project" >/dev/null
  "$cli" set "$project" --size 1280x720 --fps 25 --codec MJPG --output "$work/$name.avi" >/dev/null
  "$cli" add "$project" "$@" >/dev/null
  measure "$name" "$cli" render "$project" --quiet
}

for i in 1 2 3 4 5 6; do
  cp "$in/flat-rgb.png" "$work/picture-$i.png"
done
echo
printf '%-24s %-20s %-20s\n' project older this
old=$(render "$old_build" old-one "$in/flat.heic")
new=$(render "$new_build" new-one "$in/flat.heic")
cmp -s "$work/old-one.avi" "$work/new-one.avi" || echo "the videos differ: one HEIC"
printf '%-24s %-20s %-20s\n' "one HEIC" "$old" "$new"
old=$(render "$old_build" old-six "$work"/picture-*.png)
new=$(render "$new_build" new-six "$work"/picture-*.png)
cmp -s "$work/old-six.avi" "$work/new-six.avi" || echo "the videos differ: six PNGs"
printf '%-24s %-20s %-20s\n' "six PNGs" "$old" "$new"
