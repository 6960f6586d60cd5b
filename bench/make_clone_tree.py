#!/usr/bin/env python3
"""Builds a folder tree for the clone benchmark: N tiny images (real 8x8 JPEG, PNG and
TIFF files, copied) spread over three levels of folders, about 100 per folder, with one
text file per folder that the job must pass over. Same seed, same tree.

    bench/make_clone_tree.py OUT [--images N] [--seed S]
"""
import argparse
import os
import random
import subprocess
import tempfile


def templates():
    """8x8 images drawn with ImageMagick's convert: colour JPEG, greyscale PNG, 1-bit TIFF."""
    made = []
    with tempfile.TemporaryDirectory() as tmp:
        for ext, draw in [("jpg", ["xc:orange"]), ("png", ["gradient:", "-colorspace", "gray"]),
                          ("tif", ["xc:white", "-monochrome"])]:
            path = os.path.join(tmp, "t." + ext)
            subprocess.run(["convert", "-size", "8x8"] + draw + [path], check=True)
            with open(path, "rb") as f:
                made.append((ext, f.read()))
    return made


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--images", type=int, default=100000)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    kinds = templates()
    per_folder = 100
    folders = max(1, args.images // per_folder)
    made = 0
    for f in range(folders):
        parts = ["d%02d" % (f % 10), "e%02d" % ((f // 10) % 10), "f%03d" % (f // 100)]
        folder = os.path.join(args.out, *parts[: 1 + rng.randrange(3)])
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "readme%d.txt" % f), "w") as t:
            t.write("not an image\n")
        count = per_folder if f < folders - 1 else args.images - made
        for i in range(count):
            ext, data = kinds[rng.randrange(len(kinds))]
            with open(os.path.join(folder, "scan%04d_%05d.%s" % (f, i, ext)), "wb") as out:
                out.write(data)
        made += count
    print("images %d folders %d" % (made, folders))


if __name__ == "__main__":
    main()
