#!/usr/bin/env bash
# Builds Brindle and runs its benchmarks, each as a ratio against a reference
# measured in the same run: whole processes on both sides, started the same
# way, output to /dev/null, rounds interleaved in alternating order, medians
# with their spread, peak memory from /usr/bin/time -v.
#   - account fill vs `getent passwd; getent group`, 100,000 users and 50,000
#     groups, through glibc's own files backend (the files bind-mounted over
#     /etc/passwd and /etc/group in a private mount namespace: the real files
#     are never touched) and through nss_wrapper;
#   - start, exec to the first paint of the main window under Xvfb, vs an
#     empty Qt main window + `getent passwd; getent group`, with this
#     machine's accounts and with the 100k/50k files; also to complete lists;
#   - inspection of an item owned by the last of 100,000 users;
#   - one inspection with the advanced panel's pop-ups, 100k/50k accounts,
#     against refilling the pop-ups item by item;
#   - the helper vs a do-nothing set-user-ID start, isolated and back to back,
#     and the apply engine vs `chmod -R` with helper-needing items per second
#     (prepares the privileged test environment and tears it down at the end:
#     run it where that is fine).
# Usage: sudo bash scripts/bench.sh [--no-helper]      (BRINDLE_BENCH_ROUNDS=31)
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "bench.sh: run as root (sudo)" >&2; exit 1; }
source scripts/build-dir.sh
bash scripts/deps.sh
bash scripts/build.sh
rounds=${BRINDLE_BENCH_ROUNDS:-31}
with_helper=true
[ "${1:-}" = --no-helper ] && with_helper=false
bench=$build/bench

# Everything this run makes lives in folders only root can have made.
work=$(mktemp -d)
helper_files=""
xvfb=""
test_env=false
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
  [ -n "$helper_files" ] && rm -rf "$helper_files"
  if $test_env; then
    bash scripts/test-env.sh teardown "$build"
    # The reference, too, is set-user-ID root only while it is measured.
    [ -f "$bench/setuid-true" ] && [ ! -L "$bench/setuid-true" ] && chmod u-s "$bench/setuid-true"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# 100,000 users and 50,000 groups after this machine's own accounts.
cp /etc/passwd "$work/passwd"
cp /etc/group "$work/group"
awk 'BEGIN { for (i = 0; i < 100000; i++)
  printf "user%d:x:%d:%d:User %d:/home/user%d:/bin/bash\n", i, 100000 + i, 100000 + i % 50000, i, i }' >> "$work/passwd"
awk 'BEGIN { for (i = 0; i < 50000; i++)
  printf "group%d:x:%d:user%d,user%d\n", i, 100000 + i, i, i + 50000 }' >> "$work/group"
install -m 0644 -o 199999 -g 149999 /dev/null "$work/owned-by-the-last-user"

# Runs a command with the big files served by glibc's files backend.
with_big_files() {
  unshare --mount --propagation private -- sh -c \
    'mount --bind "$1" /etc/passwd && mount --bind "$2" /etc/group && shift 2 && exec "$@"' \
    sh "$work/passwd" "$work/group" "$@"
}
nss_wrapper=$(find /usr/lib /lib -name libnss_wrapper.so -print -quit)
with_nss_wrapper() {
  env LD_PRELOAD="$nss_wrapper" NSS_WRAPPER_PASSWD="$work/passwd" NSS_WRAPPER_GROUP="$work/group" "$@"
}
getents=(getent passwd \; getent group)

echo "== account fill vs getent passwd; getent group — 100,000 users, 50,000 groups, glibc files"
with_big_files "$bench/bench_compare" "$rounds" -- fill "$bench/bench_fill" -- getent "${getents[@]}"
echo "== the same through nss_wrapper"
with_nss_wrapper "$bench/bench_compare" "$rounds" -- fill "$bench/bench_fill" -- getent "${getents[@]}"

# A display of our own.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=$(cat "$work/display")
[ -n "$display" ] || { echo "bench.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display" XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=xcb
# Brindle's own executable and the empty window, each ended at its first
# paint by the same preloaded module.
painted="LD_PRELOAD=$bench/first_paint_exit.so"
start=("$painted" "$build/bin/brindle")
reference=(-- reference "$painted" "$bench/start_empty" \; "${getents[@]}")

echo "== start: exec to first paint, vs an empty Qt main window + getent passwd; getent group — this machine's accounts"
"$bench/bench_compare" "$rounds" -- brindle "${start[@]}" "${reference[@]}"
echo "== the same with 100,000 users and 50,000 groups, glibc files"
with_big_files "$bench/bench_compare" "$rounds" -- brindle "${start[@]}" "${reference[@]}"
echo "== start until the lists are complete too (not a goal; shows what runs after the first paint), glibc files 100k/50k"
with_big_files "$bench/bench_compare" "$rounds" -- brindle BRINDLE_BENCH_AFTER_PAINT=lists "$bench/start_brindle" "${reference[@]}"
echo "== inspection of an item owned by the last of 100,000 users (goal: at most 50 ms)"
BRINDLE_BENCH_AFTER_PAINT="inspect:$work/owned-by-the-last-user" with_big_files "$bench/start_brindle" 2>&1 >/dev/null |
  grep inspection
kill "$xvfb" 2>/dev/null || true
xvfb=""
echo "== one inspection with the advanced panel's pop-ups filled, 100,000 users and 50,000 groups, against refilling the pop-ups item by item"
"$bench/bench_inspection" 2>/dev/null

$with_helper || exit 0
echo "== helper vs a do-nothing set-user-ID start"
test_env=true
bash scripts/test-env.sh "$build"
chown root:root "$bench/setuid-true"
chmod 4755 "$bench/setuid-true"
# Root-owned files the helper changes, in a folder of this run's own.
helper_files=$(mktemp -d /var/tmp/brindle-bench-helper.XXXXXX)
chmod 0755 "$helper_files"
for i in $(seq -w 1 200); do install -m 0600 /dev/null "$helper_files/file-$i"; done
scripts/as-tester.sh "$bench/bench_helper" "$helper_files" "${BRINDLE_BENCH_HELPER_PAIRS:-200}"
echo "== apply engine against chmod -R; items that need the helper"
scripts/as-tester.sh /bin/bash "$PWD/bench/apply.sh" "$build"
