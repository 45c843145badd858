#!/usr/bin/env bash
# Checks of drawn captions against independent tools:
# - readability: a Latin caption on a light, a dark and a busy photo, in each readability style,
#   at 720p and 1080p; each still read back by tesseract, as a reader looks at a caption: the band
#   of the frame where a bottom caption goes (80 % to 96 % of its height), as one line of text
#   (--psm 7; on the whole frame its page analysis takes a busy photo for text); prints what it
#   read and whether every word came back;
# - layout: the letters' bounding box in a still against pango-view drawing the same string, font
#   and size (the box's width and height, which placement does not change; the goal is 2 px).
#
# Usage: bench/captions-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset ci >/dev/null
cmake --build --preset ci --target kinetar-cli >/dev/null
root=$PWD
cli=$root/build/ci/src/cli/kinetar-cli
work=$PWD/build/bench-captions-check
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
cd "$work"
py=/usr/bin/python3

$py - <<'PY'
from PIL import Image, ImageFilter
import numpy as np
rng = np.random.default_rng(7)
# Light: a pale sky with a little grain; dark: a night with grain; busy: a photograph.
light = np.clip(230 + rng.normal(0, 6, (1080, 1920, 3)), 0, 255).astype(np.uint8)
dark = np.clip(25 + rng.normal(0, 6, (1080, 1920, 3)), 0, 255).astype(np.uint8)
Image.fromarray(light).save('light.png')
Image.fromarray(dark).save('dark.png')
Image.open('/usr/lib/python3/dist-packages/skimage/data/astronaut.png').convert('RGB').save('busy.png')
Image.new('RGB', (1920, 1080), (0, 0, 0)).save('black.png')
PY

text='Holiday in Lisbon 2024'
printf 'readability (tesseract, "%s"):\n' "$text"
total=0
passed=0
for size in 720p 1080p; do
  for background in light dark busy; do
    for style in shadow outline box plain; do
      "$cli" new ocr.AVIprj --force
      "$cli" add ocr.AVIprj --fit crop "$background.png"
      "$cli" set ocr.AVIprj --size "$size" >/dev/null
      "$cli" caption ocr.AVIprj 0 "$text" --style "$style"
      "$cli" still ocr.AVIprj 0 --output ocr.png
      height=${size%p}
      /usr/bin/convert ocr.png -crop "$((height * 16 / 9))x$((height * 16 / 100))+0+$((height * 80 / 100))" band.png
      read_back=$(tesseract band.png - --psm 7 2>/dev/null | tr '\n' ' ' | sed 's/  */ /g; s/ *$//')
      verdict=no
      if [ "$(echo "$read_back" | grep -c -F "$text")" -gt 0 ]; then
        verdict=yes
        [ "$style" = plain ] || passed=$((passed + 1))
      fi
      [ "$style" = plain ] || total=$((total + 1))
      printf '  %-5s %-5s %-7s read %-3s "%s"\n' "$size" "$background" "$style" "$verdict" "$read_back"
    done
  done
done
printf '  with a readability style: %d of %d read back whole (plain is shown for comparison)\n' "$passed" "$total"

echo "layout (ink box: ours against pango-view, width x height):"
ink_box() {  # the box of pixels brighter than 40 in a picture on black: WxH
  $py - "$1" <<'PY'
import sys
import numpy as np
from PIL import Image
a = np.asarray(Image.open(sys.argv[1]).convert('L')) > 40
ys, xs = np.nonzero(a)
print(f'{xs.max() - xs.min() + 1}x{ys.max() - ys.min() + 1}')
PY
}
for row in "DejaVu Sans|720|Holiday in Lisbon 2024" "DejaVu Serif|1080|Quick brown fox, jumps!" \
  "DejaVu Sans|1080|Ünïcödé façade" "DejaVu Sans Mono|720|x = 42; y = 7"; do
  IFS='|' read -r family height string <<<"$row"
  "$cli" new box.AVIprj --force
  "$cli" add box.AVIprj black.png
  "$cli" set box.AVIprj --size "$((height * 16 / 9))x$height" >/dev/null
  "$cli" caption box.AVIprj 0 "$string" --style plain --font "$family"
  "$cli" still box.AVIprj 0 --output ours.png
  pixels=$((height * 5 / 100))
  pango-view -q --font "$family ${pixels}px" --background black --foreground white --margin 20 \
    --antialias gray --hint-metrics off --text "$string" --output pango.png
  ours=$(ink_box ours.png)
  theirs=$(ink_box pango.png)
  ow=${ours%x*} oh=${ours#*x} tw=${theirs%x*} th=${theirs#*x}
  dw=$((ow > tw ? ow - tw : tw - ow)) dh=$((oh > th ? oh - th : th - oh))
  printf '  %-17s %4s px letters, "%s": ours %s, pango-view %s, differ by %d x %d px\n' "$family" "$pixels" \
    "$string" "$ours" "$theirs" "$dw" "$dh"
done

if [ -n "${OLD_CLI:-}" ]; then
  echo "old projects (against $OLD_CLI):"
  $py - <<'PY'
from PIL import Image, ImageDraw
for i in range(4):
    im = Image.new('RGB', (900 + 100 * i, 700), (40 * i, 90, 160))
    ImageDraw.Draw(im).ellipse([100, 100, 600, 500], fill=(250, 200, 10 * i))
    im.save(f'old{i}.jpg', quality=90)
PY
  "$cli" new old.AVIprj
  "$cli" add old.AVIprj --fit letterbox --duration 1 --crossfade 0.4 --motion auto old*.jpg
  for codec in DIB MJPG; do
    "$cli" set old.AVIprj --size 640x360 --fps 25 --output "$work/new-$codec.avi" >/dev/null
    "$cli" render old.AVIprj --codec "$codec" --quiet
    "$OLD_CLI" set old.AVIprj --output "$work/old-$codec.avi" >/dev/null
    "$OLD_CLI" render old.AVIprj --codec "$codec" --quiet
    if cmp -s "new-$codec.avi" "old-$codec.avi"; then same="identical bytes"; else same="different bytes"; fi
    # Motion JPEG files differ in their bytes from one run to the next of the same build; their frames do not.
    frames_new=$(ffmpeg -v error -i "new-$codec.avi" -f framemd5 - | grep -v '^#' | md5sum | cut -c1-12)
    frames_old=$(ffmpeg -v error -i "old-$codec.avi" -f framemd5 - | grep -v '^#' | md5sum | cut -c1-12)
    printf '  %s render of a project without captions: %s (%s bytes); decoded frames %s\n' "$codec" "$same" \
      "$(stat -c %s "new-$codec.avi")" "$([ "$frames_new" = "$frames_old" ] && echo identical || echo DIFFERENT)"
  done
  cp old.AVIprj text.AVIprj
  "$cli" caption text.AVIprj 1 'A caption'
  "$cli" title text.AVIprj --at 0 'A title' --duration 2
  "$cli" set text.AVIprj --output "$work/text-old.avi" >/dev/null
  "$OLD_CLI" render text.AVIprj --codec MJPG --quiet 2>old-render.txt || true
  frames=$(ffprobe -v error -select_streams v -show_entries stream=nb_frames -of csv=p=0 text-old.avi)
  printf '  the older build on a project with a title (2 s) and a caption: %s frames (ours: %s); it said: %s\n' \
    "$frames" "$("$cli" info --json text.AVIprj | $py -c 'import json,sys; print(json.load(sys.stdin)["total_frames"])')" \
    "$(tr '\n' ' ' <old-render.txt)"
fi
