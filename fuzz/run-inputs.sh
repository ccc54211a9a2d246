#!/usr/bin/env bash
# run-inputs.sh TARGET DIR|FILE...: runs a fuzz target once over the files and every file of the folders
# (missing folders count as empty), each input within 5 s, 512 MiB resident and no single allocation over 512 MiB; output files are cut at
# 64 MiB (a larger one ends the run). The plain driver adds its own limits (see Driver.cpp). Every input runs in
# a private temporary folder that must be empty again at the end.
set -uo pipefail
target=$1
shift
files=()
for dir in "$@"; do
  if [ -f "$dir" ]; then
    files+=("$dir")
    continue
  fi
  [ -d "$dir" ] || continue
  while IFS= read -r -d '' f; do files+=("$f"); done < <(find "$dir" -type f ! -name stamp -print0 | sort -z)
done
if [ ${#files[@]} -eq 0 ]; then
  echo "no inputs"
  exit 0
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvesh-fuzz-run.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
ulimit -f 65536 # 1024-byte blocks
TMPDIR=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
  "$target" -rss_limit_mb=512 -malloc_limit_mb=512 -timeout=5 -artifact_prefix="$work/" "${files[@]}"
rc=$?
left=$(find "$work" -mindepth 1 | head -5)
if [ -n "$left" ]; then
  echo "files left behind by the target:"
  echo "$left"
  [ $rc -eq 0 ] && rc=1
fi
exit $rc
