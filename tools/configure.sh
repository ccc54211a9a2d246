#!/usr/bin/env bash
# Configures a build tree of this checkout with Ninja: tools/configure.sh DIR [CMAKE ARGS...]
# The arguments a tree was configured with are kept beside it (DIR/configure-args). A tree configured with the
# same arguments is left alone: the build step configures it again by itself when a CMakeLists.txt changed, and
# configuring without need costs a second at every start. Other arguments configure it afresh, from an empty cache,
# so that an option left out is not kept from before.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
args=$(printf '%q\n' -S "$here" -G Ninja "$@")
if [ -f "$dir/build.ninja" ] && [ -f "$dir/configure-args" ] && [ "$(cat "$dir/configure-args")" = "$args" ]; then
  exit 0
fi
fresh=()
[ -f "$dir/CMakeCache.txt" ] && fresh=(--fresh)
rm -f "$dir/configure-args"
cmake "${fresh[@]}" -S "$here" -B "$dir" -G Ninja "$@" >/dev/null
printf '%s\n' "$args" > "$dir/configure-args"
