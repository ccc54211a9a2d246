#!/usr/bin/env bash
# Installs what is missing, builds and starts TarveshMox: ./run.sh [FILE [x]]
# The program runs in the folder run.sh is started from, with the arguments as given; only the build runs here.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/tools/install-deps.sh"
"$here/tools/configure.sh" "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$here/build" --target TarveshMox
exec "$here/build/TarveshMox" "$@"
