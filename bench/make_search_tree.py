#!/usr/bin/env python3
"""Builds the folder tree the search benchmark walks.

100,000 files in about 2,000 folders (three levels), 10% of them images of the
seventeen image types, among those a few hundred real TIFF files, plus a few
hundred real PDF files among the rest. The real files are copies of a handful
made here with ImageMagick's convert (TIFF) and qpdf (PDF), so page counters
have something true to read. Same seed, same tree.

    bench/make_search_tree.py OUT [--files N] [--seed S]
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile

IMAGE_TYPES = ["tif", "tiff", "jpg", "jp2", "gif", "png", "pcd", "psd", "tga", "bmp", "dcx", "emf",
               "wmf", "pcx", "ppm", "ico", "pnm"]
OTHER_TYPES = ["txt", "doc", "docx", "xls", "csv", "xml", "log", "dat", "html", "zip", "json", "ini"]


def one_page_pdf(text):
    """A minimal, valid one-page PDF (qpdf rewrites it with a proper cross-reference table)."""
    stream = ("BT /F1 24 Tf 72 720 Td (%s) Tj ET" % text).encode()
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
        b"/Resources << /Font << /F1 5 0 R >> >> >>",
        b"<< /Length %d >>\nstream\n" % len(stream) + stream + b"\nendstream",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    ]
    out = bytearray(b"%PDF-1.4\n")
    offsets = []
    for i, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % i + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for off in offsets:
        out += b"%010d 00000 n \n" % off
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return bytes(out)


def run(*cmd):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_samples(work):
    """A few real TIFF files (1, 3 and 12 pages; G4 and LZW) and PDF files (1, 4, 30 pages)."""
    tiffs, pdfs = [], []
    pages = []
    for i in range(12):
        p = os.path.join(work, "p%d.tif" % i)
        run("convert", "-size", "850x1100", "xc:white", "-fill", "black", "-pointsize", "48",
            "-draw", "text 100,200 'page %d'" % (i + 1), "-monochrome", "-compress", "Group4", p)
        pages.append(p)
    for count, compress in ((1, "Group4"), (3, "Group4"), (12, "Group4"), (3, "LZW")):
        p = os.path.join(work, "t%d_%s.tif" % (count, compress))
        run("convert", *pages[:count], "-compress", compress, p)
        tiffs.append(p)
    single = os.path.join(work, "raw.pdf")
    with open(single, "wb") as f:
        f.write(one_page_pdf("sample"))
    for count in (1, 4, 30):
        p = os.path.join(work, "d%d.pdf" % count)
        run("qpdf", "--empty", "--pages", *([single] * count), "--", p)
        pdfs.append(p)
    return tiffs, pdfs


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("out")
    ap.add_argument("--files", type=int, default=100_000)
    ap.add_argument("--seed", type=int, default=7)
    ap.add_argument("--real-tiffs", type=int, default=300)
    ap.add_argument("--real-pdfs", type=int, default=300)
    args = ap.parse_args()
    for tool in ("convert", "qpdf"):
        if not shutil.which(tool):
            sys.exit("%s is needed (scripts/deps.sh installs it)" % tool)

    rnd = random.Random(args.seed)
    folders = [args.out]
    for a in range(20):
        level1 = os.path.join(args.out, "dept_%02d" % a)
        folders.append(level1)
        for b in range(10):
            level2 = os.path.join(level1, "batch %d" % b)
            folders.append(level2)
            for c in range(9):
                folders.append(os.path.join(level2, "box.%d" % c))
    for f in folders:
        os.makedirs(f, exist_ok=True)

    images = args.files // 10
    kinds = (["tiff"] * args.real_tiffs + ["pdf"] * args.real_pdfs +
             ["image"] * (images - args.real_tiffs) +
             ["other"] * (args.files - images - args.real_pdfs))
    rnd.shuffle(kinds)
    # Every image type but TIFF for the fake images: all TIFF files are real ones.
    fake_image_types = [t for t in IMAGE_TYPES if t not in ("tif", "tiff")]

    with tempfile.TemporaryDirectory() as work:
        tiffs, pdfs = make_samples(work)
        for i, kind in enumerate(kinds):
            folder = folders[rnd.randrange(len(folders))]
            stem = "%s_%06d" % (rnd.choice(["scan", "IMG", "doc", "Report 2024", "page"]), i)
            if kind == "tiff":
                src = rnd.choice(tiffs)
                shutil.copyfile(src, os.path.join(folder, stem + rnd.choice([".tif", ".tiff", ".TIF"])))
                continue
            if kind == "pdf":
                shutil.copyfile(rnd.choice(pdfs), os.path.join(folder, stem + rnd.choice([".pdf", ".PDF"])))
                continue
            ext = rnd.choice(fake_image_types if kind == "image" else OTHER_TYPES)
            if rnd.random() < 0.1:
                ext = ext.upper()
            with open(os.path.join(folder, "%s.%s" % (stem, ext)), "wb") as f:
                f.write(os.urandom(rnd.randrange(0, 3000)))
    print("%d files in %d folders under %s" % (len(kinds), len(folders), args.out))


if __name__ == "__main__":
    main()
