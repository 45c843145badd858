#!/usr/bin/env bash
# Writes COUNT photos of 4000x3000, JPEG quality 90, into FOLDER as 0001.jpg, 0002.jpg, ...: the
# photographs of python3-skimage's data, enlarged, panned and zoomed by ffmpeg with film grain
# over them (so they hold as much detail as a camera's), each frame written by Pillow (libjpeg,
# quality 90, 4:2:0). A new group of frames starts at each photograph in turn.
#   bench/make-photos.sh FOLDER COUNT
set -euo pipefail
folder=${1:?usage: make-photos.sh FOLDER COUNT}
count=${2:?usage: make-photos.sh FOLDER COUNT}
data=/usr/lib/python3/dist-packages/skimage/data
sources=(coffee.png motorcycle_left.png chelsea.png astronaut.png rocket.jpg hubble_deep_field.jpg)
per_source=30
mkdir -p "$folder"

writer='
import sys
from PIL import Image
folder, first, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
size = 4000 * 3000 * 3
for i in range(count):
    header = b""
    while header.count(b"\n") < 3:  # P6, the size, the maximum value
        header += sys.stdin.buffer.read(1)
    data = sys.stdin.buffer.read(size)
    Image.frombytes("RGB", (4000, 3000), data).save("%s/%04d.jpg" % (folder, first + i), quality=90)
'
made=0
group=0
while [ "$made" -lt "$count" ]; do
  frames=$(( count - made < per_source ? count - made : per_source ))
  source=$data/${sources[$(( group % ${#sources[@]} ))]}
  # Enlarged to 6000x4500, then a 4000x3000 window that pans and zooms in over the group.
  ffmpeg -v error -loop 1 -i "$source" -frames:v "$frames" -vf \
    "scale=6400:4800:flags=bicubic,crop=w='6000-n*40':h='4500-n*30':x='n*30':y='n*20',scale=4000:3000:flags=bicubic,noise=alls=16:allf=t+u,format=rgb24" \
    -f image2pipe -c:v ppm - | /usr/bin/python3 -c "$writer" "$folder" $(( made + 1 )) "$frames"
  made=$(( made + frames ))
  group=$(( group + 1 ))
done
