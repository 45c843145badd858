#!/usr/bin/env bash
# Hostile and long sounds: wall time and peak memory of `kinetar-cli render` of a one-second video
# whose sound is a WAV claiming a rate no sound file holds (or the lowest one played), and of
# `info --json` of those projects and of projects holding a 10-hour FLAC and a 10-hour Opus.
#
# Usage: bench/hostile-sounds.sh   (builds the ci preset first; needs ffmpeg, python3, /usr/bin/time)
#   KINETAR_CLI="path..."  measures these builds of kinetar-cli instead, each in turn on the same
#                          inputs (e.g. an older commit's and this one's)
#   HOURS=N                the long sounds' length (10 by default; making the Opus one takes minutes)
#   LIMIT=S                stops a command after S seconds (300 by default) and says so
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${KINETAR_CLI:-}" ]; then
  cmake --preset ci >/dev/null
  cmake --build --preset ci --target kinetar-cli >/dev/null
fi
read -r -a clis <<<"${KINETAR_CLI:-$PWD/build/ci/src/cli/kinetar-cli}"
cli=${clis[0]}  # makes the projects
hours=${HOURS:-10}
limit=${LIMIT:-300}
# The long sounds are hundreds of megabytes: a temporary folder, removed at the end.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# measure LABEL ARGUMENTS...: wall time and peak resident memory of kinetar-cli ARGUMENTS, one run
# of each build (/usr/bin/time).
measure() {
  local label=$1 build status seconds kib
  shift
  for build in "${clis[@]}"; do
    status=0
    /usr/bin/time -f '%e %M' -o "$work/time.txt" timeout "$limit" "$build" "$@" >/dev/null 2>"$work/err.txt" ||
      status=$?
    read -r seconds kib < <(tail -n 1 "$work/time.txt")
    printf '%-36s %8.2f s %7d MiB  %s%s\n' "$label" "$seconds" "$((kib / 1024))" "$build" \
      "$([ "$status" = 124 ] && echo "  (stopped at $limit s)")"
  done
}

# wav PATH RATE BYTES: 16-bit mono PCM of silence under a header that states RATE as it is.
wav() {
  /usr/bin/python3 -c 'import struct, sys
path, rate, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
fmt = struct.pack("<IHHIIHH", 16, 1, 1, rate, (rate * 2) & 0xFFFFFFFF, 2, 16)
with open(path, "wb") as out:
    out.write(b"RIFF" + struct.pack("<I", 36 + size) + b"WAVE" + b"fmt " + fmt + b"data" + struct.pack("<I", size))
    out.write(bytes(size))' "$@"
}

# project NAME SOUND: a one-second video of 64x48 at 25 fps with the sound cued at its start.
project() {
  "$cli" new "$work/$1.AVIprj" >/dev/null
  "$cli" set "$work/$1.AVIprj" --size 64x48 --fps 25 >/dev/null
  "$cli" add "$work/$1.AVIprj" "$2" >/dev/null
  "$cli" add "$work/$1.AVIprj" --duration 1 "$work/picture.bmp" >/dev/null
}

ffmpeg -v error -f lavfi -i color=c=gray:s=64x48 -frames:v 1 -pix_fmt bgr24 "$work/picture.bmp"
wav "$work/1hz-200k.wav" 1 200000
wav "$work/1hz-2m.wav" 1 2000000
wav "$work/1khz-2m.wav" 1000 2000000
for sound in 1hz-200k 1hz-2m 1khz-2m; do
  project "$sound" "$work/$sound.wav"
  # The sound that cannot be read is left out, as --on-error skip answers the question.
  measure "render, $sound.wav" render "$work/$sound.AVIprj" --on-error skip --quiet --output "$work/out.avi"
  measure "info --json, $sound.wav" info "$work/$sound.AVIprj" --json
done

echo "Making ${hours}-hour sounds of ffmpeg's sine..."
seconds=$(awk -v hours="$hours" 'BEGIN { print int(hours * 3600) }')
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=$seconds" "$work/long.flac"
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=$seconds" "$work/long.opus"
for sound in long.flac long.opus; do
  project "$sound" "$work/$sound"
  measure "info, ${hours} h ${sound#long.}" info "$work/$sound.AVIprj"
  measure "info --json, ${hours} h ${sound#long.}" info "$work/$sound.AVIprj" --json
  rm "$work/$sound"
done
