#!/usr/bin/env bash
# Prepares this machine for Brindle's privileged tests (run as root):
#   - the system D-Bus and polkitd, started when they aren't running;
#   - Brindle's polkit policy, and a rule naming the test administrator;
#   - the accounts brindle-tester (runs the tests) and brindle-admin (the
#     administrator, password in BRINDLE_TEST_ADMIN_PASSWORD);
#   - the helper of the build tree BUILD_DIR installed set-user-ID root;
#   - root-owned fixture files under /var/tmp/brindle-fixtures.
# Usage: scripts/test-env.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:?usage: test-env.sh BUILD_DIR}")
password=${BRINDLE_TEST_ADMIN_PASSWORD:-brindle-admin-secret}

[ "$(id -u)" -eq 0 ] || { echo "test-env.sh: run as root" >&2; exit 1; }

# Accounts ---------------------------------------------------------------------
for user in brindle-tester brindle-admin; do
  id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
done
echo "brindle-admin:$password" | chpasswd

# Policy and the administrator rule ---------------------------------------------
install -D -m 0644 tool/it.vantelo.brindle.policy /usr/share/polkit-1/actions/it.vantelo.brindle.policy
install -d -m 0755 /etc/polkit-1/rules.d
cat > /etc/polkit-1/rules.d/10-brindle-tests.rules <<'RULES'
// Brindle's tests: brindle-admin is the administrator for Brindle's actions.
polkit.addAdminRule(function(action, subject) {
    if (action.id.indexOf("it.vantelo.") == 0 || action.id == "org.freedesktop.policykit.exec")
        return ["unix-user:brindle-admin"];
    return null;
});
RULES

# System bus and polkitd ---------------------------------------------------------
if ! gdbus call --system --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
     --method org.freedesktop.DBus.GetId >/dev/null 2>&1; then
  mkdir -p /run/dbus
  rm -f /run/dbus/pid
  dbus-daemon --system --fork
fi
if ! gdbus call --system --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
     --method org.freedesktop.DBus.NameHasOwner org.freedesktop.PolicyKit1 2>/dev/null | grep -q true; then
  setsid /usr/lib/polkit-1/polkitd --no-debug </dev/null >/var/log/brindle-polkitd.log 2>&1 &
fi
gdbus wait --system --timeout 30 org.freedesktop.PolicyKit1
# polkitd reads new rules and actions on its own; wait until it knows ours.
for _ in $(seq 50); do
  pkaction --action-id it.vantelo.modifyPermission >/dev/null 2>&1 && break
  sleep 0.2
done
pkaction --action-id it.vantelo.modifyPermission >/dev/null

# The helper, as `cmake --install` would leave it ------------------------------
chown root:root "$build/libexec/brindle/bitsmith"
chmod 4755 "$build/libexec/brindle/bitsmith"

# Root-owned files for the tests and the benchmark ------------------------------
fixtures=/var/tmp/brindle-fixtures
rm -rf "$fixtures"
install -d -m 0755 "$fixtures" "$fixtures/bench"
for i in 1 2 3 4; do install -m 0600 /dev/null "$fixtures/root-owned-$i"; done
( cd "$fixtures/bench" && for i in $(seq -w 1 1000); do : > "file-$i"; done && chmod 0600 file-* )
