#!/usr/bin/env bash
# Builds the tests with ThreadSanitizer and runs every test labelled
# "threaded" (tests/CMakeLists.txt gives that label to every suite that is not
# declared single-threaded, so a new suite is never skipped). Any data race,
# lock-order inversion or thread leak that TSan reports stops that test
# (halt_on_error) and makes this script exit non-zero.
# Usage: scripts/tsan.sh [ctest -R regex]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${KESTRUNE_TSAN_BUILD:-build-tsan}
jobs=${KESTRUNE_TSAN_JOBS:-4}

# Set before building: the build runs the skin generator, itself built
# with ThreadSanitizer, and Qt's own thread pool needs the suppressions.
export QT_QPA_PLATFORM=offscreen
opts="halt_on_error=1:second_deadlock_stack=1"
if [[ -f $root/scripts/tsan.supp ]]; then
  opts+=":suppressions=$root/scripts/tsan.supp"
fi
export TSAN_OPTIONS="$opts${TSAN_EXTRA_OPTIONS:+:$TSAN_EXTRA_OPTIONS}"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTRUNE_TSAN=ON -DKESTRUNE_SANITIZE=OFF -DKESTRUNE_TESTS=ON
cmake --build "$build" -j "$jobs"

cd "$build"
echo "tsan: suites labelled threaded:"
ctest -N -L threaded | sed -n 's/^ *Test *#[0-9]*: \([^.]*\)\..*/\1/p' | sort -u | tr '\n' ' '
echo
status=0
ctest -L threaded -j "$jobs" --timeout 600 --output-on-failure ${1:+-R "$1"} >"$root/$build/tsan.log" 2>&1 ||
  status=1
if grep -q 'WARNING: ThreadSanitizer' "$root/$build/tsan.log"; then
  status=1
  grep -A30 'WARNING: ThreadSanitizer' "$root/$build/tsan.log" | head -60
fi
tail -5 "$root/$build/tsan.log"
echo "   log: $root/$build/tsan.log"
exit $status
