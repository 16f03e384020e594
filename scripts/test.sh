#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Includes keep to their layers before anything is built.
scripts/check_layers.sh
# Every C++ file keeps the project's formatting.
scripts/check_format.sh

build=${KESTRUNE_TEST_BUILD:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DKESTRUNE_SANITIZE=ON -DKESTRUNE_WERROR=ON -DKESTRUNE_TESTS=ON
cmake --build "$build"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
# Pictures the tests take (the login dialog's screenshot) are kept here.
export KESTRUNE_ARTIFACTS=${KESTRUNE_ARTIFACTS:-$PWD/artifacts}
mkdir -p "$KESTRUNE_ARTIFACTS"
ctest --output-on-failure -j "$(nproc)" --timeout 300
