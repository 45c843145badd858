"""Writes COUNT numbered BMP pictures of 1280x720 into FOLDER: gradients that turn and a white
block that moves, so every frame differs from the one before."""
import sys

from PIL import Image, ImageDraw

folder, count = sys.argv[1], int(sys.argv[2])
base = Image.linear_gradient("L").resize((1280, 720))
for i in range(count):
    image = Image.merge("RGB", (base, base.rotate(i, expand=False), base.transpose(Image.FLIP_LEFT_RIGHT)))
    ImageDraw.Draw(image).rectangle([i * 4, 300, i * 4 + 80, 380], fill=(255, 255, 255))
    image.save(f"{folder}/{i + 1:04d}.bmp")
