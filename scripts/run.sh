#!/usr/bin/env bash
# Installs what is missing, builds Brindle and starts it on this desktop.
# Usage (as root, or through sudo or pkexec): bash scripts/run.sh [PATH]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/build-dir.sh
bash scripts/deps.sh
bash scripts/build.sh
brindle="$build/bin/brindle"

# polkitd reads Brindle's actions from here. The build tree's helper is made
# set-user-ID root here, as root: Brindle repairs only a helper that root alone
# could have put in place, which a checkout's build folder is not.
if [ "$(id -u)" -eq 0 ]; then
  install -D -m 0644 tool/it.vantelo.brindle.policy /usr/share/polkit-1/actions/it.vantelo.brindle.policy
  chown root:root "$build/libexec/brindle/bitsmith"
  chmod 4755 "$build/libexec/brindle/bitsmith"
else
  echo "brindle: not root: Brindle's polkit policy and its helper were not installed; privileged changes will fail." >&2
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "brindle: built $brindle, but there is no display to show its window on." >&2
  echo "brindle: run this command from a terminal of a graphical session (DISPLAY or WAYLAND_DISPLAY set)." >&2
  exit 1
fi

# Brindle started as root would change anything without asking anyone: it
# runs as the person at the desktop, in a clean environment.
if [ "$(id -u)" -eq 0 ]; then
  source scripts/desktop-user.sh
  if user=$(desktop_user); then
    uid=$(id -u "$user")
    home=$(getent passwd "$user" | cut -d: -f6)
    environment=(HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/local/bin:/usr/bin:/bin
                 LANG="${LANG:-C.UTF-8}")
    [ -n "${DISPLAY:-}" ] && environment+=(DISPLAY="$DISPLAY")
    [ -n "${WAYLAND_DISPLAY:-}" ] && environment+=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY")
    # root's own cookie file is no use to the user; theirs is.
    if [ -n "${XAUTHORITY:-}" ] && [ "$(stat -c %u -- "$XAUTHORITY" 2>/dev/null)" = "$uid" ]; then
      environment+=(XAUTHORITY="$XAUTHORITY")
    elif [ -r "$home/.Xauthority" ]; then
      environment+=(XAUTHORITY="$home/.Xauthority")
    fi
    if [ -d "/run/user/$uid" ]; then
      environment+=(XDG_RUNTIME_DIR="/run/user/$uid")
      [ -S "/run/user/$uid/bus" ] && environment+=(DBUS_SESSION_BUS_ADDRESS="unix:path=/run/user/$uid/bus")
    fi
    echo "brindle: starting Brindle as $user, the user at this desktop." >&2
    # setsid: no controlling terminal to push keystrokes into root's shell.
    exec runuser -u "$user" -- setsid --wait env -i "${environment[@]}" "$brindle" "$@" </dev/null
  fi
  echo "brindle: no desktop user found (no SUDO_USER, no PKEXEC_UID, no display owner)." >&2
  echo "brindle: Brindle RUNS AS ROOT: every change it makes is made at once, without asking for a password." >&2
fi
exec "$brindle" "$@"
