#!/usr/bin/env bash
# Times a start of ./run.sh with nothing changed against a start of build/TarveshMox alone, each up to its window
# being shown, in the same run: tools/start-time.sh [ROUNDS]
# Runs under its own Xvfb display, with a settings folder of its own. Prints the medians and their ratio.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-10}
if [ -z "${TARVESH_START_TIME_DISPLAY:-}" ]; then
  export TARVESH_START_TIME_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -m 700 "$scratch/runtime"
export XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data XDG_RUNTIME_DIR=$scratch/runtime
cd "$scratch"

# Milliseconds from the start of "$@" to its window being shown; the program is then closed.
time_to_window() {
  local t0 t1 pid
  t0=$(date +%s%N)
  "$@" >/dev/null 2>&1 &
  pid=$!
  until xdotool search --onlyvisible --pid "$pid" --name '^Tarvesh Mox' >/dev/null 2>&1; do
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "the program ended before its window was shown: $*" >&2
      exit 1
    fi
  done
  t1=$(date +%s%N)
  kill -TERM "$pid"
  wait "$pid" || true
  echo $(((t1 - t0) / 1000000))
}

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

echo "First start (installs and builds what is missing):"
"$here/run.sh" >/dev/null &
first=$!
until xdotool search --onlyvisible --pid "$first" --name '^Tarvesh Mox' >/dev/null 2>&1; do
  kill -0 "$first" 2>/dev/null || { echo "run.sh ended before its window was shown" >&2; exit 1; }
  sleep 0.2
done
kill -TERM "$first"
wait "$first" || true

: >"$scratch/alone"
: >"$scratch/script"
for _ in $(seq "$rounds"); do
  time_to_window "$here/build/TarveshMox" >>"$scratch/alone"
  time_to_window "$here/run.sh" >>"$scratch/script"
done
alone=$(median <"$scratch/alone")
script=$(median <"$scratch/script")
echo "build/TarveshMox alone: $(tr '\n' ' ' <"$scratch/alone")ms; median $alone ms"
echo "./run.sh, nothing changed: $(tr '\n' ' ' <"$scratch/script")ms; median $script ms"
awk -v a="$alone" -v s="$script" 'BEGIN {printf "ratio run.sh / program alone: %.2f (target at most 2)\n", s / a}'
