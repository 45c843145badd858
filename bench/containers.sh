#!/usr/bin/env bash
# MP4 and WebM, whole process against whole process in one interleaved run: 300 pictures of
# 1280x720 (bench/make-pictures.py), one frame each at 25 fps, into MP4 with H.264 (veryfast,
# CRF 23, no B-frames, the index in front) by `kinetar-cli render --codec H264` of a project whose
# output is an .mp4, against
# `ffmpeg -framerate 25 -i %04d.bmp -c:v libx264 -preset veryfast -crf 23 -bf 0 -pix_fmt yuv420p
# -movflags +faststart`, then against the same with ffmpeg converting by BT.709 as ours does at 720
# lines (`-vf scale=out_color_matrix=bt709` and the tags); then into WebM with VP9 (CRF 31, `--codec VP90`) against the same
# encoder settings through ffmpeg (`-c:v libvpx-vp9 -deadline good -cpu-used 5 -row-mt 1
# -lag-in-frames 0 -crf 31 -b:v 0`). Video only, then MP4 again with a 12-second music file (44.1 kHz
# stereo FLAC) under the pictures: ours AAC at 192 kb/s from a sound record at the top of the list,
# ffmpeg `-i music.flac -shortest -c:a aac -b:a 192k` (the same bit rate).
# Prints the median wall time of ROUNDS rounds and the ratio ours / ffmpeg, the sizes and their
# ratio, and the PSNR of each video against the pictures.
#
# Usage: bench/containers.sh [ROUNDS]   (builds the ci preset's kinetar-cli first; needs ffmpeg,
#   ffprobe, python3 with Pillow and /usr/bin/time). The pictures are kept in
#   build/bench-containers/in for the next run. KINETAR_CLI=path times another build instead.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}

cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-cli >/dev/null
cli=${KINETAR_CLI:-$PWD/build/ci/src/cli/kinetar-cli}
work=$PWD/build/bench-containers
mkdir -p "$work/in"
videos=("$work"/ours.mp4 "$work"/ours.webm "$work"/theirs.mp4 "$work"/theirs.webm)
trap 'rm -f "${videos[@]}" "$work"/*.AVIprj "$work"/*.txt' EXIT
if [ ! -f "$work/music.flac" ]; then
  ffmpeg -v error -y -f lavfi -i "aevalsrc=0.2*sin(2*PI*(220+55*floor(t))*t)|0.2*sin(2*PI*(330+55*floor(2*t))*t):s=44100:d=12" \
    "$work/music.flac"
fi
if [ ! -f "$work/in/0300.bmp" ]; then
  echo "Making 300 pictures of 1280x720..."
  /usr/bin/python3 bench/make-pictures.py "$work/in" 300
fi

# measure COMMAND...: prints the seconds of one run, its output deleted beforehand.
measure() {
  rm -f "${videos[@]}"
  sync
  sleep 1
  /usr/bin/time -f '%e' -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" || { cat "$work/err.txt"; exit 1; }
  cat "$work/time.txt"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# PSNR in RGB: each video decoded by the matrix its tags name (none: BT.601), against the pictures.
psnr() {
  ffmpeg -v info -i "$1" -framerate 25 -i "$work/in/%04d.bmp" -lavfi "[0:v]format=gbrp[v];[1:v]format=gbrp[ref];[v][ref]psnr" \
    -f null - 2>&1 | sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p'
}

# compare NAME EXTENSION OUR-CODEC MUSIC(yes|no) FFMPEG-OPTIONS...
compare() {
  local name=$1 extension=$2 codec=$3 music=$4
  shift 4
  local project=$work/bench.AVIprj
  rm -f "$project"
  "$cli" new "$project" >/dev/null
  "$cli" set "$project" --size 1280x720 --fps 25 --depth 24 --output "$work/ours.$extension" >/dev/null
  local input=(-framerate 25 -i "$work/in/%04d.bmp")
  if [ "$music" = yes ]; then
    "$cli" add "$project" "$work/music.flac" >/dev/null
    input+=(-i "$work/music.flac" -shortest)
  fi
  "$cli" add "$project" --sort name "$work"/in/*.bmp >/dev/null
  ours=("$cli" render "$project" --codec "$codec" --quiet)
  theirs=(ffmpeg -v error -y "${input[@]}" "$@" "$work/theirs.$extension")
  : >"$work/times-ours.txt"; : >"$work/times-theirs.txt"
  "${ours[@]}" >/dev/null  # a warm-up, so every round reads the pictures from the page cache
  for round in $(seq 1 "$rounds"); do
    if [ $((round % 2)) = 1 ]; then
      measure "${ours[@]}" >>"$work/times-ours.txt"; measure "${theirs[@]}" >>"$work/times-theirs.txt"
    else
      measure "${theirs[@]}" >>"$work/times-theirs.txt"; measure "${ours[@]}" >>"$work/times-ours.txt"
    fi
  done
  [ -f "$work/ours.$extension" ] || "${ours[@]}" >/dev/null
  [ -f "$work/theirs.$extension" ] || "${theirs[@]}"
  awk -v name="$name" -v o="$(median <"$work/times-ours.txt")" -v t="$(median <"$work/times-theirs.txt")" \
    -v os="$(stat -c %s "$work/ours.$extension")" -v ts="$(stat -c %s "$work/theirs.$extension")" \
    -v op="$(psnr "$work/ours.$extension")" -v tp="$(psnr "$work/theirs.$extension")" 'BEGIN {
    printf "%s: kinetar-cli %6.2f s, %9d bytes, PSNR %s dB; ffmpeg %6.2f s, %9d bytes, PSNR %s dB; time %.2fx, size %.3fx\n",
           name, o, os, op, t, ts, tp, o / t, os / ts
  }'
}

compare "MP4 H.264" mp4 H264 no -c:v libx264 -preset veryfast -crf 23 -bf 0 -pix_fmt yuv420p -movflags +faststart
# The same with ffmpeg converting by the BT.709 matrix that ours uses from 720 lines up.
compare "MP4 H.264, ffmpeg by BT.709" mp4 H264 no -vf scale=out_color_matrix=bt709 -c:v libx264 -preset veryfast -crf 23 \
  -bf 0 -pix_fmt yuv420p -colorspace bt709 -color_primaries bt709 -color_trc bt709 -movflags +faststart
compare "MP4 H.264 + AAC, music" mp4 H264 yes -c:v libx264 -preset veryfast -crf 23 -bf 0 -pix_fmt yuv420p \
  -c:a aac -b:a 192k -movflags +faststart
compare "WebM VP9" webm VP90 no -c:v libvpx-vp9 -deadline good -cpu-used 5 -row-mt 1 -lag-in-frames 0 -crf 31 -b:v 0 \
  -pix_fmt yuv420p
echo "goal: MP4 at most 1.0x ffmpeg's time, size within 3 %, the same PSNR"
