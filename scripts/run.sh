#!/usr/bin/env bash
# Installs what is missing, builds Brindle and starts it on this desktop.
# Usage: sudo bash scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/build-dir.sh
bash scripts/deps.sh
bash scripts/build.sh
brindle="$build/bin/brindle"

# polkitd reads Brindle's actions from here. The helper of the build tree is
# installed set-user-ID root by Brindle itself, with an administrator's
# password, the first time it is needed.
if [ "$(id -u)" -eq 0 ]; then
  install -D -m 0644 tool/it.vantelo.brindle.policy /usr/share/polkit-1/actions/it.vantelo.brindle.policy
else
  echo "brindle: not root: Brindle's polkit policy was not installed; privileged changes will fail." >&2
fi

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
