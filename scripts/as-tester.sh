#!/usr/bin/env bash
# Runs a privileged test as the ordinary user brindle-tester when started as
# root (root is always authorized, so nothing would be tested), handing it
# the administrator's password and the fixtures of scripts/test-env.sh; as
# anyone else, runs it as is.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  exec "$@"
fi
state=/run/brindle-tests
if ! id brindle-tester >/dev/null 2>&1 || [ ! -f "$state/admin-password" ]; then
  echo "as-tester.sh: no test environment: run scripts/test-env.sh BUILD_DIR first" >&2
  exit 1
fi
password=$(<"$state/admin-password")
# The password travels in the environment alone, which only root and
# brindle-tester can read: as an argument of runuser it would be there for
# every user to read (ps) for as long as runuser waits for the test.
for name in $(compgen -e); do unset "$name" 2>/dev/null || true; done
export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/home/brindle-tester USER=brindle-tester LANG=C.UTF-8 \
  QT_QPA_PLATFORM=offscreen BRINDLE_TEST_ADMIN_PASSWORD="$password" BRINDLE_FIXTURES="$state/fixtures"
unset password
exec runuser -u brindle-tester -- "$@"
