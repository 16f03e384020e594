#!/usr/bin/env bash
# Builds the program and the display benchmark (Release, no sanitizers) in
# build-bench/ and runs the benchmark: the live view's CPU per frame on an X
# server the benchmark starts itself. Options go to the benchmark, e.g.
#
#   scripts/display_bench.sh --rounds=3 --seconds=20
set -euo pipefail
cd "$(dirname "$0")/.."
KESTRUNE_WITH_BENCH=1 scripts/setup.sh

build=${KESTRUNE_BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BENCH=ON \
  -DKESTRUNE_TESTS=OFF >/dev/null
cmake --build "$build" --target display_bench
exec "$build/bench/display_bench" "$@"
