#!/bin/sh
# Runs one test process with its own empty settings store and desktop data folder, so that tests never read
# or write the user's own settings and never see each other's.
home=$(mktemp -d "${TMPDIR:-/tmp}/tarvesh-xdg.XXXXXX") || exit 1
XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" "$@"
rc=$?
rm -rf "$home"
exit $rc
