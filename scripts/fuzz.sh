#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) into build-fuzz/ and runs them:
# every target, or the ones named (e.g. `tiff png`), for QM_FUZZ_SECONDS each (600), at most
# QM_FUZZ_JOBS (4) at once. New inputs gather in build-fuzz/fuzz/work/<target>/; logs and
# failing inputs in build-fuzz/fuzz/findings/. A failing input that is fixed goes into
# fuzz/corpus/<target>/, which the normal build replays as a test.
set -euo pipefail
cd "$(dirname "$0")/.."
# clang 16: clang 14 lacks the std::source_location our error trap uses.
bash scripts/deps.sh clang-16 libclang-rt-16-dev
BUILD_DIR="${QM_FUZZ_BUILD_DIR:-build-fuzz}"
CC=clang-16 CXX=clang++-16 cmake -S . -B "$BUILD_DIR" -G Ninja -DQM_FUZZ=ON >/dev/null
cmake --build "$BUILD_DIR" --target fuzz_all --parallel "$(nproc)"

out="$BUILD_DIR/fuzz"
targets=("$@")
if ((${#targets[@]} == 0)); then
  for program in "$out"/fuzz_*; do [ -f "$program" ] && targets+=("${program##*/fuzz_}"); done
fi
mkdir -p "$out/findings"

# libFuzzer's own options may be added in QM_FUZZ_ARGS, e.g. "-fork=1 -ignore_ooms=1" to go on
# past the first failure.
run_one() {
  local name="$1" out="$2" seconds="$3" log="$2/findings/$1.log"
  local corpus=("$out/seeds/$name")
  [ -d "fuzz/corpus/$name" ] && corpus+=("fuzz/corpus/$name")
  mkdir -p "$out/work/$name"
  local rc=0
  # shellcheck disable=SC2086
  QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=print_stacktrace=1 \
    "$out/fuzz_$name" -rss_limit_mb=1024 -timeout=30 -max_total_time="$seconds" -print_final_stats=1 \
    ${QM_FUZZ_ARGS:-} -artifact_prefix="$out/findings/$name-" "$out/work/$name" "${corpus[@]}" >"$log" 2>&1 || rc=$?
  local runs failing slow
  runs=$(grep -oE 'number_of_executed_units: [0-9]+|^#[0-9]+' "$log" | tail -1 | grep -oE '[0-9]+')
  failing=$(find "$out/findings" -name "$name-*" ! -name "*.log" ! -name "$name-slow-unit-*" | wc -l)
  slow=$(find "$out/findings" -name "$name-slow-unit-*" | wc -l)
  echo "$name: exit $rc, ${runs:-0} runs, $failing failing inputs, $slow slow (log: $log)"
}
export -f run_one
if command -v llvm-symbolizer >/dev/null; then export ASAN_SYMBOLIZER_PATH="$(command -v llvm-symbolizer)"; fi
printf '%s\n' "${targets[@]}" |
  xargs -P "${QM_FUZZ_JOBS:-4}" -I{} bash -c 'run_one "$@"' _ {} "$out" "${QM_FUZZ_SECONDS:-600}"
