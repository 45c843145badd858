#!/usr/bin/env bash
# The main window's frame commands on a project of 10,000 frames, and the preview of a 4000x3000
# picture against Qt's own reader of the same file (bench/frames.cpp).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps
cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-frames-bench kinetar-cli >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/convert -size 4000x3000 gradient:'#ff2000-#0030ff' -type TrueColor BMP3:"$work/big.bmp"
for round in 1 2 3; do
  echo "round $round"
  rm -rf "$work/run" && mkdir "$work/run"
  build/ci/bench/kinetar-frames-bench "$work/run" "$work/big.bmp"
done

# The command line's add of the same 10,000 paths, for scale.
build/ci/src/cli/kinetar-cli new "$work/cli.AVIprj" >/dev/null
mkdir -p "$work/pictures"
# add takes only what it can read: one small picture, linked under every name.
/usr/bin/convert -size 2x2 xc:'#ff8000' -type TrueColor BMP3:"$work/one.bmp"
/usr/bin/python3 -c 'import os, sys
for i in range(1, 10001):
    os.link(sys.argv[1], f"{sys.argv[2]}/frame{i}.bmp")' "$work/one.bmp" "$work/pictures"
paths=()
for i in $(seq 10000 -1 1); do paths+=("$work/pictures/frame$i.bmp"); done
start=$(date +%s%N)
build/ci/src/cli/kinetar-cli add "$work/cli.AVIprj" --sort end "${paths[@]}" >/dev/null
echo "peer: kinetar-cli add of 10,000 paths: $(( ($(date +%s%N) - start) / 1000000 )) ms (whole process)"
