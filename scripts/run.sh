#!/usr/bin/env bash
# Installs what is missing, builds Brindle and starts it on this desktop.
# Usage: sudo bash scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
brindle="$PWD/${BRINDLE_BUILD_DIR:-build}/bin/brindle"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "brindle: built $brindle, but there is no display to show its window on." >&2
  echo "brindle: run this command from a terminal of a graphical session (DISPLAY or WAYLAND_DISPLAY set)." >&2
  exit 1
fi

# A desktop tool runs as the person at the desktop, not as root.
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
  uid=$(id -u "$SUDO_USER")
  exec sudo -u "$SUDO_USER" -H env \
    ${DISPLAY:+DISPLAY="$DISPLAY"} ${XAUTHORITY:+XAUTHORITY="$XAUTHORITY"} \
    ${WAYLAND_DISPLAY:+WAYLAND_DISPLAY="$WAYLAND_DISPLAY"} XDG_RUNTIME_DIR="/run/user/$uid" \
    "$brindle"
fi
exec "$brindle"
