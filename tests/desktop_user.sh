#!/usr/bin/env bash
# Whom run.sh starts Brindle as, when it runs as root.
set -u
source "$(dirname "$0")/../scripts/desktop-user.sh"
failures=0
check() { # expected, then environment assignments
  local expected=$1; shift
  local got
  got=$(env -i PATH="$PATH" "$@" bash -c 'source "$0"; desktop_user' "$(dirname "$0")/../scripts/desktop-user.sh")
  if [ "$got" != "$expected" ]; then
    echo "FAIL: $* gave '$got', expected '$expected'"; failures=$((failures + 1))
  else
    echo "PASS: $* -> '${got}'"
  fi
}
nobody_uid=$(id -u nobody)
sockets=$(mktemp -d)
trap 'rm -rf "$sockets"' EXIT
python3 -c 'import socket,sys; s=socket.socket(socket.AF_UNIX); s.bind(sys.argv[1])' "$sockets/X97"
python3 -c 'import socket,sys; s=socket.socket(socket.AF_UNIX); s.bind(sys.argv[1])' "$sockets/wayland-9"
touch "$sockets/X98" # a plain file is no display
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$sockets/X97" "$sockets/wayland-9" "$sockets/X98"
fi
socket_user=$(id -un "$(stat -c %u "$sockets/X97")")
[ "$socket_user" = root ] && socket_user=

check nobody SUDO_USER=nobody
check nobody SUDO_USER=root PKEXEC_UID="$nobody_uid"
check "" SUDO_USER=root PKEXEC_UID=0
check "" SUDO_USER=no-such-user-here
check "$socket_user" x11_socket_dir="$sockets" DISPLAY=:97
check "$socket_user" x11_socket_dir="$sockets" DISPLAY=:97.0
check "" x11_socket_dir="$sockets" DISPLAY=:98
check "" x11_socket_dir="$sockets" DISPLAY="remote.example:97"
check "$socket_user" XDG_RUNTIME_DIR="$sockets" WAYLAND_DISPLAY=wayland-9
check ""
exit $((failures > 0))
