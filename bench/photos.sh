#!/usr/bin/env bash
# Photos into Motion JPEG, whole process against whole process in one interleaved run: 120 photos
# of 4000x3000 (JPEG quality 90, bench/make-photos.sh) rendered by `kinetar-cli render --codec MJPG`
# and by `ffmpeg -framerate 25 -i %04d.jpg -vf scale=W:H -c:v mjpeg -q:v 4 -pix_fmt yuvj420p`, at
# 1280x720 (stretched: the photos are decoded reduced) and at 4000x3000 (no scaling: the decoders
# alone), each for the first 30 and for all 120 photos. Prints the median wall time of ROUNDS
# rounds, the ratio ours / ffmpeg and each one's peak memory.
#
# Usage: bench/photos.sh [ROUNDS]   (builds the ci preset first; needs ffmpeg, python3-pil,
#   python3-skimage and /usr/bin/time). The photos are kept in build/bench-photos/in for the next
#   run. KINETAR_CLI=path times another build of kinetar-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}

cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-cli >/dev/null
cli=${KINETAR_CLI:-$PWD/build/ci/src/cli/kinetar-cli}
work=$PWD/build/bench-photos
mkdir -p "$work/in"
trap 'rm -f "$work"/*.avi "$work"/*.AVIprj "$work"/time.txt "$work"/err.txt' EXIT
if [ ! -f "$work/in/0120.jpg" ]; then
  echo "Making 120 photos of 4000x3000..."
  bench/make-photos.sh "$work/in" 120
fi

# measure COMMAND...: prints "seconds peak-KiB" of one run, its output deleted beforehand.
measure() {
  rm -f "$work/ours.avi" "$work/theirs.avi"
  sync
  sleep 1
  /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" || { cat "$work/err.txt"; exit 1; }
  cat "$work/time.txt"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for size in 1280x720 4000x3000; do
  for count in 30 120; do
    project=$work/photos.AVIprj
    rm -f "$project"
    "$cli" new "$project" >/dev/null
    "$cli" set "$project" --size "$size" --fps 25 --depth 24 --output "$work/ours.avi" >/dev/null
    "$cli" add "$project" --sort name $(ls "$work"/in/*.jpg | head -n "$count") >/dev/null
    ours=("$cli" render "$project" --codec MJPG --quiet)
    theirs=(ffmpeg -v error -y -framerate 25 -i "$work/in/%04d.jpg" -frames:v "$count" -vf "scale=${size/x/:}"
            -c:v mjpeg -q:v 4 -pix_fmt yuvj420p "$work/theirs.avi")
    # A warm-up of each, so every round reads the photos from the page cache.
    "${ours[@]}" >/dev/null
    "${theirs[@]}"
    : >"$work/ours.txt"; : >"$work/theirs.txt"
    for round in $(seq 1 "$rounds"); do
      if [ $((round % 2)) = 1 ]; then
        measure "${ours[@]}" >>"$work/ours.txt"; measure "${theirs[@]}" >>"$work/theirs.txt"
      else
        measure "${theirs[@]}" >>"$work/theirs.txt"; measure "${ours[@]}" >>"$work/ours.txt"
      fi
    done
    awk -v size="$size" -v count="$count" \
      -v o="$(cut -d' ' -f1 "$work/ours.txt" | median)" -v t="$(cut -d' ' -f1 "$work/theirs.txt" | median)" \
      -v om="$(cut -d' ' -f2 "$work/ours.txt" | sort -n | tail -n 1)" \
      -v tm="$(cut -d' ' -f2 "$work/theirs.txt" | sort -n | tail -n 1)" 'BEGIN {
      printf "%s, %3d photos: kinetar-cli %6.2f s, peak %4d MiB; ffmpeg %6.2f s, peak %4d MiB; ours / ffmpeg %.2fx\n",
             size, count, o, om / 1024, t, tm / 1024, o / t
    }'
  done
done
echo "goals at 1280x720: at most 0.4x ffmpeg's time; peak memory below 300 MiB and flat from 30 to 120 photos"
