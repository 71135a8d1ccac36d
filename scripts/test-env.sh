#!/usr/bin/env bash
# Prepares this machine for Brindle's privileged tests, and takes it back.
#
#   test-env.sh BUILD_DIR             (as root) sets up:
#     - the system D-Bus and polkitd, started when they aren't running;
#     - Brindle's polkit policy, and a rule that makes brindle-admin the
#       administrator for Brindle's own actions when brindle-tester asks, and
#       for nothing else;
#     - the accounts brindle-tester (runs the tests) and brindle-admin, whose
#       password is new and random at each set-up and kept in a file only
#       root can read (scripts/as-tester.sh hands it to the tests);
#     - the helper of BUILD_DIR installed set-user-ID root;
#     - root-owned fixtures in /run/brindle-tests/fixtures.
#   test-env.sh teardown [BUILD_DIR]  locks both accounts, removes the rule,
#     the password, the fixtures and the policy (when the set-up installed
#     it), and takes the set-user-ID bit off BUILD_DIR's helper.
#     scripts/test.sh runs it when it ends, failed or not.
#
# Everything lives in /run/brindle-tests: only root can create in /run, so no
# one else can have prepared a file or a link there beforehand.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "test-env.sh: run as root" >&2; exit 1; }

state=/run/brindle-tests
rule=/etc/polkit-1/rules.d/10-brindle-tests.rules
policy=tool/it.vantelo.brindle.policy
installed_policy=/usr/share/polkit-1/actions/it.vantelo.brindle.policy

teardown() {
  rm -f "$rule"
  # The policy goes again when it was the tests that brought it.
  if [ -e "$state/policy-installed-by-tests" ]; then
    rm -f "$installed_policy"
  fi
  for user in brindle-admin brindle-tester; do
    if id "$user" >/dev/null 2>&1; then
      usermod --lock "$user"
    fi
  done
  rm -rf "$state"
  local helper=${1:+$1/libexec/brindle/bitsmith}
  if [ -n "$helper" ] && [ -f "$helper" ] && [ ! -L "$helper" ]; then
    chmod u-s "$helper"
  fi
}

if [ "${1:-}" = teardown ]; then
  teardown "${2:-}"
  exit 0
fi
build=$(realpath "${1:?usage: test-env.sh BUILD_DIR | test-env.sh teardown [BUILD_DIR]}")

install -d -m 0755 -o root -g root "$state"

# Accounts ---------------------------------------------------------------------
for user in brindle-tester brindle-admin; do
  id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
done
password=$(head -c 24 /dev/urandom | base64 | tr '+/' '-_')
( umask 077 && printf '%s\n' "$password" > "$state/admin-password" )
echo "brindle-admin:$password" | chpasswd

# Policy and the administrator rule ---------------------------------------------
[ -e "$installed_policy" ] || touch "$state/policy-installed-by-tests"
install -D -m 0644 "$policy" "$installed_policy"
actions=$(grep -o '<action id="[^"]*"' "$policy" | sed 's/<action id=\(".*"\)/\1/' | paste -sd, -)
install -d -m 0755 /etc/polkit-1/rules.d
cat > "$rule.new" <<RULES
// Brindle's tests, until scripts/test-env.sh teardown: brindle-admin is the
// administrator for Brindle's own actions, and only when brindle-tester asks.
polkit.addAdminRule(function(action, subject) {
    var brindle = [$actions];
    if (subject.user == "brindle-tester" && brindle.indexOf(action.id) >= 0)
        return ["unix-user:brindle-admin"];
    return null;
});
RULES
chmod 0644 "$rule.new"
mv -f "$rule.new" "$rule"

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
fixtures=$state/fixtures
rm -rf "$fixtures"
install -d -m 0755 "$fixtures" "$fixtures/bench"
for i in 1 2 3 4; do install -m 0600 /dev/null "$fixtures/root-owned-$i"; done
( cd "$fixtures/bench" && for i in $(seq -w 1 1000); do : > "file-$i"; done && chmod 0600 file-* )
# Helpers for the repair: one that lost its set-user-ID bit where only root
# can change anything; one that is a link (to a copy of id, the attack); one
# in a folder others may write.
install -d -m 0755 "$fixtures/repair" "$fixtures/repair-link"
install -d -m 0775 "$fixtures/repair-open"
install -m 0755 "$build/libexec/brindle/bitsmith" "$fixtures/repair/bitsmith"
install -m 0755 /usr/bin/id "$fixtures/id-copy"
ln -s ../id-copy "$fixtures/repair-link/bitsmith"
install -m 0755 "$build/libexec/brindle/bitsmith" "$fixtures/repair-open/bitsmith"
