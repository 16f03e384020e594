#!/usr/bin/env bash
# Installs the Debian packages the project needs; only those missing, so it
# is cheap to run every time.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config clang-format xorriso
  qt6-base-dev qt6-qpa-plugins
  libturbojpeg0-dev libasound2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)
# Only the benchmarks compare against OpenCV; the program never links it. The
# display benchmark starts its own X server (Xvfb) and types and clicks into
# the program through the X server's test extension (libXtst).
if [[ "${KESTRUNE_WITH_BENCH:-0}" == 1 ]]; then
  packages+=(libopencv-dev xvfb libxtst-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
