#!/usr/bin/env bash
# Installs what is missing, builds Brindle and runs every test.
# Usage: sudo bash scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
build=${BRINDLE_BUILD_DIR:-build}
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
