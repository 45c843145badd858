#!/usr/bin/env bash
# Pictures that move, measured against ffmpeg's zoompan in the same run:
# - smoothness: a small soft dot panned 0.3 px a frame for 200 frames, rendered losslessly; the
#   dot's centroid across each frame: the RMS of its second difference and the backward steps;
# - accuracy: frames of a slow zoom over a photo against Pillow's bicubic EXTENT transform of the
#   same real rectangle from a source enlarged four times (PSNR);
# - flicker: a grating of one-pixel lines panned 0.1 px a frame: the largest change of a frame's
#   mean brightness from the one before;
# - speed: PHOTOS photos of 4000x3000 (bench/make-photos.sh), 4 s each with automatic motion and
#   0.5 s crossfades, 1920x1080 at 25 fps into MP4 H.264, against the usual ffmpeg recipe
#   (scale=8000:-1,zoompan ...; no crossfades), whole process wall time and peak memory; and the
#   motion stage alone (kinetar-motion-bench: 1080p frames drawn, no compression) against the
#   codec library's scaler.
#
# Usage: bench/motion.sh [PHOTOS]   (6 by default; the issue's figure is for 60)
set -euo pipefail
cd "$(dirname "$0")/.."
photos=${1:-6}
cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-cli kinetar-motion-bench >/dev/null
root=$PWD
cli=$root/build/ci/src/cli/kinetar-cli
work=$PWD/build/bench-motion
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
cd "$work"
py=/usr/bin/python3

# --- smoothness: a 1280x720 picture, a 640x360 video, zoom 2 (one picture pixel per frame pixel),
# the view's centre moving 60 picture pixels over 200 frames.
$py - <<'PY'
import numpy as np
from PIL import Image
y, x = np.mgrid[0:720, 0:1280]
dot = 255 * np.exp(-((x - 500.5) ** 2 + (y - 360.5) ** 2) / (2 * 1.2 ** 2))
Image.fromarray(np.repeat(dot[:, :, None], 3, 2).round().astype(np.uint8)).save('dot.png')
grating = np.where(x % 2 == 0, 255, 0)
Image.fromarray(np.repeat(grating[:, :, None], 3, 2).astype(np.uint8)).save('grating.png')
PY
"$cli" new dot.AVIprj
"$cli" add dot.AVIprj --fit crop --duration 8 --motion 0.5,0.5,2:0.546875,0.5,2 dot.png
"$cli" set dot.AVIprj --size 640x360 --fps 25 --output "$work/dot.avi" >/dev/null
"$cli" render dot.AVIprj --codec DIB --quiet
ffmpeg -v error -y -i dot.avi -f rawvideo -pix_fmt gray ours.gray
ffmpeg -v error -y -loop 1 -i dot.png -vf "zoompan=z=2:x='320+0.3*on':y=180:d=200:s=640x360:fps=25" -frames:v 200 \
  -f rawvideo -pix_fmt gray zoompan.gray
$py - <<'PY'
import numpy as np
for name in ('ours', 'zoompan'):
    frames = np.fromfile(name + '.gray', np.uint8).reshape(-1, 360, 640).astype(float)
    xs = np.arange(640) + 0.5
    centroid = (frames.sum(1) * xs).sum(1) / frames.sum((1, 2))
    steps = np.diff(centroid)
    second = np.diff(steps)
    # The view moves right, so the dot moves left: a backward step is one to the right.
    print(f'smoothness {name:8s}: {len(centroid)} frames, step {-steps.mean():.4f} px, '
          f'second difference RMS {np.sqrt((second ** 2).mean()):.4f} px/frame^2, backward steps {(steps > 0).sum()}')
PY

# --- flicker: the grating, 0.1 px a frame across (640 px of a 1280 px picture at zoom 2).
"$cli" new grating.AVIprj
"$cli" add grating.AVIprj --fit crop --duration 4 --motion 0.5,0.5,2:0.5078125,0.5,2 grating.png
"$cli" set grating.AVIprj --size 640x360 --fps 25 --output "$work/grating.avi" >/dev/null
"$cli" render grating.AVIprj --codec DIB --quiet
ffmpeg -v error -y -i grating.avi -f rawvideo -pix_fmt gray grating.gray
ffmpeg -v error -y -loop 1 -i grating.png -vf "zoompan=z=2:x='320+0.1*on':y=180:d=100:s=640x360:fps=25" \
  -frames:v 100 -f rawvideo -pix_fmt gray grating-zoompan.gray
$py - <<'PY'
import numpy as np
for name in ('grating', 'grating-zoompan'):
    means = np.fromfile(name + '.gray', np.uint8).reshape(-1, 360, 640).astype(float).mean((1, 2))
    print(f'flicker {name:16s}: largest change of mean brightness {np.abs(np.diff(means)).max():.3f} levels')
PY

# --- accuracy: a photo, a slow zoom from 1 to 1.5 towards a point off centre, 1280x720.
bash "$root/bench/make-photos.sh" "$work/photos" "$photos" >/dev/null 2>&1
"$cli" new zoom.AVIprj
"$cli" add zoom.AVIprj --fit crop --duration 4 --motion 0.5,0.5,1:0.4,0.45,1.5 photos/0001.jpg
"$cli" set zoom.AVIprj --size 1280x720 --fps 25 --output "$work/zoom.avi" >/dev/null
for frame in 0 33 66 99; do "$cli" still zoom.AVIprj "#$frame" --output "zoom$frame.png"; done
$py - "$work/photos/0001.jpg" <<'PY'
import math, sys
import numpy as np
from PIL import Image
# The same real rectangle as the program's: the crop view of a 4000x3000 picture in 16:9 at
# zoom z, its centre at the framing's, kept inside the picture; zoom geometric, centre linear in
# u = (k + 0.5) / 100. The reference decodes the JPEG at full size (ours decodes it at 5/8).
source = Image.open(sys.argv[1]).convert('RGB')
W, H = source.size
big = source.resize((4 * W, 4 * H), Image.BICUBIC)
for k in (0, 33, 66, 99):
    u = (k + 0.5) / 100
    zoom = math.exp(math.log(1.5) * u)
    cx, cy = (0.5 + (0.4 - 0.5) * u) * W, (0.5 + (0.45 - 0.5) * u) * H
    vw, vh = W / zoom, W * 9 / 16 / zoom
    left = min(max(cx - vw / 2, 0), W - vw)
    top = min(max(cy - vh / 2, 0), H - vh)
    reference = big.transform((1280, 720), Image.EXTENT, (4 * left, 4 * top, 4 * (left + vw), 4 * (top + vh)),
                              Image.BICUBIC)
    ours = np.asarray(Image.open(f'zoom{k}.png').convert('RGB'), float)
    error = ((ours - np.asarray(reference, float)) ** 2).mean()
    print(f'accuracy frame {k:2d}: PSNR {10 * math.log10(255 ** 2 / error):.2f} dB')
PY

# --- speed.
"$cli" new show.AVIprj
"$cli" add show.AVIprj --fit crop --duration 4 --crossfade 0.5 --motion auto photos/*.jpg
"$cli" set show.AVIprj --size 1080p --fps 25 --output "$work/show.mp4" >/dev/null
measure() {
  local name=$1
  shift
  sync
  /usr/bin/time -f '%e %M' -o time.txt "$@" >/dev/null 2>&1
  read -r seconds kib < <(tail -n 1 time.txt)
  printf 'speed %-8s %8s s %6d MiB\n' "$name" "$seconds" "$((kib / 1024))"
}
measure ours "$cli" render show.AVIprj --quiet
measure ffmpeg ffmpeg -v error -y -framerate 1/4 -pattern_type glob -i 'photos/*.jpg' \
  -vf "scale=8000:-1,zoompan=z='min(zoom+0.0015,1.5)':d=100:s=1920x1080:fps=25" -c:v libx264 -pix_fmt yuv420p ffmpeg.mp4
printf 'frames: ours %s, ffmpeg %s\n' "$(ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 -select_streams v show.mp4)" \
  "$(ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 -select_streams v ffmpeg.mp4)"
"$root/build/ci/bench/kinetar-motion-bench" photos/0001.jpg 200
