#!/usr/bin/env bash
# Compressed renders: 300 BMP pictures of 1280x720 into Motion JPEG and into H.264, by kinetar-cli
# and by ffmpeg with the same encoder settings, in one run; whole process against whole process,
# the median of several rounds. Prints the time ratios and the output sizes.
#
# Usage: bench/codecs.sh [ROUNDS]   (builds the ci preset first; needs ffmpeg and Pillow)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}

cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-cli >/dev/null
cli=$PWD/build/ci/src/cli/kinetar-cli
work=$PWD/build/bench-codecs
rm -rf "$work"
mkdir -p "$work/in"
trap 'rm -rf "$work"' EXIT

echo "Making 300 pictures of 1280x720..."
/usr/bin/python3 bench/make-pictures.py "$work/in" 300
project=$work/bench.AVIprj
"$cli" new "$project"
"$cli" set "$project" --size 1280x720 --fps 25 --depth 24
"$cli" add "$project" --sort end "$work"/in/*.bmp

# The settings our compressors use at their default quality.
declare -A theirs_args=(
  [MJPG]="-c:v mjpeg -q:v 4 -pix_fmt yuvj420p -vtag MJPG"
  [H264]="-c:v libx264 -preset veryfast -crf 23 -bf 0 -keyint_min 1 -pix_fmt yuv420p -vtag H264"
)

seconds() {  # seconds COMMAND...: wall time of one run
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>"$work/err.txt" || { cat "$work/err.txt"; exit 1; }
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 ))"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for codec in MJPG H264; do
  : >"$work/ours.txt"; : >"$work/theirs.txt"
  for _ in $(seq "$rounds"); do
    seconds "$cli" render "$project" --codec "$codec" --output "$work/ours.avi" --quiet >>"$work/ours.txt"
    # shellcheck disable=SC2086
    seconds ffmpeg -v error -y -framerate 25 -i "$work/in/%04d.bmp" ${theirs_args[$codec]} "$work/theirs.avi" >>"$work/theirs.txt"
  done
  ours=$(median <"$work/ours.txt")
  theirs=$(median <"$work/theirs.txt")
  awk -v c="$codec" -v o="$ours" -v t="$theirs" -v os="$(stat -c %s "$work/ours.avi")" -v ts="$(stat -c %s "$work/theirs.avi")" \
    'BEGIN { printf "%s: kinetar-cli %.2f s, %.1f MB; ffmpeg %.2f s, %.1f MB; time ratio %.2f, size ratio %.2f\n",
             c, o / 1000, os / 1e6, t / 1000, ts / 1e6, o / t, os / ts }'
done
