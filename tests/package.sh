#!/usr/bin/env bash
# Builds the Debian package from BUILD_DIR and checks what it holds: every
# file in its place, the helper root's and set-user-ID, what it depends on,
# and the desktop files valid as installed.
# Usage: tests/package.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"; exit 1; }
deb=$(echo "$work"/out/brindle_*.deb)
[ -f "$deb" ] || { echo "FAIL: no brindle_*.deb"; exit 1; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

listing=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $2, $6}')
expected="-rwxr-xr-x root/root ./usr/bin/brindle
-rw-r--r-- root/root ./usr/lib/brindle/brindle-polkit.so
-rwsr-xr-x root/root ./usr/libexec/brindle/bitsmith
-rw-r--r-- root/root ./usr/share/applications/it.vantelo.brindle.desktop
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/it.vantelo.brindle.svg
-rwxr-xr-x root/root ./usr/share/kio/servicemenus/it.vantelo.brindle.servicemenu.desktop
-rw-r--r-- root/root ./usr/share/man/man1/brindle.1.gz
-rw-r--r-- root/root ./usr/share/man/man8/bitsmith.8.gz
-rw-r--r-- root/root ./usr/share/metainfo/it.vantelo.brindle.metainfo.xml
-rw-r--r-- root/root ./usr/share/polkit-1/actions/it.vantelo.brindle.policy"
[ "$listing" = "$expected" ] || fail "contents differ:
$(diff <(echo "$expected") <(echo "$listing"))"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in polkitd pkexec qt6-qpa-plugins libqt6widgets6 libpolkit-agent-1-0; do
  [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
done
dpkg-deb -I "$deb" postinst | grep -q 'chmod 4755' || fail "postinst does not restore the helper's mode"

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/it.vantelo.brindle.desktop" || fail "desktop-file-validate"
grep -qx 'Exec=brindle %f' "$work/root/usr/share/applications/it.vantelo.brindle.desktop" || fail "Exec line"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/it.vantelo.brindle.metainfo.xml" || fail "appstreamcli validate"
grep -q 'Name=Permissions in Brindle…' "$work/root/usr/share/kio/servicemenus/it.vantelo.brindle.servicemenu.desktop" ||
  fail "service menu"
for page in man1/brindle.1.gz man8/bitsmith.8.gz; do
  gzip -t "$work/root/usr/share/man/$page" || fail "$page"
done
# The packaged helper is the hardened one: no RUNPATH, full RELRO.
readelf -d "$work/root/usr/libexec/brindle/bitsmith" | grep -q -E 'RUNPATH|RPATH' && fail "helper has a RUNPATH"
readelf -d "$work/root/usr/libexec/brindle/bitsmith" | grep -q BIND_NOW || fail "helper lacks BIND_NOW"
"$work/root/usr/bin/brindle" --version | grep -qx 'Brindle [0-9.]*' || fail "brindle --version"

[ "$failures" -eq 0 ] && echo "PASS: $(basename "$deb")"
exit $((failures > 0))
