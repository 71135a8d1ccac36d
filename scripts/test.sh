#!/usr/bin/env bash
# Installs what is missing, builds Brindle and runs every test, the
# privileged ones as the ordinary user brindle-tester against a real polkitd.
# When it ends, passed or failed, the test accounts are locked and the
# administrator rule removed again (scripts/test-env.sh teardown).
# Usage: sudo bash scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
  echo "test.sh: run as root (sudo): it installs packages, starts the system bus and polkitd," >&2
  echo "test.sh: and installs the helper set-user-ID root for the privileged tests." >&2
  exit 1
fi
# One run at a time: the accounts, the rule and the fixtures are the
# machine's. The lock lives where only root can create files. flock keeps it
# and hands the run no descriptor of it (-o): the system bus and polkitd that
# the set-up may start outlive the run, and would hold it for ever.
if [ "${BRINDLE_TEST_LOCK_HELD:-}" != 1 ]; then
  umask 077
  exec env BRINDLE_TEST_LOCK_HELD=1 flock -o /run/brindle-test.lock bash scripts/test.sh "$@"
fi
umask 022
source scripts/build-dir.sh
bash scripts/deps.sh
bash scripts/build.sh
trap 'bash scripts/test-env.sh teardown "$build"' EXIT
trap 'exit 130' INT TERM HUP
bash scripts/test-env.sh "$build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
