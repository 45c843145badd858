#!/usr/bin/env bash
# Checks of drawn captions against independent tools:
# - readability: a Latin caption on a light, a dark and five busy photos, in each readability
#   style, at 720p and 1080p; each still read back by tesseract four ways, as a reader might:
#   the whole frame with tesseract's own page analysis (--psm 3), the whole frame as sparse text
#   (--psm 11), the band where a bottom caption sits (the frame's lowest fifth, its whole width) as
#   a block of text (--psm 6), as a checker that knows only the caption's position might crop it,
#   and a crop around the caption (its letters, the white pixels that the same still without the
#   caption lacks, grown by half the letters' height each way) as one line (--psm 7); prints what
#   each read and whether every word came back;
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
from PIL import Image
import numpy as np
rng = np.random.default_rng(7)
# Light: a pale sky with a little grain; dark: a night with grain; busy: photographs.
light = np.clip(230 + rng.normal(0, 6, (1080, 1920, 3)), 0, 255).astype(np.uint8)
dark = np.clip(25 + rng.normal(0, 6, (1080, 1920, 3)), 0, 255).astype(np.uint8)
Image.fromarray(light).save('light.png')
Image.fromarray(dark).save('dark.png')
data = '/usr/lib/python3/dist-packages/skimage/data/'
for name, file in [('astronaut', 'astronaut.png'), ('coffee', 'coffee.png'), ('cat', 'chelsea.png'),
                   ('rocket', 'rocket.jpg'), ('motorcycle', 'motorcycle_left.png')]:
    Image.open(data + file).convert('RGB').save(name + '.png')
Image.new('RGB', (1920, 1080), (0, 0, 0)).save('black.png')
PY

text='Holiday in Lisbon 2024'
backgrounds='light dark astronaut coffee cat rocket motorcycle'
for size in 720p 1080p; do
  for background in $backgrounds; do
    for style in none shadow outline box plain; do
      "$cli" new ocr.AVIprj --force
      "$cli" add ocr.AVIprj --fit crop "$background.png"
      "$cli" set ocr.AVIprj --size "$size" >/dev/null
      [ "$style" = none ] || "$cli" caption ocr.AVIprj 0 "$text" --style "$style"
      "$cli" still ocr.AVIprj 0 --output "ocr-$size-$background-$style.png"
    done
  done
done
printf 'readability (tesseract, "%s"; the whole frame as a page, as sparse text, the lowest fifth, a crop around the caption):\n' "$text"
$py - "$text" $backgrounds <<'PY'
import io
import re
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

import numpy as np
from PIL import Image

text, backgrounds = sys.argv[1], sys.argv[2:]
sizes = ['720p', '1080p']
styles = ['shadow', 'outline', 'box', 'plain']
ways = [('page', 3, 'frame'), ('sparse', 11, 'frame'), ('band', 6, 'band'), ('crop', 7, 'letters')]


def read(size, background, style, psm, crop):
    still = Image.open(f'ocr-{size}-{background}-{style}.png').convert('RGB')
    if crop == 'band':
        still = still.crop((0, still.height * 4 // 5, still.width, still.height))
    elif crop == 'letters':
        # The caption's letters: white pixels the same still without the caption lacks.
        pixels = np.asarray(still).astype(int)
        bare = np.asarray(Image.open(f'ocr-{size}-{background}-none.png').convert('RGB')).astype(int)
        letters = (pixels.min(axis=2) >= 240) & (np.abs(pixels - bare).max(axis=2) > 24)
        ys, xs = np.nonzero(letters)
        if len(xs) == 0:
            return ''
        margin = (ys.max() - ys.min() + 1) // 2
        still = still.crop((max(xs.min() - margin, 0), max(ys.min() - margin, 0),
                            min(xs.max() + 1 + margin, still.width), min(ys.max() + 1 + margin, still.height)))
    png = io.BytesIO()
    still.save(png, 'PNG')
    out = subprocess.run(['tesseract', 'stdin', 'stdout', '--psm', str(psm)], input=png.getvalue(),
                         capture_output=True, check=True).stdout.decode('utf-8', 'replace')
    return re.sub(r'\s+', ' ', out).strip()


jobs = [(size, background, style, psm, crop) for size in sizes for background in backgrounds for style in styles
        for _, psm, crop in ways]
with ThreadPoolExecutor(2) as pool:
    results = dict(zip(jobs, pool.map(lambda job: read(*job), jobs)))
passed = {name: 0 for name, _, _ in ways}
total = 0
for size in sizes:
    for background in backgrounds:
        for style in styles:
            verdicts = []
            for name, psm, crop in ways:
                read_back = results[(size, background, style, psm, crop)]
                whole = text in read_back
                if style != 'plain':
                    passed[name] += whole
                shown = read_back if len(read_back) <= 44 else read_back[:16] + ' ... ' + read_back[-24:]
                verdicts.append(f'{name} {"yes" if whole else "no "} "{shown}"')
            total += style != 'plain'
            print(f'  {size:5} {background:10} {style:7} ' + '; '.join(verdicts))
print('  with a readability style, read back whole: ' +
      ', '.join(f'{name} {passed[name]} of {total}' for name, _, _ in ways) + ' (plain is shown for comparison)')
PY

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
