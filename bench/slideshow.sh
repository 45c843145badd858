#!/usr/bin/env bash
# A slideshow, whole process against whole process in one interleaved run: 100 pictures of
# 1600x1200 (BMP, photo-like: testsrc2 with grain), 3 s each at 25 fps, letterboxed into 1280x720,
# Motion JPEG: `kinetar-cli render --codec MJPG` of a project made with `add --fit letterbox
# --duration 3`, against ffmpeg's concat demuxer (`duration 3` per picture) with
# `-vf scale=1280:720:force_original_aspect_ratio=decrease,pad=1280:720:(ow-iw)/2:(oh-ih)/2 -r 25
# -c:v mjpeg -q:v 4`. Into AVI ffmpeg writes each picture once and leaves the held frames empty
# unless told `-fps_mode cfr`, and its concat demuxer drops the last entry's duration (one frame
# short) unless that picture is named once more, which holds it too long; so the list names it
# again and ffmpeg is given `-fps_mode cfr -frames:v 7500`: both videos hold the same 7,500 frames.
# Prints the median wall time of ROUNDS rounds, the ratio ours / ffmpeg, each one's peak memory
# and the frames each video holds; then one round of each uncompressed (`--codec DIB` against
# `-c:v rawvideo -pix_fmt bgr24`: about 20 GB each).
#
# Usage: bench/slideshow.sh [ROUNDS]   (builds the ci preset first; needs ffmpeg, ffprobe and
#   /usr/bin/time). The pictures are kept in build/bench-slideshow/in for the next run.
#   KINETAR_CLI=path times another build of kinetar-cli instead; NO_UNCOMPRESSED=1 skips that part.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}

cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-cli >/dev/null
cli=${KINETAR_CLI:-$PWD/build/ci/src/cli/kinetar-cli}
work=$PWD/build/bench-slideshow
mkdir -p "$work/in"
trap 'rm -f "$work"/*.avi "$work"/*.AVIprj "$work"/time.txt "$work"/err.txt' EXIT
if [ ! -f "$work/in/0100.bmp" ]; then
  echo "Making 100 pictures of 1600x1200..."
  ffmpeg -v error -f lavfi -i "testsrc2=size=1600x1200:rate=1,noise=alls=12:allf=t" -frames:v 100 \
    -pix_fmt bgr24 "$work/in/%04d.bmp"
fi

# The concat list: each picture for 3 s, the last one named again.
list=$work/list.txt
: >"$list"
for picture in "$work"/in/*.bmp; do
  printf "file '%s'\nduration 3\n" "$picture" >>"$list"
done
printf "file '%s'\n" "$picture" >>"$list"

project=$work/slideshow.AVIprj
rm -f "$project"
"$cli" new "$project" >/dev/null
"$cli" set "$project" --size 1280x720 --fps 25 --depth 24 --output "$work/ours.avi" >/dev/null
"$cli" add "$project" --sort name --fit letterbox --duration 3 "$work"/in/*.bmp >/dev/null

# measure COMMAND...: prints "seconds peak-KiB" of one run, its output deleted beforehand.
measure() {
  rm -f "$work/ours.avi" "$work/theirs.avi"
  sync
  sleep 1
  /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" || { cat "$work/err.txt"; exit 1; }
  cat "$work/time.txt"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
frames() { ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$1"; }

# compare NAME ROUNDS OUR-CODEC THEIR-CODEC-OPTIONS...
compare() {
  local name=$1 count=$2 codec=$3
  shift 3
  ours=("$cli" render "$project" --codec "$codec" --quiet)
  theirs=(ffmpeg -v error -y -f concat -safe 0 -i "$list"
          -vf "scale=1280:720:force_original_aspect_ratio=decrease,pad=1280:720:(ow-iw)/2:(oh-ih)/2" -r 25
          -fps_mode cfr -frames:v 7500 "$@" "$work/theirs.avi")
  : >"$work/ours.txt"; : >"$work/theirs.txt"
  for round in $(seq 1 "$count"); do
    if [ $((round % 2)) = 1 ]; then
      measure "${ours[@]}" >>"$work/ours.txt"; measure "${theirs[@]}" >>"$work/theirs.txt"
    else
      measure "${theirs[@]}" >>"$work/theirs.txt"; measure "${ours[@]}" >>"$work/ours.txt"
    fi
  done
  # The last round's videos are still there when the order put ours first; make both once more.
  [ -f "$work/ours.avi" ] || "${ours[@]}" >/dev/null
  [ -f "$work/theirs.avi" ] || "${theirs[@]}"
  awk -v name="$name" \
    -v o="$(cut -d' ' -f1 "$work/ours.txt" | median)" -v t="$(cut -d' ' -f1 "$work/theirs.txt" | median)" \
    -v om="$(cut -d' ' -f2 "$work/ours.txt" | sort -n | tail -n 1)" \
    -v tm="$(cut -d' ' -f2 "$work/theirs.txt" | sort -n | tail -n 1)" \
    -v of="$(frames "$work/ours.avi")" -v tf="$(frames "$work/theirs.avi")" 'BEGIN {
    printf "%s: kinetar-cli %6.2f s, peak %4d MiB, %d frames; ffmpeg %6.2f s, peak %4d MiB, %d frames; ours / ffmpeg %.2fx\n",
           name, o, om / 1024, of, t, tm / 1024, tf, o / t
  }'
  rm -f "$work/ours.avi" "$work/theirs.avi"
}

# A warm-up of our render, so every round reads the pictures from the page cache.
"$cli" render "$project" --codec MJPG --quiet >/dev/null
compare "Motion JPEG" "$rounds" MJPG -c:v mjpeg -q:v 4
if [ -z "${NO_UNCOMPRESSED:-}" ]; then
  compare "uncompressed" 1 DIB -c:v rawvideo -pix_fmt bgr24
fi
echo "goal: Motion JPEG at most 0.2x ffmpeg's time, the same 7,500 frames"
