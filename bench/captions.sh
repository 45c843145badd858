#!/usr/bin/env bash
# What captions cost: a 1080p show of PHOTOS camera-sized photos (bench/make-photos.sh), 3 s each
# with 0.5 s crossfades, into Motion JPEG at 25 fps, rendered with a caption on every picture
# ('{name} — {date}' with a shadow: the date read from each photo) and without, in interleaved rounds: the median wall time of each and the ratio. Once with still pictures, once
# with automatic motion, where every frame is drawn anew and the words are put on each.
#
# Usage: bench/captions.sh [PHOTOS] [ROUNDS]   (12 photos and 3 rounds by default)
set -euo pipefail
cd "$(dirname "$0")/.."
photos=${1:-12}
rounds=${2:-3}
cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-cli >/dev/null
root=$PWD
cli=$root/build/ci/src/cli/kinetar-cli
work=$PWD/build/bench-captions
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
cd "$work"
bash "$root/bench/make-photos.sh" "$work/photos" "$photos" >/dev/null 2>&1

for motion in none auto; do
  "$cli" new "plain-$motion.AVIprj"
  "$cli" add "plain-$motion.AVIprj" --fit crop --duration 3 --crossfade 0.5 --motion "$motion" photos/*.jpg
  "$cli" set "plain-$motion.AVIprj" --size 1080p --fps 25 --output "$work/plain-$motion.avi" --codec MJPG >/dev/null
  cp "plain-$motion.AVIprj" "captioned-$motion.AVIprj"
  "$cli" caption "captioned-$motion.AVIprj" all '{name} — {date}'
  "$cli" set "captioned-$motion.AVIprj" --output "$work/captioned-$motion.avi" >/dev/null
  for name in plain captioned; do
    "$cli" render "$name-$motion.AVIprj" --quiet # warm the page cache
  done
  : >"times-$motion.txt"
  for ((round = 0; round < rounds; round++)); do
    for name in plain captioned; do
      sync
      /usr/bin/time -f "$name %e" -a -o "times-$motion.txt" "$cli" render "$name-$motion.AVIprj" --quiet
    done
  done
  /usr/bin/python3 - "times-$motion.txt" "$motion" "$photos" <<'PY'
import statistics, sys
times = {}
for line in open(sys.argv[1]):
    name, seconds = line.split()
    times.setdefault(name, []).append(float(seconds))
plain = statistics.median(times['plain'])
captioned = statistics.median(times['captioned'])
print(f"motion {sys.argv[2]:4s}, {sys.argv[3]} photos: without captions {plain:.2f} s, with {captioned:.2f} s, "
      f"cost {100 * (captioned / plain - 1):+.1f} % (rounds: {times['plain']} / {times['captioned']})")
PY
done
