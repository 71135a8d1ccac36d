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
bind() { python3 -c 'import socket,sys; s=socket.socket(socket.AF_UNIX); s.bind(sys.argv[1])' "$1"; }
nobody_uid=$(id -u nobody)
# Under /run for root: the folders above the runtime folder must be root's
# and closed to others, as /run/user/UID is.
if [ "$(id -u)" -eq 0 ]; then work=$(mktemp -d /run/brindle-desktop-user.XXXXXX); else work=$(mktemp -d); fi
x11_socket=""
trap 'rm -rf "$work"; [ -n "$x11_socket" ] && rm -f "$x11_socket"' EXIT
chmod 0755 "$work"
# A runtime folder of the user's own, and one open to all (sticky, like /tmp).
mkdir -m 0700 "$work/runtime"
mkdir -m 1777 "$work/open"
bind "$work/runtime/wayland-9"
bind "$work/open/wayland-9"
touch "$work/runtime/wayland-8" # a plain file is no display
socket_user=""
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$work/runtime" "$work/runtime/wayland-9" "$work/runtime/wayland-8" "$work/open/wayland-9"
  socket_user=nobody
fi

check nobody SUDO_USER=nobody
check nobody SUDO_USER=root PKEXEC_UID="$nobody_uid"
check "" SUDO_USER=root PKEXEC_UID=0
check "" SUDO_USER=no-such-user-here
check "$socket_user" XDG_RUNTIME_DIR="$work/runtime" WAYLAND_DISPLAY=wayland-9
check "$socket_user" WAYLAND_DISPLAY="$work/runtime/wayland-9"
check "" XDG_RUNTIME_DIR="$work/runtime" WAYLAND_DISPLAY=wayland-8
check "" XDG_RUNTIME_DIR="$work/open" WAYLAND_DISPLAY=wayland-9
check "" DISPLAY="remote.example:97"
check ""

# The attack: another user takes a free X display's name in /tmp/.X11-unix.
# Without a logind session that holds the display, nobody is chosen.
if [ "$(id -u)" -eq 0 ] && [ -d /tmp/.X11-unix ] && [ ! -L /tmp/.X11-unix ]; then
  for number in $(seq 70 99); do
    if runuser -u nobody -- python3 -c 'import socket,sys; s=socket.socket(socket.AF_UNIX); s.bind(sys.argv[1])' \
         "/tmp/.X11-unix/X$number" 2>/dev/null; then
      x11_socket=/tmp/.X11-unix/X$number
      check "" DISPLAY=":$number"
      check "" DISPLAY=":$number.0"
      break
    fi
  done
fi
exit $((failures > 0))
