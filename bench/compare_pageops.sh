#!/usr/bin/env bash
# Runs quillmere-bench pageops side by side with qpdf, tiffcp and pdftoppm on the corpus of
# make_pageops_corpus.py, in one run, and prints the times and ratios (above 1: ours is
# faster). A measurement, not a test: it never fails on a slow figure.
#
#   bench/compare_pageops.sh BUILD_DIR CORPUS_DIR [WORK_DIR]
set -euo pipefail

if [ $# -lt 2 ]; then
  sed -n '2,6p' "$0"
  exit 2
fi
BENCH=$1/bench/quillmere-bench
CORPUS=$2
WORK=${3:-$(mktemp -d)}
for tool in "$BENCH" qpdf tiffcp pdftoppm; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/deps.sh)"; exit 2; }
done
export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then # Qt asks for one even off screen
  export XDG_RUNTIME_DIR="$WORK/.runtime"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
PDFS=("$CORPUS"/pdfs/*.pdf)
G4S=("$CORPUS"/g4/*.tif)
cat "${PDFS[@]}" "${G4S[@]}" "$CORPUS/big.pdf" "$CORPUS/render.pdf" >/dev/null # warm the page cache

now() { date +%s.%N; }
since() { awk -v a="$(now)" -v b="$1" 'BEGIN { printf "%.3f", a - b }'; }
ours() { "$BENCH" pageops "$@" | tail -1 | sed -n 's/.* seconds \([0-9.]*\)$/\1/p'; }
report() { awk -v n="$1" -v o="$2" -v t="$3" -v tool="$4" \
  'BEGIN { printf "%-10s ours %7.3f s  %-9s %7.3f s  ratio %.2f\n", n, o, tool, t, (o > 0 ? t / o : 0) }'; }

rm -rf "$WORK/out" && mkdir -p "$WORK/out/qsplit" "$WORK/out/pdftoppm"

o=$(ours merge "$WORK/out/merged.pdf" "${PDFS[@]}")
t0=$(now); qpdf --empty --pages "${PDFS[@]}" -- "$WORK/out/qpdf-merged.pdf"; t=$(since "$t0")
report merge "$o" "$t" qpdf

o=$(ours split "$CORPUS/big.pdf" "$WORK/out/split")
t0=$(now); qpdf --split-pages "$CORPUS/big.pdf" "$WORK/out/qsplit/page.pdf"; t=$(since "$t0")
report split "$o" "$t" qpdf

o=$(ours tiffmerge "$WORK/out/merged.tif" "${G4S[@]}")
t0=$(now); tiffcp "${G4S[@]}" "$WORK/out/tiffcp.tif"; t=$(since "$t0")
report tiffmerge "$o" "$t" tiffcp

o=$(ours render "$CORPUS/render.pdf" "$WORK/out/render")
t0=$(now); pdftoppm -png -r 150 "$CORPUS/render.pdf" "$WORK/out/pdftoppm/page"; t=$(since "$t0")
report render "$o" "$t" pdftoppm
