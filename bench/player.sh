#!/usr/bin/env bash
# The preview player on a 1080p, 25 fps slideshow of 4000x3000 photos with automatic motion, blurred
# fill and 0.5 s crossfades, played offscreen at the details panel's size for SECONDS (30): frames
# shown a second and the share left out after the first second. Goals: 25 a second, under 2 %.
#   bench/player.sh [SECONDS] [WINDOW WIDTHxHEIGHT]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
window=${2:-578x470}
scripts/install-deps
cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-player-bench kinetar-cli >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bench/make-photos.sh "$work/photos" 12 >/dev/null
cli=build/ci/src/cli/kinetar-cli
"$cli" new "$work/show.AVIprj" --slideshow >/dev/null
"$cli" add "$work/show.AVIprj" "$work"/photos/*.jpg >/dev/null
for round in 1 2 3; do
  echo "round $round, window $window"
  build/ci/bench/kinetar-player-bench "$work/show.AVIprj" "$seconds" "$window" 2>/dev/null
done
