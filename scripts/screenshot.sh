#!/usr/bin/env bash
# Renders Brindle's real window under Xvfb into docs/brindle.png.
# Usage: scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
item=$(mktemp -d)/report.txt
echo "Quarterly report" > "$item"
chmod 0644 "$item"
mkdir -p docs
xvfb-run -a -s "-screen 0 1366x768x24" \
  env QT_QPA_PLATFORM=xcb "$build/tools/brindle-screenshot" "$item" docs/brindle.png
rm -rf "$(dirname "$item")"
echo "wrote docs/brindle.png"
