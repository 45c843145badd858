#!/usr/bin/env bash
# Motion JPEG, kinetar-cli against ffmpeg in one run: 300 BMP pictures of 1280x720 of each of two
# kinds, smooth (turning gradients, bench/make-pictures.py) and noisy photo-like ones (ffmpeg's
# testsrc2 with grain that changes every frame), each into a Motion JPEG AVI at the default
# quality by `kinetar-cli render --codec MJPG` and by ffmpeg's mjpeg encoder at -q:v 4. Whole
# process against whole process: the median and the best wall time of ROUNDS rounds, the file
# sizes, and the PSNR of each video against its pictures (both decoded by ffmpeg), with the ratios
# ours / ffmpeg. Goal: at most 0.5x the time, a PSNR no lower, a size within 1.1x.
#
# Usage: bench/mjpeg.sh [ROUNDS]   (builds the ci preset first; needs ffmpeg and Pillow)
#   KINETAR_CLI=path times another build of kinetar-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}

cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-cli >/dev/null
cli=${KINETAR_CLI:-$PWD/build/ci/src/cli/kinetar-cli}
work=$PWD/build/bench-mjpeg
rm -rf "$work"
mkdir -p "$work/smooth" "$work/noisy"
trap 'rm -rf "$work"' EXIT

echo "Making 300 smooth and 300 noisy pictures of 1280x720..."
/usr/bin/python3 bench/make-pictures.py "$work/smooth" 300
ffmpeg -v error -f lavfi -i "testsrc2=size=1280x720:rate=25,format=bgr24,noise=alls=20:allf=t" -frames:v 300 \
  -start_number 1 "$work/noisy/%04d.bmp"

# measure COMMAND...: the wall time of one run in seconds, with nothing of the last run's left to
# write back.
measure() {
  rm -f "$work/ours.avi" "$work/theirs.avi"
  sync
  sleep 1
  /usr/bin/time -f '%e' -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" || { cat "$work/err.txt"; exit 1; }
  cat "$work/time.txt"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
best() { sort -n | head -n 1; }
# psnr VIDEO FOLDER: the average PSNR over the three colour planes of every frame, as ffmpeg finds it.
psnr() {
  ffmpeg -nostats -i "$1" -framerate 25 -i "$2/%04d.bmp" \
    -lavfi "[0:v]format=rgb24[coded];[1:v]format=rgb24[source];[coded][source]psnr" -f null - 2>&1 |
    sed -n 's/.*PSNR .* average:\([0-9.inf]*\).*/\1/p'
}

# The two jobs, run by /usr/bin/time as programs of their own.
ours_job() { "$cli" render "$project" --codec MJPG --output "$work/ours.avi" --quiet; }
theirs_job() {
  ffmpeg -v error -y -framerate 25 -i "$folder/%04d.bmp" -c:v mjpeg -q:v 4 -pix_fmt yuvj420p "$work/theirs.avi"
}
export -f ours_job theirs_job
export cli work project folder

for kind in smooth noisy; do
  folder=$work/$kind
  project=$work/$kind.AVIprj
  "$cli" new "$project"
  "$cli" set "$project" --size 1280x720 --fps 25 --depth 24
  "$cli" add "$project" --sort end "$folder"/*.bmp
  # A warm-up of each, so every round reads its inputs from the page cache.
  ours_job
  theirs_job
  : >"$work/ours.txt"
  : >"$work/theirs.txt"
  for _ in $(seq "$rounds"); do
    measure bash -c ours_job >>"$work/ours.txt"
    measure bash -c theirs_job >>"$work/theirs.txt"
  done
  # The last round's videos, for size and PSNR.
  ours_job
  theirs_job
  awk -v k="$kind" -v om="$(median <"$work/ours.txt")" -v ob="$(best <"$work/ours.txt")" \
    -v tm="$(median <"$work/theirs.txt")" -v tb="$(best <"$work/theirs.txt")" \
    -v os="$(stat -c %s "$work/ours.avi")" -v ts="$(stat -c %s "$work/theirs.avi")" \
    -v op="$(psnr "$work/ours.avi" "$folder")" -v tp="$(psnr "$work/theirs.avi" "$folder")" \
    'BEGIN {
       printf "%s: kinetar-cli %.2f s (best %.2f), %.2f MB, %.2f dB; ffmpeg %.2f s (best %.2f), %.2f MB, %.2f dB\n",
              k, om, ob, os / 1e6, op, tm, tb, ts / 1e6, tp
       printf "%s: time %.2fx (best %.2fx), size %.3fx, PSNR %+.2f dB\n", k, om / tm, ob / tb, os / ts, op - tp
     }'
done
