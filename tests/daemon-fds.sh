#!/usr/bin/env bash
# The system bus and polkitd that the test set-up may have started hold none
# of the run's files open: a daemon holding test.sh's lock would make every
# later run wait for ever.
set -euo pipefail
failures=0
for daemon in dbus-daemon polkitd; do
  for pid in $(pgrep -x "$daemon" || true); do
    if held=$(ls -l "/proc/$pid/fd" 2>/dev/null | grep -E '/run/brindle'); then
      echo "FAIL: $daemon ($pid) holds: $held"
      failures=$((failures + 1))
    fi
  done
done
[ "$failures" -eq 0 ] && echo "PASS: no daemon holds a file of the test run"
exit $((failures > 0))
