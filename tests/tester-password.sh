#!/usr/bin/env bash
# The administrator's password reaches the tests as brindle-tester, and no
# other user: while a test runs, no process shows it among its arguments,
# which every user can read (ps, /proc/PID/cmdline).
# Needs root and scripts/test-env.sh; exits 77 (skipped) otherwise.
set -euo pipefail
state=/run/brindle-tests
[ "$(id -u)" -eq 0 ] && [ -f "$state/admin-password" ] || exit 77
cd "$(dirname "$0")/.."
password=$(<"$state/admin-password")
work=$(mktemp -d)
tester=""
trap '[ -n "$tester" ] && kill "$tester" 2>/dev/null; rm -rf "$work"' EXIT

scripts/as-tester.sh /bin/sh -c 'printf "%s\n" "$BRINDLE_TEST_ADMIN_PASSWORD"; exec sleep 60' >"$work/seen" 2>/dev/null &
tester=$!
for _ in $(seq 100); do [ -s "$work/seen" ] && break; sleep 0.1; done
status=0
[ "$(cat "$work/seen")" = "$password" ] || { echo "FAIL: the test did not get the password"; status=1; }
for cmdline in /proc/[0-9]*/cmdline; do
  if tr '\0' '\n' <"$cmdline" 2>/dev/null | grep -qF -- "$password"; then
    echo "FAIL: the password is an argument of $(tr '\0' ' ' <"$cmdline" | cut -c1-60)..."; status=1
  fi
done
exit $status
