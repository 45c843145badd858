#!/usr/bin/env bash
# Shared by the benchmarks: times whole commands, median of several runs, in milliseconds.
#   median_ms RUNS COMMAND...
median_ms() {
  local runs=$1
  shift
  local times=()
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

# compare_decode LABEL FILE: our decoder against ffmpeg's on the same file.
compare_decode() {
  local label=$1 file=$2 runs=${RUNS:-7}
  local ours theirs
  ours=$(median_ms "$runs" "$DECODE" "$file")
  theirs=$(median_ms "$runs" ffmpeg -v error -i "$file" -f rawvideo -y /dev/null)
  awk -v l="$label" -v o="$ours" -v t="$theirs" \
    'BEGIN { printf "%-28s ours %6d ms   ffmpeg %6d ms   ratio %.2f\n", l, o, t, (t > 0 ? o / t : 0) }'
}
