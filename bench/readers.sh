#!/usr/bin/env bash
# Times our PCX, TGA and GIF readers against ffmpeg decoding the same large files, whole process
# against whole process, in the same run. Files are written by independent tools. Prints seconds
# per decode (best of the runs) and the ratio ours / ffmpeg; below 1.0 means we are faster.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-5}
width=${WIDTH:-4000}
height=${HEIGHT:-3000}

cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-decode >/dev/null
ours=build/ci/bench/kinetar-decode

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Two sources: plasma noise (few runs) and the same kind of picture at a tenth of the size scaled
# up, so runs of 10 equal pixels give the run-length and LZW coders something to do.
/usr/bin/convert -size "${width}x${height}" -seed 7 plasma:fractal -depth 8 "$work/noisy.ppm"
/usr/bin/convert -size "$((width / 10))x$((height / 10))" -seed 7 plasma:fractal -scale "${width}x${height}!" -depth 8 \
  "$work/smooth.ppm"
files=()
for source in noisy smooth; do
  ppmtopcx -24bit "$work/$source.ppm" >"$work/$source-planes.pcx" 2>/dev/null
  /usr/bin/convert "$work/$source.ppm" -compress RLE "$work/$source-runs.tga"
  /usr/bin/convert "$work/$source.ppm" -colors 256 "$work/$source-colours.gif"
  files+=("$source-planes.pcx" "$source-runs.tga" "$source-colours.gif")
done

# Best wall-clock time of $runs runs of a command, in seconds.
best_of() {
  local best=""
  for _ in $(seq "$runs"); do
    local start end took
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s.%N)
    took=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$took < $best" | bc -l)" = 1 ]; then
      best=$took
    fi
  done
  echo "$best"
}

printf '%-20s %10s %10s %8s %10s\n' file ours ffmpeg ratio size
for file in "${files[@]}"; do
  path=$work/$file
  mine=$(best_of "$ours" "$path")
  theirs=$(best_of ffmpeg -loglevel error -i "$path" -f rawvideo -y /dev/null)
  printf '%-20s %9.3fs %9.3fs %8.2f %10s\n' "$file" "$mine" "$theirs" "$(echo "$mine / $theirs" | bc -l)" \
    "$(stat -c %s "$path")"
done
