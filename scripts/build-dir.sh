# Sourced: sets $build, the build folder. Tests run partly as brindle-tester,
# who must reach it: when the checkout is closed to other users (a clone under
# /root, say), root builds in /var/cache/brindle instead. Only root can create
# there, and a folder root does not own, or that others may write, is refused:
# whoever prepared a build folder would run code in root's configure.
brindle_root_folder() {
  mkdir -m 0755 "$1" 2>/dev/null || true
  if [ -L "$1" ] || [ ! -d "$1" ] || [ "$(stat -c %u "$1")" != 0 ] || (( 0$(stat -c %a "$1") & 022 )); then
    echo "brindle: $1 is not a folder that only root can change; not building there" >&2
    return 1
  fi
}

build=${BRINDLE_BUILD_DIR:-}
if [ -z "$build" ]; then
  build="$PWD/build"
  if [ "$(id -u)" -eq 0 ] && ! runuser -u nobody -- test -r "$PWD/CMakeLists.txt" 2>/dev/null; then
    brindle_root_folder /var/cache/brindle
    build="/var/cache/brindle/build-$(printf '%s' "$PWD" | md5sum | cut -c1-12)"
    brindle_root_folder "$build"
  fi
fi
export BRINDLE_BUILD_DIR="$build"
