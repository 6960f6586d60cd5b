#!/usr/bin/env bash
# Runs quillmere-bench side by side with img2pdf (as a library, one Python process over all
# files), ImageMagick's convert and tiff2pdf on the same corpus, in one run, and prints the
# times and ratios. A measurement, not a test: it never fails on a slow figure.
#
#   bench/compare.sh BUILD_DIR CORPUS_DIR [WORK_DIR]
#
# CORPUS_DIR comes from bench/make_corpus.py. WORK_DIR (default: a fresh temporary folder)
# receives every tool's PDFs. Ratios above 1 mean quillmere-bench is faster.
set -euo pipefail

if [ $# -lt 2 ]; then
  sed -n '2,9p' "$0"
  exit 2
fi
BUILD=$1
CORPUS=$2
WORK=${3:-$(mktemp -d)}
BENCH=$BUILD/bench/quillmere-bench
PY=/usr/bin/python3 # Debian's python3-img2pdf lives there, whatever python3 is first on PATH
for tool in "$BENCH" tiff2pdf convert qpdf /usr/bin/time "$PY"; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/deps.sh)"; exit 2; }
done
"$PY" -c 'import img2pdf' || { echo "missing: python3-img2pdf"; exit 2; }
export QT_QPA_PLATFORM=offscreen
mkdir -p "$WORK"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then # Qt asks for one even off screen
  export XDG_RUNTIME_DIR="$WORK/.runtime"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi

JPEGS=("$CORPUS"/jpeg/*.jpg)
G4S=("$CORPUS"/g4/*.tif)
PNGS=("$CORPUS"/png/*.png)
PNGCS=("$CORPUS"/pngc/*.png)
cat "${JPEGS[@]}" "${G4S[@]}" "${PNGS[@]}" "${PNGCS[@]}" >/dev/null # warm the page cache for everyone

now() { date +%s.%N; }
since() { awk -v a="$(now)" -v b="$1" 'BEGIN { printf "%.3f", a - b }'; }
seconds_of() { sed -n 's/.* seconds \([0-9.]*\)$/\1/p' | tail -1; }

ours() { # OUT_NAME [convert options] -- files
  local name=$1; shift
  "$BENCH" convert "$@" | tee "$WORK/$name.log" | seconds_of
}

img2pdf_batch() { # OUT_DIR files...: img2pdf as a library, one process, time of the loop only
  "$PY" - "$@" <<'PY'
import img2pdf, os, sys, time
out, files = sys.argv[1], sys.argv[2:]
os.makedirs(out, exist_ok=True)
start = time.perf_counter()
for f in files:
    with open(os.path.join(out, os.path.splitext(os.path.basename(f))[0] + ".pdf"), "wb") as o:
        o.write(img2pdf.convert(f))
print(f"{time.perf_counter() - start:.3f}")
PY
}

img2pdf_merge() { # OUT_PDF files...: img2pdf as a library, all files into one PDF, time of the call and write
  "$PY" - "$@" <<'PY'
import img2pdf, sys, time
out, files = sys.argv[1], sys.argv[2:]
start = time.perf_counter()
with open(out, "wb") as o:
    o.write(img2pdf.convert(files))
print(f"{time.perf_counter() - start:.3f}")
PY
}

per_file() { # OUT_DIR COMMAND_TEMPLATE files...: one process per file; {in} and {out} replaced
  local out=$1 template=$2; shift 2
  mkdir -p "$out"
  local start; start=$(now)
  for f in "$@"; do
    local o="$out/$(basename "${f%.*}").pdf"
    local cmd=${template//\{in\}/$f}
    eval "${cmd//\{out\}/$o}" >/dev/null 2>&1
  done
  since "$start"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
row() { awk -v n="$1" -v f="$2" -v s="$3" 'BEGIN { printf "%-44s %5d files %9.3f s %8.1f files/s\n", n, f, s, f / s }'; }

echo "== JPEG -> PDF (${#JPEGS[@]} colour scans)"
t_ours_default=$(ours jpeg-default --out "$WORK/ours-jpeg-default" "${JPEGS[@]}")
t_ours_jpeg=$(ours jpeg-named --colour Jpeg --out "$WORK/ours-jpeg-named" "${JPEGS[@]}")
t_img2pdf_jpeg=$(img2pdf_batch "$WORK/img2pdf-jpeg" "${JPEGS[@]}")
t_im_jpeg=$(per_file "$WORK/im-jpeg" 'convert "{in}" "EPDF:{out}"' "${JPEGS[@]}")
row "quillmere-bench (default)" ${#JPEGS[@]} "$t_ours_default"
row "quillmere-bench (--colour Jpeg)" ${#JPEGS[@]} "$t_ours_jpeg"
row "img2pdf (library, one process)" ${#JPEGS[@]} "$t_img2pdf_jpeg"
row "ImageMagick convert (process per file)" ${#JPEGS[@]} "$t_im_jpeg"
echo "ratio vs img2pdf: default $(ratio "$t_img2pdf_jpeg" "$t_ours_default")x, Jpeg $(ratio "$t_img2pdf_jpeg" "$t_ours_jpeg")x (target >= 6)"
echo "ratio vs convert: $(ratio "$t_im_jpeg" "$t_ours_default")x"
"$PY" - "$CORPUS/jpeg" "$WORK/ours-jpeg-default" "$WORK/ours-jpeg-named" <<'PY'
import os, sys
src, *outs = sys.argv[1:]
for out in outs:
    same = total = 0
    for name in sorted(os.listdir(src)):
        pdf = os.path.join(out, os.path.splitext(name)[0] + ".pdf")
        total += 1
        if os.path.exists(pdf) and open(os.path.join(src, name), "rb").read() in open(pdf, "rb").read():
            same += 1
    print(f"JPEG bytes unchanged in {os.path.basename(out)}: {same}/{total}")
PY

echo
echo "== G4 TIFF -> PDF (${#G4S[@]} 1-bit pages, one strip each)"
t_ours_g4=$(ours g4-default --out "$WORK/ours-g4-default" "${G4S[@]}")
t_ours_g4_named=$(ours g4-named --bw CCITT-G4 --out "$WORK/ours-g4-named" "${G4S[@]}")
t_tiff2pdf=$(per_file "$WORK/tiff2pdf-g4" 'tiff2pdf -o "{out}" "{in}"' "${G4S[@]}")
t_img2pdf_g4=$(img2pdf_batch "$WORK/img2pdf-g4" "${G4S[@]}")
row "quillmere-bench (default)" ${#G4S[@]} "$t_ours_g4"
row "quillmere-bench (--bw CCITT-G4)" ${#G4S[@]} "$t_ours_g4_named"
row "tiff2pdf (process per file)" ${#G4S[@]} "$t_tiff2pdf"
row "img2pdf (library, one process)" ${#G4S[@]} "$t_img2pdf_g4"
echo "ratio vs tiff2pdf: $(ratio "$t_tiff2pdf" "$t_ours_g4")x (target >= 6), vs img2pdf: $(ratio "$t_img2pdf_g4" "$t_ours_g4")x"

echo
echo "== greyscale PNG -> PDF (${#PNGS[@]} 8-bit scans)"
t_ours_png=$(ours png-zip --grey Zip --out "$WORK/ours-png-zip" "${PNGS[@]}")
t_ours_png_default=$(ours png-default --out "$WORK/ours-png-default" "${PNGS[@]}")
t_img2pdf_png=$(img2pdf_batch "$WORK/img2pdf-png" "${PNGS[@]}")
t_im_png=$(per_file "$WORK/im-png" 'convert "{in}" "EPDF:{out}"' "${PNGS[@]}")
row "quillmere-bench (--grey Zip)" ${#PNGS[@]} "$t_ours_png"
row "quillmere-bench (default)" ${#PNGS[@]} "$t_ours_png_default"
row "img2pdf (library, one process)" ${#PNGS[@]} "$t_img2pdf_png"
row "ImageMagick convert (process per file)" ${#PNGS[@]} "$t_im_png"
echo "ratio vs img2pdf: Zip $(ratio "$t_img2pdf_png" "$t_ours_png")x (target >= 1), default $(ratio "$t_img2pdf_png" "$t_ours_png_default")x"
echo "output bytes: ours Zip $(du -sb "$WORK/ours-png-zip" | cut -f1), img2pdf $(du -sb "$WORK/img2pdf-png" | cut -f1)"

if [ ${#PNGCS[@]} -gt 0 ] && [ -e "${PNGCS[0]}" ]; then
  echo
  echo "== colour PNG -> PDF (${#PNGCS[@]} 24-bit scans)"
  t_ours_pngc=$(ours pngc-zip --colour Zip --out "$WORK/ours-pngc-zip" "${PNGCS[@]}")
  t_ours_pngc_default=$(ours pngc-default --out "$WORK/ours-pngc-default" "${PNGCS[@]}")
  t_img2pdf_pngc=$(img2pdf_batch "$WORK/img2pdf-pngc" "${PNGCS[@]}")
  row "quillmere-bench (--colour Zip)" ${#PNGCS[@]} "$t_ours_pngc"
  row "quillmere-bench (default)" ${#PNGCS[@]} "$t_ours_pngc_default"
  row "img2pdf (library, one process)" ${#PNGCS[@]} "$t_img2pdf_pngc"
  echo "ratio vs img2pdf: Zip $(ratio "$t_img2pdf_pngc" "$t_ours_pngc")x, default $(ratio "$t_img2pdf_pngc" "$t_ours_pngc_default")x (target >= 10)"
fi

echo
MJ=("${JPEGS[@]:0:300}")
echo "== merge of ${#MJ[@]} JPEGs into one PDF"
t_ours_mj=$("$BENCH" merge "$WORK/ours-merged-jpeg.pdf" "${MJ[@]}" | seconds_of)
t_img2pdf_mj=$(img2pdf_merge "$WORK/img2pdf-merged-jpeg.pdf" "${MJ[@]}")
t_cat_mj=$( { /usr/bin/time -f '%e' cat "${MJ[@]}" >"$WORK/cat-merged-jpeg.bin"; } 2>&1 )
row "quillmere-bench merge" ${#MJ[@]} "$t_ours_mj"
row "img2pdf (library, one call)" ${#MJ[@]} "$t_img2pdf_mj"
row "cat into one file (read and write once)" ${#MJ[@]} "$t_cat_mj"
echo "ratio vs img2pdf: $(ratio "$t_img2pdf_mj" "$t_ours_mj")x (target >= 8)"
rm -f "$WORK/cat-merged-jpeg.bin"

echo
MERGE=()
while IFS= read -r f; do MERGE+=("$f"); done <"$CORPUS/merge/merge.txt"
echo "== merge of ${#MERGE[@]} images into one PDF"
/usr/bin/time -f '%M' -o "$WORK/merge.rss" "$BENCH" merge "$WORK/merged.pdf" "${MERGE[@]}" | tee "$WORK/merge.log" | tail -1
echo "peak memory: $(( $(cat "$WORK/merge.rss") / 1024 )) MB (target < 200), output $(( $(stat -c %s "$WORK/merged.pdf") / 1048576 )) MB"

echo
echo "== qpdf --check of every PDF quillmere-bench wrote"
checked=0 bad=0
for pdf in "$WORK"/ours-*/*.pdf "$WORK/ours-merged-jpeg.pdf" "$WORK/merged.pdf"; do
  checked=$((checked + 1))
  qpdf --check "$pdf" >/dev/null 2>&1 || { bad=$((bad + 1)); echo "fails: $pdf"; }
done
echo "checked $checked failed $bad"
echo "outputs in $WORK"
