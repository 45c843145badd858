#!/usr/bin/python3
"""Makes the sample project: 36 pictures in six formats (BMP, PCX, TGA, GIF, JPEG, PNG), of mixed
sizes and stretch flags, and a project file listing them in order, built with kinetar-cli. Every
other JPEG is stored on its side with the EXIF orientation that turns it upright again.

Usage: make-sample.py KINETAR_CLI FOLDER
"""
import math
import os
import subprocess
import sys

from PIL import Image, ImageDraw

FRAMES = 36
WIDTH, HEIGHT = 320, 240
FORMATS = ["bmp", "pcx", "tga", "gif", "jpg", "png"]
# Seven sizes against six formats, so every format meets every size. Every few frames a picture of
# another size: stretched, copied and cut, or copied with a black band.
SIZES = [
    ((WIDTH, HEIGHT), True),
    ((160, 120), True),
    ((WIDTH, HEIGHT), False),
    ((400, 300), False),
    ((WIDTH, HEIGHT), True),
    ((200, 150), False),
    ((480, 200), True),
]


def draw_frame(index, size):
    width, height = size
    image = Image.new("RGB", size)
    pixels = image.load()
    for y in range(height):
        for x in range(width):
            pixels[x, y] = (x * 255 // width, y * 255 // height, (index * 7) % 256)
    draw = ImageDraw.Draw(image)
    angle = 2 * math.pi * index / FRAMES
    cx = width / 2 + math.cos(angle) * width / 3
    cy = height / 2 + math.sin(angle) * height / 3
    radius = min(width, height) / 8
    draw.ellipse([cx - radius, cy - radius, cx + radius, cy + radius], fill=(255, 255, 255), outline=(0, 0, 0))
    draw.rectangle([4, 4, 4 + 10 * (index + 1) * width // (12 * FRAMES), 12], fill=(255, 220, 0))
    return image


def save(image, path, kind, index):
    if kind == "bmp":
        # Every other bitmap has a palette, so both kinds of pixels go through.
        (image.quantize(256) if index % 3 == 1 else image).save(path)
    elif kind == "pcx":
        image.save(path)
    elif kind == "tga":
        image.save(path, compression="tga_rle" if index % 3 == 1 else None)
    elif kind == "gif":
        image.quantize(256).save(path)
    elif kind == "jpg" and index % 12 == 4:
        # Stored turned a quarter to the left; orientation 6 asks the reader to turn it back.
        exif = Image.Exif()
        exif[0x0112] = 6
        image.transpose(Image.Transpose.ROTATE_90).save(path, quality=90, exif=exif)
    elif kind == "jpg":
        image.save(path, quality=90)
    else:
        # Every other PNG has an alpha channel, laid over black like the bands around a copy.
        (image.convert("RGBA") if index % 12 == 5 else image).save(path)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    cli, folder = sys.argv[1], os.path.abspath(sys.argv[2])
    pictures = os.path.join(folder, "pictures")
    os.makedirs(pictures, exist_ok=True)
    project = os.path.join(folder, "sample.AVIprj")

    subprocess.run([cli, "new", "--force", project], check=True)
    subprocess.run([cli, "set", project, "--size", f"{WIDTH}x{HEIGHT}", "--fps", "12", "--depth", "24",
                    "--output", os.path.join(folder, "sample.avi"), "--play", "no"], check=True)
    for index in range(FRAMES):
        size, stretch = SIZES[index % len(SIZES)]
        kind = FORMATS[index % len(FORMATS)]
        path = os.path.join(pictures, f"frame{index:02d}.{kind}")
        save(draw_frame(index, size), path, kind, index)
        subprocess.run([cli, "add", project] + ([] if stretch else ["--no-stretch"]) + [path], check=True)
    print(project)


if __name__ == "__main__":
    main()
