#!/usr/bin/env bash
# The same job done by kinetar-cli and by ffmpeg, in one run: 300 BMP pictures of 1280x720 at
# 24 bits into an uncompressed AVI, whole process against whole process (wall time and peak
# memory, the median of several rounds). The limit is the time to read the inputs and write the
# same number of bytes (cat). First every run writes a fresh file; then, in rounds of their own,
# every run writes over the video its job's last run left. Then the peak memory of kinetar-cli for
# 10 and for 1000 frames.
#
# Usage: bench/avi-render.sh [ROUNDS]   (builds the ci preset first; needs ffmpeg and /usr/bin/time)
#   KINETAR_CLI=path times another build of kinetar-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}

cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-cli >/dev/null
cli=${KINETAR_CLI:-$PWD/build/ci/src/cli/kinetar-cli}
work=$PWD/build/bench-avi
rm -rf "$work"
mkdir -p "$work/in"
trap 'rm -rf "$work"' EXIT

echo "Making 300 pictures of 1280x720..."
/usr/bin/python3 bench/make-pictures.py "$work/in" 300

project=$work/bench.AVIprj
"$cli" new "$project"
"$cli" set "$project" --size 1280x720 --fps 25 --depth 24 --output "$work/ours.avi"
"$cli" add "$project" --sort end "$work"/in/*.bmp

# measure fresh|existing COMMAND...: one run; prints "seconds peak-KiB". A fresh run starts with
# the outputs of the last one deleted, and the deletes given time to settle (the disk may discard
# freed blocks); an existing run writes over the file its job's last run left. Either way nothing
# is left to write back, so no job pays for another's files.
measure() {
  local mode=$1
  shift
  if [ "$mode" = fresh ]; then
    rm -f "$work/ours.avi" "$work/theirs.avi" "$work/limit.out" "$work/frames.avi"
  fi
  sync
  sleep 2
  /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" || { cat "$work/err.txt"; exit 1; }
  cat "$work/time.txt"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
best() { sort -n | head -n 1; }

limit_job() {
  cat "$work"/in/*.bmp >"$work/limit.out"
  local missing=$(( avi_size - $(stat -c %s "$work/limit.out") ))
  if [ "$missing" -gt 0 ]; then head -c "$missing" /dev/zero >>"$work/limit.out"; fi
}
export -f limit_job
export work

# A warm-up of each, so every round reads its inputs from the page cache.
"$cli" render "$project" --quiet
ffmpeg -v error -y -framerate 25 -i "$work/in/%04d.bmp" -c:v rawvideo -pix_fmt bgr24 "$work/theirs.avi"

: >"$work/ours.txt"; : >"$work/theirs.txt"; : >"$work/limit.txt"
: >"$work/ours-existing.txt"; : >"$work/theirs-existing.txt"
export avi_size=$(stat -c %s "$work/ours.avi")
ours_job=("$cli" render "$project" --quiet)
# ffmpeg -y overwrites an existing output in place (it opens it truncated).
theirs_job=(ffmpeg -v error -y -framerate 25 -i "$work/in/%04d.bmp" -c:v rawvideo -pix_fmt bgr24 "$work/theirs.avi")
run_ours() { measure fresh "${ours_job[@]}" >>"$work/ours.txt"; }
run_theirs() { measure fresh "${theirs_job[@]}" >>"$work/theirs.txt"; }
run_limit() { measure fresh bash -c limit_job >>"$work/limit.txt"; }
for round in $(seq 1 "$rounds"); do
  # The order turns from round to round, so no job always follows the same other one.
  case $((round % 3)) in
    1) run_ours; run_theirs; run_limit ;;
    2) run_theirs; run_limit; run_ours ;;
    0) run_limit; run_ours; run_theirs ;;
  esac
  echo "fresh round $round: ours $(tail -n 1 "$work/ours.txt"), ffmpeg $(tail -n 1 "$work/theirs.txt"), limit $(tail -n 1 "$work/limit.txt") (seconds, peak KiB)"
done

# Over an existing video: each job's output stays from one of its runs to the next.
"${ours_job[@]}" >/dev/null
"${theirs_job[@]}"
for round in $(seq 1 "$rounds"); do
  if [ $((round % 2)) = 1 ]; then
    measure existing "${ours_job[@]}" >>"$work/ours-existing.txt"
    measure existing "${theirs_job[@]}" >>"$work/theirs-existing.txt"
  else
    measure existing "${theirs_job[@]}" >>"$work/theirs-existing.txt"
    measure existing "${ours_job[@]}" >>"$work/ours-existing.txt"
  fi
  echo "existing round $round: ours $(tail -n 1 "$work/ours-existing.txt"), ffmpeg $(tail -n 1 "$work/theirs-existing.txt") (seconds, peak KiB)"
done
if compgen -G "$work/.ours.avi.*" >/dev/null; then echo "a temporary file was left behind"; exit 1; fi

ours=$(cut -d' ' -f1 "$work/ours.txt" | median)
theirs=$(cut -d' ' -f1 "$work/theirs.txt" | median)
limit=$(cut -d' ' -f1 "$work/limit.txt" | median)
ours_best=$(cut -d' ' -f1 "$work/ours.txt" | best)
theirs_best=$(cut -d' ' -f1 "$work/theirs.txt" | best)
limit_best=$(cut -d' ' -f1 "$work/limit.txt" | best)
ours_memory=$(cut -d' ' -f2 "$work/ours.txt" | median)
theirs_memory=$(cut -d' ' -f2 "$work/theirs.txt" | median)
ours_existing=$(cut -d' ' -f1 "$work/ours-existing.txt" | median)
theirs_existing=$(cut -d' ' -f1 "$work/theirs-existing.txt" | median)
ours_existing_best=$(cut -d' ' -f1 "$work/ours-existing.txt" | best)
theirs_existing_best=$(cut -d' ' -f1 "$work/theirs-existing.txt" | best)
echo "Output size: $avi_size bytes"

# Peak memory against the number of frames.
for frames in 10 1000; do
  small=$work/frames$frames.AVIprj
  "$cli" new "$small"
  "$cli" set "$small" --size 1280x720 --fps 25 --output "$work/frames.avi"
  for i in $(seq 0 $((frames - 1))); do printf '%s/in/%04d.bmp\n' "$work" $((i % 300 + 1)); done | xargs "$cli" add "$small" --sort name
  # Adding sorts by name; the order does not matter for memory.
  measure fresh "$cli" render "$small" --quiet >"$work/memory$frames.txt"
  rm -f "$work/frames.avi"
done
memory10=$(cut -d' ' -f2 "$work/memory10.txt")
memory1000=$(cut -d' ' -f2 "$work/memory1000.txt")

awk -v ob="$ours_best" -v tb="$theirs_best" -v lb="$limit_best" -v o="$ours" -v t="$theirs" -v l="$limit" -v om="$ours_memory" -v tm="$theirs_memory" -v m10="$memory10" -v m1000="$memory1000" \
  -v oe="$ours_existing" -v te="$theirs_existing" -v oeb="$ours_existing_best" -v teb="$theirs_existing_best" 'BEGIN {
  printf "medians of the rounds, fresh output:\n"
  printf "kinetar-cli render: %.2f s, peak %d KiB\n", o, om
  printf "ffmpeg:             %.2f s, peak %d KiB\n", t, tm
  printf "limit (read + write the same bytes): %.2f s\n", l
  printf "ours / ffmpeg: %.2fx (goal at most 1.0x)\n", o / t
  printf "ours / limit:  %.2fx (goal at most 1.5x)\n", o / l
  printf "best rounds: ours %.2f s, ffmpeg %.2f s, limit %.2f s: %.2fx ffmpeg, %.2fx the limit\n", ob, tb, lb, ob / tb, ob / lb
  printf "medians of the rounds, over an existing output:\n"
  printf "kinetar-cli render: %.2f s\n", oe
  printf "ffmpeg:             %.2f s\n", te
  printf "ours / ffmpeg: %.2fx (goal at most 1.0x)\n", oe / te
  printf "best rounds: ours %.2f s, ffmpeg %.2f s: %.2fx ffmpeg\n", oeb, teb, oeb / teb
  printf "peak memory, 10 frames: %d KiB, 1000 frames: %d KiB, difference %.1f%% (goal within 10%%)\n", m10, m1000, 100 * (m1000 - m10) / m10
}'
