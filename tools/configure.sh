#!/usr/bin/env bash
# Configures a build tree of this checkout with Ninja: tools/configure.sh DIR [CMAKE ARGS...]
# Only a folder without a build tree is configured: the build step configures it again by itself when a
# CMakeLists.txt changed, and configuring without need costs a second at every start.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
[ -f "$dir/build.ninja" ] || cmake -S "$here" -B "$dir" -G Ninja "$@" >/dev/null
