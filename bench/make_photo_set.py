#!/usr/bin/python3
"""Writes the eight photos of the README's quality table as 24-bit bitmaps into a folder (default: photos/):
scikit-image's sample pictures astronaut, chelsea, coffee, rocket, immunohistochemistry, hubble_deep_field, retina
and logo (its transparency laid on white). Needs python3-skimage. Usage: bench/make_photo_set.py [FOLDER]"""
import os
import sys

import numpy as np
import skimage.data
from skimage.io import imsave

NAMES = ["astronaut", "chelsea", "coffee", "rocket", "immunohistochemistry", "hubble_deep_field", "retina", "logo"]

folder = sys.argv[1] if len(sys.argv) > 1 else "photos"
os.makedirs(folder, exist_ok=True)
for name in NAMES:
    image = getattr(skimage.data, name)()
    if image.shape[2] == 4:
        alpha = image[:, :, 3:4].astype(np.float64) / 255.0
        image = np.round(image[:, :, :3] * alpha + 255.0 * (1.0 - alpha)).astype(np.uint8)
    imsave(os.path.join(folder, name + ".bmp"), image, check_contrast=False)
    print(os.path.join(folder, name + ".bmp"))
