#!/usr/bin/env bash
# A 2 GB project of empty records (a sparse file behind a valid header) through every command that
# reads or edits a project: peak memory and wall time of each, whole process (`/usr/bin/time`).
# Each edit rewrites the whole file, so the project is made afresh before each one.
#
# Usage: bench/huge-project.sh [SIZE]   (SIZE as truncate takes it, 2G by default; builds the ci
#   preset first; needs /usr/bin/time). KINETAR_CLI=path measures another build of kinetar-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-2G}

if [ -z "${KINETAR_CLI:-}" ]; then
  cmake --preset ci >/dev/null
  cmake --build --preset ci --target kinetar-cli >/dev/null
fi
cli=${KINETAR_CLI:-$PWD/build/ci/src/cli/kinetar-cli}
work=$PWD/build/bench-huge-project
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
project=$work/big.AVIprj
# A 1x1 BMP of 24 bits for add.
printf 'BM:\0\0\0\0\0\0\0006\0\0\0(\0\0\0\1\0\0\0\1\0\0\0\1\0\030\0\0\0\0\0\4\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\377\0\0\0' \
  >"$work/a.bmp"

fresh() {
  rm -f "$project"
  "$cli" new "$project"
  truncate -s "$size" "$project"
  sync
}

# measure NAME COMMAND...: one run on a fresh project, "NAME  seconds  peak MiB  exit status".
measure() {
  local name=$1
  shift
  fresh
  local status=0
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || status=$?
  read -r seconds kib < <(tail -n 1 "$work/time") || true
  printf '%-22s %8s s %8d MiB  exit %d\n' "$name" "$seconds" "$((${kib:-0} / 1024))" "$status"
}

echo "kinetar-cli: $cli, project of $size"
measure "info" "$cli" info "$project"
measure "info --json" "$cli" info --json "$project"
measure "add" "$cli" add "$project" "$work/a.bmp"
measure "set --fps 10" "$cli" set "$project" --fps 10
measure "frame 0 --duration 1" "$cli" frame "$project" 0 --duration 1
measure "remove 0" "$cli" remove "$project" 0
measure "move 0 5" "$cli" move "$project" 0 5

# render: the records are walked twice before the first frame (the video's length, the sounds'
# cues) and then read as the frames come; every record is empty, so each frame is left out. It
# is stopped with SIGTERM after a few seconds: peak memory, and how long the stop took.
fresh
"$cli" set "$project" --size 64x48 >/dev/null
/usr/bin/time -f '%e %M' -o "$work/time" "$cli" render "$project" --quiet 2>/dev/null &
pid=$!
sleep 5
asked=$(date +%s.%N)
pkill -TERM -P "$pid" kinetar-cli || kill -TERM "$pid"
status=0
wait "$pid" || status=$?
stopped=$(date +%s.%N)
read -r seconds kib < <(tail -n 1 "$work/time") || true
printf '%-22s %8s s %8d MiB  exit %d, stopped %.2f s after SIGTERM\n' "render (stopped at 5 s)" "$seconds" \
  "$((${kib:-0} / 1024))" "$status" "$(echo "$stopped - $asked" | bc)"
