#!/usr/bin/env bash
# Root builds only in a folder that no one else can have prepared: someone who
# made the build folder (with a CMakeCache.txt of theirs) would run code in
# root's configure. Replays that attack against scripts/build-dir.sh.
# Needs root; exits 77 (skipped) otherwise.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || exit 77
cd "$(dirname "$0")/.."
BRINDLE_BUILD_DIR=/nonexistent source scripts/build-dir.sh
sandbox=$(mktemp -d)
trap 'rm -rf "$sandbox"' EXIT
chmod 0755 "$sandbox"
status=0
expect() { # expect accepted|refused FOLDER
  local got=accepted
  brindle_root_folder "$2" 2>/dev/null || got=refused
  if [ "$got" != "$1" ]; then echo "expected $1, got $got: $2 ($3)"; status=1; fi
}

mkdir "$sandbox/attacker"
printf 'CMAKE_PROJECT_INCLUDE:FILEPATH=%s/evil.cmake\n' "$sandbox" > "$sandbox/attacker/CMakeCache.txt"
chown -R nobody "$sandbox/attacker"
expect refused "$sandbox/attacker" "made by another user"
ln -s /usr "$sandbox/link"
expect refused "$sandbox/link" "a link, even to a root folder"
install -d -m 0777 "$sandbox/open"
expect refused "$sandbox/open" "others may write"
install -d -m 0775 "$sandbox/group"
expect refused "$sandbox/group" "the group may write"
install -d -m 0755 "$sandbox/root"
expect accepted "$sandbox/root" "root's own"
expect accepted "$sandbox/new" "created now"
[ "$(stat -c '%u %a' "$sandbox/new")" = "0 755" ] || { echo "created with $(stat -c '%u %a' "$sandbox/new")"; status=1; }
exit $status
