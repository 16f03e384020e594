#!/usr/bin/env bash
# Builds and starts kestrune. Any arguments are passed on to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

build=${KESTRUNE_BUILD:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_TESTS=OFF >/dev/null
cmake --build "$build"
exec "$build/app/kestrune" "$@"
