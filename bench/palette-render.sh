#!/usr/bin/env bash
# The same 8-bit uncompressed render by the kinetar-cli of this tree and by that of an older
# revision, in turns, to see what turning every pixel into a table index costs: FRAMES pictures of
# 1280x720 into one project, whole process against whole process, the median wall time of ROUNDS
# rounds of each and the ratio new / old (goal at most 1.0).
#
# Usage: bench/palette-render.sh [ROUNDS] [REVISION] [FRAMES]
#   ROUNDS    rounds of each build, 9 by default
#   REVISION  the older build, by default the merge base with b3b0a9c (the cell-centre lookup)
#   FRAMES    pictures in the project, 300 by default
# Builds the ci preset of both (the older one from `git archive` under build/, kept for the next
# run); needs /usr/bin/python3 with PIL and /usr/bin/time.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-9}
revision=$(git rev-parse --verify "${2:-$(git merge-base HEAD b3b0a9c)}^{commit}")
frames=${3:-300}

echo "Building this tree..."
cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-cli -j 2 >/dev/null
new_cli=$PWD/build/ci/src/cli/kinetar-cli

old_tree=$PWD/build/bench-palette-old/$revision
old_cli=$old_tree/build/ci/src/cli/kinetar-cli
if [ ! -x "$old_cli" ]; then
  echo "Building $revision..."
  rm -rf "$old_tree"
  mkdir -p "$old_tree"
  git archive "$revision" | tar -x -C "$old_tree"
  (cd "$old_tree" && cmake --preset ci >/dev/null && cmake --build --preset ci --target kinetar-cli -j 2 >/dev/null)
fi

work=$PWD/build/bench-palette
rm -rf "$work/in" "$work/run"
mkdir -p "$work/in" "$work/run"
trap 'rm -rf "$work/in" "$work/run"' EXIT

echo "Making $frames pictures of 1280x720..."
/usr/bin/python3 bench/make-pictures.py "$work/in" "$frames"

project=$work/run/bench.AVIprj
"$new_cli" new "$project" >/dev/null
"$new_cli" set "$project" --size 1280x720 --fps 25 --depth 8 --output "$work/run/out.avi" >/dev/null
"$new_cli" add "$project" --sort end "$work"/in/*.bmp >/dev/null

# measure CLI: one render; prints its wall and its processor seconds (user + system; the machine
# may be shared, and the processor time is the steadier of the two). Each starts with the last
# output deleted and the deletes given time to settle, so no run pays for another's file.
measure() {
  rm -f "$work/run/out.avi"
  sync
  sleep 1
  local start=$EPOCHREALTIME
  /usr/bin/time -f '%U %S' -o "$work/run/time.txt" "$1" render "$project" --quiet >/dev/null 2>"$work/run/err.txt" ||
    { cat "$work/run/err.txt"; exit 1; }
  local end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" '{ printf "%.3f %.2f\n", e - s, $1 + $2 }' "$work/run/time.txt"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# A warm-up of each, so every round reads its pictures from the page cache.
measure "$old_cli" >/dev/null
measure "$new_cli" >/dev/null

: >"$work/old.txt"
: >"$work/new.txt"
for round in $(seq 1 "$rounds"); do
  # The order turns from round to round, so neither always runs after the other.
  if [ $((round % 2)) -eq 1 ]; then
    measure "$old_cli" >>"$work/old.txt"
    measure "$new_cli" >>"$work/new.txt"
  else
    measure "$new_cli" >>"$work/new.txt"
    measure "$old_cli" >>"$work/old.txt"
  fi
  echo "round $round: old $(tail -n 1 "$work/old.txt"), new $(tail -n 1 "$work/new.txt") (wall s, processor s)"
done

old=$(cut -d' ' -f1 "$work/old.txt" | median)
new=$(cut -d' ' -f1 "$work/new.txt" | median)
old_cpu=$(cut -d' ' -f2 "$work/old.txt" | median)
new_cpu=$(cut -d' ' -f2 "$work/new.txt" | median)
awk -v o="$old" -v n="$new" -v oc="$old_cpu" -v nc="$new_cpu" -v r="$revision" -v f="$frames" 'BEGIN {
  printf "medians of the rounds, %d frames of 1280x720 at 8 bits, uncompressed:\n", f
  printf "old (%s):      %.3f s wall, %.2f s processor\n", substr(r, 1, 7), o, oc
  printf "new (this tree): %.3f s wall, %.2f s processor\n", n, nc
  printf "new / old: %.3f wall, %.3f processor (goal at most 1.0)\n", n / o, nc / oc
}'
