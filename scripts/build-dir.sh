# Sourced: sets $build, the build folder. Tests run partly as brindle-tester,
# who must reach it: when the checkout is closed to other users (a clone under
# /root, say), the build goes to /var/tmp instead.
build=${BRINDLE_BUILD_DIR:-}
if [ -z "$build" ]; then
  build="$PWD/build"
  if [ "$(id -u)" -eq 0 ] && ! runuser -u nobody -- test -r "$PWD/CMakeLists.txt" 2>/dev/null; then
    build="/var/tmp/brindle-build-$(printf '%s' "$PWD" | md5sum | cut -c1-12)"
  fi
fi
export BRINDLE_BUILD_DIR="$build"
