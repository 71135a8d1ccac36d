#!/usr/bin/env bash
# Installs what is missing, builds Brindle and runs every test, the
# privileged ones as the ordinary user brindle-tester against a real polkitd.
# Usage: sudo bash scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
  echo "test.sh: run as root (sudo): it installs packages, starts the system bus and polkitd," >&2
  echo "test.sh: and installs the helper set-user-ID root for the privileged tests." >&2
  exit 1
fi
source scripts/build-dir.sh
bash scripts/deps.sh
bash scripts/build.sh
bash scripts/test-env.sh "$build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
