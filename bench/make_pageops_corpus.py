#!/usr/bin/python3
"""Makes the inputs of the page-operation benchmark (compare_pageops.sh).

  make_pageops_corpus.py OUT_DIR [--pdfs N] [--big N] [--render N] [--g4 N] [--poster SIDE]...
                         [--stretched SIDE]... [--sliver]

OUT_DIR/pdfs/NNNN.pdf  N small PDFs (default 500) of 1 to 3 text-and-drawing pages each
OUT_DIR/big.pdf        one PDF of N pages (default 1000), fonts shared by every page
OUT_DIR/render.pdf     N pages (default 50) of text, shapes, shading and a photo-like image
OUT_DIR/g4/NNNN.tif    N one-page CCITT G4 TIFFs (default 200), as make_corpus.py makes them
OUT_DIR/poster-SIDE.pdf  one page SIDE x SIDE points, tiled with the pages of render.pdf
                       (the memory of rendering a large page; about 220 KB whatever the side)
OUT_DIR/stretched-SIDE.pdf  one page SIDE x SIDE points covered by one photo-like image
OUT_DIR/sliver.pdf     a 200-point page showing a sliver of an 8 x 8 image drawn over 20,000
                       points (images scaled far past what is rendered of them)

The PDFs are written directly (the standard Type 1 fonts, Flate-compressed content), so
nothing but ImageMagick and tiffcp (for the TIFFs) is needed.
"""
import argparse
import os
import random
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_corpus import make_g4  # noqa: E402

WORDS = ("scanned page archive folder invoice letter record account report signed copy "
         "quarter summary ledger receipt delivery order statement annual notice").split()


def page_content(rng, page_number, rich):
    ops = ["BT /F1 18 Tf 72 740 Td (Page %d) Tj ET" % page_number]
    y = 700
    while y > 90:
        words = " ".join(rng.choice(WORDS) for _ in range(rng.randint(6, 11)))
        ops.append("BT /F%d 11 Tf 72 %d Td (%s) Tj ET" % (rng.choice((1, 2)), y, words))
        y -= 16
    for _ in range(6 if rich else 2):
        x, yy = rng.randint(60, 400), rng.randint(80, 600)
        ops.append("%.2f %.2f %.2f rg %d %d %d %d re f" % (rng.random(), rng.random(), rng.random(),
                                                           x, yy, rng.randint(30, 150), rng.randint(20, 90)))
        ops.append("0 0 0 RG 1.5 w %d %d m %d %d l S" % (x, yy, rng.randint(60, 550), rng.randint(60, 700)))
    if rich:
        ops.append("q 200 0 0 150 340 560 cm /Im1 Do Q")
        ops.append("q 0.2 0.4 0.8 rg 300 300 m 380 420 l 460 300 l h f Q")
    return zlib.compress("\n".join(ops).encode("latin-1"))


def photo_image(rng, w=320, h=240):
    rows = bytearray()
    for y in range(h):
        for x in range(w):
            rows += bytes(((x * 255 // w + rng.randint(0, 20)) & 255, (y * 255 // h) & 255,
                           ((x + y) * 127 // (w + h) + rng.randint(0, 30)) & 255))
    return w, h, zlib.compress(bytes(rows))


class PdfWriter:
    def __init__(self):
        self.objects = []

    def add(self, body):
        self.objects.append(body)
        return len(self.objects)

    def stream(self, data, extra=""):
        return self.add(b"<< /Length %d /Filter /FlateDecode %s >>\nstream\n" % (len(data), extra.encode())
                        + data + b"\nendstream")

    def write(self, path, root):
        out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
        offsets = []
        for i, body in enumerate(self.objects, 1):
            offsets.append(len(out))
            if isinstance(body, str):
                body = body.encode("latin-1")
            out += b"%d 0 obj\n" % i + body + b"\nendobj\n"
        xref = len(out)
        out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(self.objects) + 1)
        for off in offsets:
            out += b"%010d 00000 n \n" % off
        out += b"trailer\n<< /Size %d /Root %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(self.objects) + 1, root, xref)
        with open(path, "wb") as f:
            f.write(out)


def make_pdf(path, pages, seed, rich=False):
    rng = random.Random(seed)
    w = PdfWriter()
    f1 = w.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
    f2 = w.add("<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >>")
    xobjects = ""
    if rich:
        iw, ih, data = photo_image(rng)
        im = w.stream(data, "/Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceRGB "
                            "/BitsPerComponent 8" % (iw, ih))
        xobjects = " /XObject << /Im1 %d 0 R >>" % im
    resources = w.add("<< /Font << /F1 %d 0 R /F2 %d 0 R >>%s >>" % (f1, f2, xobjects))
    pages_id = len(w.objects) + 2 * pages + 1
    kids = []
    for n in range(1, pages + 1):
        content = w.stream(page_content(rng, n, rich))
        kids.append(w.add("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 612 792] /Resources %d 0 R "
                          "/Contents %d 0 R >>" % (pages_id, resources, content)))
    assert w.add("<< /Type /Pages /Kids [%s] /Count %d >>" % (" ".join("%d 0 R" % k for k in kids), pages)) \
        == pages_id
    root = w.add("<< /Type /Catalog /Pages %d 0 R >>" % pages_id)
    w.write(path, root)


def make_poster(path, side, seed):
    rng = random.Random(seed)
    w = PdfWriter()
    f1 = w.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
    f2 = w.add("<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >>")
    iw, ih, data = photo_image(rng)
    im = w.stream(data, "/Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceRGB "
                        "/BitsPerComponent 8" % (iw, ih))
    resources = w.add("<< /Font << /F1 %d 0 R /F2 %d 0 R >> /XObject << /Im1 %d 0 R >> >>" % (f1, f2, im))
    # Eight different tiles, each a Form XObject, placed over the whole page.
    tiles = []
    for n in range(8):
        content = page_content(rng, n + 1, True)
        tiles.append(w.stream(content, "/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources %d 0 R"
                              % resources))
    names = " ".join("/T%d %d 0 R" % (i, t) for i, t in enumerate(tiles))
    page_resources = w.add("<< /XObject << %s >> >>" % names)
    ops = []
    y, k = 0, 0
    while y < side:
        x = 0
        while x < side:
            ops.append("q 1 0 0 1 %d %d cm /T%d Do Q" % (x, y, k % len(tiles)))
            k += 1
            x += 612
        y += 792
    content = w.stream(zlib.compress("\n".join(ops).encode("latin-1")))
    pages_id = len(w.objects) + 2
    page = w.add("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 %d %d] /Resources %d 0 R /Contents %d 0 R >>"
                 % (pages_id, side, side, page_resources, content))
    assert w.add("<< /Type /Pages /Kids [%d 0 R] /Count 1 >>" % page) == pages_id
    root = w.add("<< /Type /Catalog /Pages %d 0 R >>" % pages_id)
    w.write(path, root)


def make_image_page(path, side, matrix, image):
    w = PdfWriter()
    iw, ih, data = image
    im = w.stream(data, "/Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceRGB "
                        "/BitsPerComponent 8" % (iw, ih))
    resources = w.add("<< /XObject << /Im1 %d 0 R >> >>" % im)
    content = w.stream(zlib.compress(("q %s cm /Im1 Do Q" % matrix).encode("latin-1")))
    pages_id = len(w.objects) + 2
    page = w.add("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 %d %d] /Resources %d 0 R /Contents %d 0 R >>"
                 % (pages_id, side, side, resources, content))
    assert w.add("<< /Type /Pages /Kids [%d 0 R] /Count 1 >>" % page) == pages_id
    root = w.add("<< /Type /Catalog /Pages %d 0 R >>" % pages_id)
    w.write(path, root)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--pdfs", type=int, default=500)
    ap.add_argument("--big", type=int, default=1000)
    ap.add_argument("--render", type=int, default=50)
    ap.add_argument("--g4", type=int, default=200)
    ap.add_argument("--poster", type=int, action="append", default=[])
    ap.add_argument("--stretched", type=int, action="append", default=[])
    ap.add_argument("--sliver", action="store_true")
    args = ap.parse_args()
    os.makedirs(os.path.join(args.out, "pdfs"), exist_ok=True)
    os.makedirs(os.path.join(args.out, "g4"), exist_ok=True)
    for i in range(args.pdfs):
        make_pdf(os.path.join(args.out, "pdfs", "%04d.pdf" % i), 1 + i % 3, i)
    make_pdf(os.path.join(args.out, "big.pdf"), args.big, 1)
    make_pdf(os.path.join(args.out, "render.pdf"), args.render, 2, rich=True)
    for side in args.poster:
        make_poster(os.path.join(args.out, "poster-%d.pdf" % side), side, 3)
    for side in args.stretched:
        make_image_page(os.path.join(args.out, "stretched-%d.pdf" % side), side, "%d 0 0 %d 0 0" % (side, side),
                        photo_image(random.Random(4)))
    if args.sliver:
        make_image_page(os.path.join(args.out, "sliver.pdf"), 200, "20000 0 0 20000 -9900 -9900",
                        photo_image(random.Random(5), 8, 8))
    first = os.path.join(args.out, "g4", "0000.tif")
    make_g4(first, 1)
    with open(first, "rb") as f:
        g4 = f.read()
    for i in range(1, args.g4):  # copies: the merge's cost does not depend on the picture
        with open(os.path.join(args.out, "g4", "%04d.tif" % i), "wb") as f:
            f.write(g4)


if __name__ == "__main__":
    main()
