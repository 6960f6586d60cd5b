#!/usr/bin/env bash
# Installs what is needed, builds, and starts Quillmere. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
exec ./build/quillmere "$@"
