#!/usr/bin/python3
"""Makes the image corpus that compare.sh measures: scanned-page look-alikes in the
formats users convert most.

  make_corpus.py OUT_DIR [--jpeg N] [--g4 N] [--png N] [--pngc N] [--merge N]

OUT_DIR/jpeg     colour JPEGs, 1700 x 2200 (a letter page at 200 dpi), quality 85
OUT_DIR/g4       1-bit TIFFs, CCITT G4 in one strip, 2550 x 3300 at 300 dpi (text-like)
OUT_DIR/png      8-bit greyscale PNGs, 1700 x 2200, non-interlaced (a grey scan)
OUT_DIR/pngc     24-bit colour PNGs, 1700 x 2200, non-interlaced (a colour scan saved losslessly)
OUT_DIR/merge    a list file (merge.txt) naming MERGE files taken in turn from the three sets

Pictures are drawn with ImageMagick's convert and G4 strips joined with tiffcp; a few
distinct pictures per set are made and the rest are copies, which is enough to measure
throughput. Needs only the standard library.
"""
import argparse
import concurrent.futures
import os
import random
import shutil
import subprocess
import sys

DISTINCT = 8


def run(*cmd):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)


def text_like_draw(seed, width, height):
    """Rectangles in rows, like lines of words on a page."""
    rng = random.Random(seed)
    draws = []
    y = 200
    while y < height - 200:
        x = 200
        while x < width - 300:
            w = rng.randint(40, 220)
            draws.append(f"rectangle {x},{y} {x + w},{y + 28}")
            x += w + rng.randint(18, 30)
        y += rng.choice([48, 48, 48, 96])
    return " ".join(draws)


def make_jpeg(path, seed):
    run("convert", "-seed", str(seed), "-size", "425x550", "plasma:fractal", "-blur", "0x2",
        "-resize", "1700x2200!", "-attenuate", "0.4", "+noise", "Gaussian",
        "-density", "200", "-units", "PixelsPerInch", "-quality", "85", "-sampling-factor", "2x2",
        f"jpeg:{path}")


def make_g4(path, seed):
    tmp = path + ".tmp.tif"
    run("convert", "-size", "2550x3300", "xc:white", "-fill", "black", "-draw", text_like_draw(seed, 2550, 3300),
        "-monochrome", "-density", "300", "-units", "PixelsPerInch", "-compress", "Group4", f"tiff:{tmp}")
    run("tiffcp", "-c", "g4", "-r", "100000", tmp, path)  # one strip: what scanners write
    os.remove(tmp)


def make_png(path, seed):
    run("convert", "-seed", str(seed), "-size", "2200x1700", "gradient:gray90-gray60", "-rotate", "90",
        "-fill", "gray20", "-draw", text_like_draw(seed, 1700, 2200), "-attenuate", "0.15", "+noise", "Gaussian",
        "-colorspace", "Gray", "-depth", "8", "-density", "200", "-units", "PixelsPerInch",
        "-define", "png:color-type=0", "-define", "png:bit-depth=8", f"png:{path}")


def make_png_colour(path, seed):
    run("convert", "-seed", str(seed), "-size", "425x550", "plasma:fractal", "-blur", "0x2",
        "-resize", "1700x2200!", "-fill", "gray10", "-draw", text_like_draw(seed, 1700, 2200),
        "-depth", "8", "-density", "200", "-units", "PixelsPerInch",
        "-define", "png:color-type=2", "-define", "png:bit-depth=8", f"png:{path}")


def make_set(folder, maker, ext, count, pool):
    os.makedirs(folder, exist_ok=True)
    names = [os.path.join(folder, f"page{i:05d}.{ext}") for i in range(count)]
    distinct = names[:DISTINCT]
    list(pool.map(maker, distinct, range(1, len(distinct) + 1)))
    for i, name in enumerate(names[DISTINCT:], start=DISTINCT):
        shutil.copyfile(distinct[i % len(distinct)], name)
    return names


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("out")
    parser.add_argument("--jpeg", type=int, default=200)
    parser.add_argument("--g4", type=int, default=200)
    parser.add_argument("--png", type=int, default=100)
    parser.add_argument("--pngc", type=int, default=100)
    parser.add_argument("--merge", type=int, default=1000)
    args = parser.parse_args()
    for tool in ("convert", "tiffcp"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing (scripts/deps.sh installs it)")
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count()) as pool:
        sets = [
            make_set(os.path.join(args.out, "jpeg"), make_jpeg, "jpg", args.jpeg, pool),
            make_set(os.path.join(args.out, "g4"), make_g4, "tif", args.g4, pool),
            make_set(os.path.join(args.out, "png"), make_png, "png", args.png, pool),
        ]
        make_set(os.path.join(args.out, "pngc"), make_png_colour, "png", args.pngc, pool)
    merge = [sets[i % 3][(i // 3) % len(sets[i % 3])] for i in range(args.merge) if sets[i % 3]]
    os.makedirs(os.path.join(args.out, "merge"), exist_ok=True)
    with open(os.path.join(args.out, "merge", "merge.txt"), "w") as f:
        f.write("\n".join(os.path.abspath(p) for p in merge) + "\n")
    print(f"corpus in {args.out}: {args.jpeg} JPEG, {args.g4} G4 TIFF, {args.png} grey PNG, {args.pngc} colour PNG, merge list of {len(merge)}")


if __name__ == "__main__":
    main()
