#!/usr/bin/env bash
# Kills a command RUNS times at random moments and counts the hidden entries (".qm-*") it
# leaves in the folder it writes to, then runs it to the end and counts again: a writer that
# leaves its temporaries behind shows a count that grows from kill to kill and stays after
# the complete run. A measurement, not a test.
#
#   bench/killed_runs.sh RUNS MIN_S MAX_S FOLDER -- COMMAND ARGS...
#   e.g. (ulimit -n 512; bench/killed_runs.sh 6 1.5 3.5 out/big -- \
#          build/bench/quillmere-bench pageops split corpus/big.pdf out)
set -uo pipefail

if [ $# -lt 6 ] || [ "$5" != "--" ]; then
  sed -n '2,9p' "$0"
  exit 2
fi
RUNS=$1 MIN=$2 MAX=$3 FOLDER=$4
shift 5
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

count() {
  local top files bytes
  top=$(find "$FOLDER" -maxdepth 1 -name '.qm-*' 2>/dev/null | wc -l)
  files=$(find "$FOLDER" -path '*/.qm-*' -type f 2>/dev/null | wc -l)
  bytes=$(find "$FOLDER" -path '*/.qm-*' -type f -printf '%s\n' 2>/dev/null | awk '{ s += $1 } END { printf "%.1f", s / 1048576 }')
  echo "hidden entries $top, files in them $files, $bytes MB"
}

killed=0
for i in $(seq "$RUNS"); do
  after=$(awk -v a="$MIN" -v b="$MAX" -v s="$RANDOM" 'BEGIN { srand(s); printf "%.2f", a + rand() * (b - a) }')
  "$@" >/dev/null 2>&1 &
  pid=$!
  sleep "$after"
  kill -9 "$pid" 2>/dev/null && killed=$((killed + 1))
  wait "$pid" 2>/dev/null
  echo "run $i, killed at $after s: $(count)"
done
echo "after $killed kills of $RUNS runs: $(count)"
"$@" >/dev/null 2>&1
echo "after a complete run: $(count)"
