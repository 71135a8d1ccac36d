#!/usr/bin/env bash
# Builds Brindle, prepares the test environment and runs the benchmarks as
# the ordinary user brindle-tester. Usage: sudo bash scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/build-dir.sh
bash scripts/deps.sh
bash scripts/build.sh
trap 'bash scripts/test-env.sh teardown "$build"' EXIT
trap 'exit 130' INT TERM HUP
bash scripts/test-env.sh "$build"
chown root:root "$build/bench/setuid-true"
chmod 4755 "$build/bench/setuid-true"
echo "== account fills against getent"
"$build/bench/bench_accounts"
echo "== one inspection with 100,000 users and 50,000 groups, against refilling the pop-ups item by item"
"$build/bench/bench_inspection" 2>/dev/null
echo "== helper runs against a do-nothing set-user-ID program"
scripts/as-tester.sh "$build/bench/bench_helper"
echo "== apply engine against chmod -R; items that need the helper"
scripts/as-tester.sh /bin/bash "$PWD/bench/apply.sh" "$build"
