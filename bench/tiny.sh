#!/usr/bin/env bash
# Many tiny frames: 10,000 BMP pictures of 64x48 at 24 bits into an uncompressed AVI, by
# `kinetar-cli render` and by `ffmpeg -framerate 25 -i %05d.bmp -c:v rawvideo -pix_fmt bgr24`,
# whole process against whole process in interleaved rounds (the order turns each round). What
# costs here is everything done per frame besides the pixels: reading the record, opening the
# picture, handing the frame on, writing its chunk. Prints the median and the best wall time of
# ROUNDS rounds and the ratio ours / ffmpeg, and the median processor time (user + system), which
# a machine busy with other work disturbs less than the wall time.
#
# Usage: bench/tiny.sh [ROUNDS] [FRAMES]   (builds the ci preset first; needs ffmpeg and
#   /usr/bin/time). KINETAR_CLI=path times another build of kinetar-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}
frames=${2:-10000}

cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-cli >/dev/null
cli=${KINETAR_CLI:-$PWD/build/ci/src/cli/kinetar-cli}
work=$PWD/build/bench-tiny
rm -rf "$work"
mkdir -p "$work/in"
trap 'rm -rf "$work"' EXIT

echo "Making $frames pictures of 64x48..."
ffmpeg -v error -f lavfi -i "testsrc2=size=64x48:rate=25" -frames:v "$frames" -pix_fmt bgr24 "$work/in/%05d.bmp"

project=$work/tiny.AVIprj
"$cli" new "$project" >/dev/null
"$cli" set "$project" --size 64x48 --fps 25 --depth 24 --output "$work/ours.avi" >/dev/null
# One add of every picture: the shell's glob is in name order already.
"$cli" add "$project" --sort name "$work"/in/*.bmp >/dev/null

ours=("$cli" render "$project" --codec 'DIB ' --quiet)
theirs=(ffmpeg -v error -y -framerate 25 -i "$work/in/%05d.bmp" -c:v rawvideo -pix_fmt bgr24 "$work/theirs.avi")

# measure COMMAND...: prints "seconds peak-KiB processor-seconds" of one run, its output deleted
# beforehand.
measure() {
  rm -f "$work/ours.avi" "$work/theirs.avi"
  sync
  sleep 1
  /usr/bin/time -f '%e %M %U %S' -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" || { cat "$work/err.txt"; exit 1; }
  awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$work/time.txt"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
best() { sort -n | head -n 1; }

# A warm-up of each, so every round reads the pictures from the page cache.
"${ours[@]}" >/dev/null
"${theirs[@]}"
: >"$work/ours.txt"; : >"$work/theirs.txt"
for round in $(seq 1 "$rounds"); do
  if [ $((round % 2)) = 1 ]; then
    measure "${ours[@]}" >>"$work/ours.txt"; measure "${theirs[@]}" >>"$work/theirs.txt"
  else
    measure "${theirs[@]}" >>"$work/theirs.txt"; measure "${ours[@]}" >>"$work/ours.txt"
  fi
  echo "round $round: ours $(tail -n 1 "$work/ours.txt"), ffmpeg $(tail -n 1 "$work/theirs.txt") (seconds, peak KiB, processor seconds)"
done
# Both hold every frame.
"${ours[@]}" >/dev/null
"${theirs[@]}"
for video in ours theirs; do
  counted=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$work/$video.avi")
  [ "$counted" = "$frames" ] || { echo "$video.avi holds $counted frames, not $frames"; exit 1; }
done

column() { cut -d' ' -f"$1" "$work/$2.txt"; }
awk -v o="$(column 1 ours | median)" -v t="$(column 1 theirs | median)" \
  -v ob="$(column 1 ours | best)" -v tb="$(column 1 theirs | best)" \
  -v om="$(column 2 ours | median)" -v tm="$(column 2 theirs | median)" \
  -v oc="$(column 3 ours | median)" -v tc="$(column 3 theirs | median)" \
  -v n="$frames" 'BEGIN {
  printf "%d frames of 64x48, medians of the rounds:\n", n
  printf "kinetar-cli render: %.2f s, peak %d KiB, processor %.2f s\n", o, om, oc
  printf "ffmpeg:             %.2f s, peak %d KiB, processor %.2f s\n", t, tm, tc
  printf "ours / ffmpeg: %.2fx (goal at most 1.0x); best rounds %.2f s and %.2f s: %.2fx; processor time %.2fx\n",
         o / t, ob, tb, ob / tb, oc / tc
}'
