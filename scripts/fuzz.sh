#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer in build-fuzz/ (the normal
# build stays on g++) and runs each for the given number of seconds (default
# 60) on its committed corpus. New interesting inputs go to a scratch folder
# (build-fuzz/fuzz-work/<target>/), never into fuzz/corpus/; crashes are
# saved to fuzz/crashes/. At most KESTRUNE_FUZZ_JOBS targets (default 4) run
# at once. Usage: scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

seconds=${1:-60}
shift || true
max_jobs=${KESTRUNE_FUZZ_JOBS:-4}

# clang 14 and its libFuzzer runtime, the pair Debian 12 ships; the plain
# clang names are used only when the versioned ones are missing.
missing=()
for p in clang-14 libclang-rt-14-dev; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "fuzz: installing ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cc=clang-14
cxx=clang++-14
if ! command -v "$cxx" >/dev/null; then
  cc=clang
  cxx=clang++
fi
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

build=build-fuzz
# A build folder made with another compiler is configured afresh: CMake would
# drop its cache and with it the options given below.
if [[ -f $build/CMakeCache.txt ]] &&
  ! grep -qx "CMAKE_CXX_COMPILER:[A-Z]*=$(command -v "$cxx")" "$build/CMakeCache.txt"; then
  rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
# The project libraries get coverage instrumentation and the sanitizers; only
# the fuzz programs link the libFuzzer runtime.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link" \
  -DKESTRUNE_SANITIZE=ON -DKESTRUNE_WERROR=OFF -DKESTRUNE_TESTS=ON -DKESTRUNE_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_all -- -j "$max_jobs"

if (($# == 0)); then
  set -- $(cd fuzz && ls *_fuzz.cpp | sed 's/_fuzz\.cpp$//')
fi

mkdir -p fuzz/crashes "$build/fuzz-logs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen

run_one() {
  local name=$1
  local work="$build/fuzz-work/$name"
  mkdir -p "$work"
  # The scratch folder comes first: libFuzzer writes new inputs there and
  # only reads the committed corpus.
  local status=0
  "$build/fuzz/${name}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="fuzz/crashes/${name}-" -timeout=10 -rss_limit_mb=2048 \
    "$work" "fuzz/corpus/$name" >"$build/fuzz-logs/$name.log" 2>&1 || status=$?
  # The outcome goes through a file: the shell may have reaped a finished
  # job (its count of running jobs below) before anyone waits for it.
  echo "$status" >"$build/fuzz-logs/$name.status"
}

status=0
names=()
for name in "$@"; do
  while (($(jobs -rp | wc -l) >= max_jobs)); do sleep 1; done
  echo "fuzz: running $name for ${seconds}s"
  rm -f "$build/fuzz-logs/$name.status"
  run_one "$name" &
  names+=("$name")
done
wait
for name in "${names[@]}"; do
  if [[ "$(cat "$build/fuzz-logs/$name.status" 2>/dev/null)" != 0 ]]; then
    echo "fuzz: $name FAILED, log $build/fuzz-logs/$name.log"
    # libFuzzer names the input it saved (crash-, leak-, timeout-, oom-).
    sed -n 's/.*Test unit written to \(.*\)$/fuzz:   input saved to \1/p' \
      "$build/fuzz-logs/$name.log"
    status=1
  fi
done

printf '%-16s %14s %8s %8s %8s\n' target executions exec/s cov ft
for name in "${names[@]}"; do
  log="$build/fuzz-logs/$name.log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  printf '%-16s %14s %8s %8s %8s\n' "$name" "${runs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}"
done
exit "$status"
