#!/usr/bin/env bash
# Configures and builds Brindle into build/ (or $BRINDLE_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/build-dir.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build"
