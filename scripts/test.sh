#!/usr/bin/env bash
# Installs what is needed, builds with warnings as errors, and runs every test.
# QM_SANITIZE=1 builds into build-asan/ with AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
args=(-DQM_WERROR=ON)
if [ "${QM_SANITIZE:-0}" = 1 ]; then
  export QM_BUILD_DIR="${QM_BUILD_DIR:-build-asan}"
  args+=(-DQM_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS="detect_leaks=0:${ASAN_OPTIONS:-}"
fi
bash scripts/build.sh "${args[@]}"
cd "${QM_BUILD_DIR:-build}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 600
