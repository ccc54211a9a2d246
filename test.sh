#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#  - the whole suite (window and OpenGL tests under Xvfb with Mesa's software renderer);
#  - the core suites again under AddressSanitizer and UndefinedBehaviorSanitizer;
#  - the fuzz targets over their seeds and regression inputs: in build/ with the plain driver (Release limits),
#    and built with clang as libFuzzer programs under ASan and UBSan (build-fuzz/).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
jobs=${JOBS:-$(nproc)}

tools/configure.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb
(cd build && xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure -j "$jobs")

tools/configure.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTARVESH_SANITIZE=ON
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs")

tools/configure.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTARVESH_FUZZ=ON
cmake --build build-fuzz -j "$jobs"
(cd build-fuzz && ctest --output-on-failure -j "$jobs")
