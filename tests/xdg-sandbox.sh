#!/bin/sh
# Runs one test process with its own empty settings store, desktop data, cache, runtime and temporary folders,
# so that tests never read or write the user's own files (Qt's and Mesa's shader caches included), never see
# each other's, and leave nothing behind even when the process is killed.
home=$(mktemp -d "${TMPDIR:-/tmp}/tarvesh-xdg.XXXXXX") || exit 1
mkdir -m 700 "$home/runtime" "$home/tmp" || exit 1
XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
    XDG_RUNTIME_DIR="$home/runtime" TMPDIR="$home/tmp" "$@"
rc=$?
rm -rf "$home"
exit $rc
