# Sourced by run.sh: desktop_user prints the name of the person at the
# desktop that root was started from, or nothing when there is none.
# In order: the user who called sudo, the user who called pkexec, the owner
# of the Wayland display's socket, the user of the logind session that holds
# the X display. root itself never counts.
#
# The owner of an X display's socket proves nothing: the sockets' folder is open
# to everyone, and whoever takes a display's name there while no server holds
# it owns that socket; Brindle would then run as them on root's display and
# ask for the administrator's password. Only logind, which root keeps, says
# whose an X display is.

# Prints the name of an account given by name or uid, unless it is root or unknown.
_desktop_account() {
  local entry
  entry=$(getent passwd "$1" 2>/dev/null | head -n 1) || return 1
  [ -n "$entry" ] || return 1
  local name=${entry%%:*} rest=${entry#*:*:}
  [ "${rest%%:*}" != 0 ] || return 1
  printf '%s\n' "$name"
}

# The owner of a socket, when it is one (a plain file proves nothing) and
# every folder above it belongs to root or to that owner with no one else
# allowed to write there (a link on the way shows as writable by all): in a
# folder others can write, anyone could have put it there.
_socket_owner() {
  [ -S "$1" ] && [ ! -L "$1" ] || return 1
  local owner folder=$1 status
  owner=$(stat -c %u -- "$1") || return 1
  while [ "$folder" != / ] && [ "$folder" != . ]; do
    folder=$(dirname -- "$folder")
    status=$(stat -c '%u %a' -- "$folder") || return 1
    [ "${status% *}" = 0 ] || [ "${status% *}" = "$owner" ] || return 1
    (( (8#${status#* } & 8#022) == 0 )) || return 1
  done
  printf '%s\n' "$owner"
}

desktop_user() {
  local uid number session
  if [ -n "${SUDO_USER:-}" ] && _desktop_account "$SUDO_USER"; then return 0; fi
  if [ -n "${PKEXEC_UID:-}" ] && _desktop_account "$PKEXEC_UID"; then return 0; fi
  if [ -n "${WAYLAND_DISPLAY:-}" ]; then
    case $WAYLAND_DISPLAY in
      /*) uid=$(_socket_owner "$WAYLAND_DISPLAY") ;;
      *) uid=$(_socket_owner "${XDG_RUNTIME_DIR:-/nonexistent}/$WAYLAND_DISPLAY") ;;
    esac
    if [ -n "${uid:-}" ] && _desktop_account "$uid"; then return 0; fi
  fi
  if [[ ${DISPLAY:-} =~ ^(unix)?:([0-9]+)(\.[0-9]+)?$ ]] && command -v loginctl >/dev/null 2>&1; then
    number=${BASH_REMATCH[2]}
    for session in $(loginctl list-sessions --no-legend 2>/dev/null | awk '{print $1}'); do
      if [ "$(loginctl show-session "$session" -p Display --value 2>/dev/null)" = ":$number" ]; then
        uid=$(loginctl show-session "$session" -p User --value 2>/dev/null)
        if [ -n "$uid" ] && _desktop_account "$uid"; then return 0; fi
      fi
    done
  fi
  return 1
}
