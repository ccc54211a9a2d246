#!/usr/bin/env bash
# tools/fuzz.sh [SECONDS] [TARGET...]: runs the libFuzzer targets (default: all of fuzz/) for SECONDS each
# (default 600), side by side over the cores (JOBS, default all), and tells where the findings are.
#
# Builds build-fuzz/ with clang first (core and fuzz targets only). Everything a run keeps lies outside the
# work tree, under FUZZ_DIR (default ${XDG_CACHE_HOME:-~/.cache}/tarveshmox-fuzz):
#   FUZZ_DIR/TARGET/corpus    the corpus, grown from one run to the next (seeded from build-fuzz/fuzz/seeds and
#                             fuzz/regressions)
#   FUZZ_DIR/TARGET/findings  crash-*, timeout-*, oom-* and slow-unit-* inputs
#   FUZZ_DIR/TARGET/log       libFuzzer's output
# Limits as in ctest: 5 s and 512 MiB per input, no allocation over 512 MiB, output files of at most 64 MiB.
# FUZZ_FLAGS adds libFuzzer options (later ones win), e.g. FUZZ_FLAGS=-malloc_limit_mb=8192 to look past huge
# reservations that are known already.
#
# A finding becomes a regression input:
#   1. reproduce it: build-fuzz/fuzz/fuzz_TARGET FILE (any build's fuzz_TARGET takes files);
#   2. shrink it: build-fuzz/fuzz/fuzz_TARGET -minimize_crash=1 -runs=20000 -exact_artifact_path=SMALL FILE
#      (for timeouts add -timeout=5);
#   3. copy it to fuzz/regressions/TARGET/ under a name that says what it does, and commit it with the fix:
#      ctest runs every file there in build/ (plain driver, Release limits) and in build-fuzz/ (ASan, UBSan).
set -uo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(archive expand bin settings image)
jobs=${JOBS:-$(nproc)}
fuzzdir=${FUZZ_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tarveshmox-fuzz}

command -v clang++ >/dev/null || { echo "clang++ is missing (tools/install-deps.sh installs it)"; exit 1; }
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DTARVESH_FUZZ=ON >/dev/null || exit 1
cmake --build build-fuzz -j "$jobs" >/dev/null || { cmake --build build-fuzz -j 1; exit 1; }

# Workers per target: the cores shared out, at least one each.
per=$(( jobs / ${#targets[@]} ))
[ "$per" -ge 1 ] || per=1
pids=()
tmps=()
for t in "${targets[@]}"; do
  bin=$repo/build-fuzz/fuzz/fuzz_$t
  [ -x "$bin" ] || { echo "no target $t"; exit 1; }
  d=$fuzzdir/$t
  mkdir -p "$d/corpus" "$d/findings"
  tmp=$d/tmp # scratch: the targets' private folders, and libFuzzer's own
  mkdir -p "$tmp"
  tmps+=("$tmp")
  cp -n "$repo/build-fuzz/fuzz/seeds/$t/"* "$d/corpus/" 2>/dev/null
  cp -n "$repo/fuzz/regressions/$t/"* "$d/corpus/" 2>/dev/null
  extra=()
  [ -f "$repo/fuzz/$t.dict" ] && extra+=(-dict="$repo/fuzz/$t.dict")
  [ "$t" = settings ] && extra+=(-max_len=16384)
  (
    cd "$tmp" || exit 1
    ulimit -f 65536
    export TMPDIR=$tmp XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data
    # A smaller quarantine of freed memory: with the default 256 MiB, a job that runs many inputs which allocate
    # tens of MiB each would pass the resident limit on memory the inputs already gave back.
    export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=32}
    "$bin" -fork="$per" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -max_total_time="$seconds" \
      -rss_limit_mb=512 -malloc_limit_mb=512 -timeout=5 -report_slow_units=3 \
      -artifact_prefix="$d/findings/" "${extra[@]}" ${FUZZ_FLAGS:-} "$d/corpus" >"$d/log" 2>&1
  ) &
  pids+=($!)
  echo "fuzzing $t for $seconds s with $per worker(s): $d"
done
# An input that crashes leaves its private folder behind (up to 64 MiB per file): removed once it is a minute old
# (no input runs longer than 5 s).
(
  while sleep 30; do
    for tmp in "${tmps[@]}"; do
      find "$tmp" -mindepth 1 -maxdepth 1 -name 'tarvesh-fuzz-*' -mmin +1 -exec rm -rf {} + 2>/dev/null
    done
  done
) &
cleaner=$!
for p in "${pids[@]}"; do wait "$p"; done
kill "$cleaner" 2>/dev/null
rm -rf "${tmps[@]}"

echo
for t in "${targets[@]}"; do
  d=$fuzzdir/$t
  n=$(find "$d/findings" -type f | wc -l)
  echo "$t: $(find "$d/corpus" -type f | wc -l) corpus inputs, $n findings in $d/findings"
  find "$d/findings" -type f | head -20 | sed 's/^/  /'
done
