#!/usr/bin/env bash
# Builds and starts kestrune.
#
#   scripts/run.sh                  against the device simulator (started here on 127.0.0.1)
#   scripts/run.sh ADDRESS [PORT]   against a real device (PORT defaults to 80)
#
# DEVICESIM_OPTIONS passes further options to the simulator, for example
#   DEVICESIM_OPTIONS="--product Q9C0" scripts/run.sh
#
# Each mode keeps its own program folder (Setting.ini, recordings, logs) under
# the build folder; the address and port are written into its Setting.ini so
# the login dialog starts with them.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

build=${KESTRUNE_BUILD:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_TESTS=OFF >/dev/null
cmake --build "$build"
# The program finds the burning engine of this build through the registry store.
"$build/burnengine/kestrune-register-engine" "$build/burnengine/engine" >/dev/null

# Sets one key of the [Kestrune] section of an INI file, creating it if needed.
set_setting() {
  local file=$1 key=$2 value=$3
  [[ -f $file ]] || printf '[Kestrune]\r\n' > "$file"
  if grep -qi "^${key}=" "$file"; then
    sed -i "s|^${key}=.*|${key}=${value}\r|I" "$file"
  else
    sed -i "/^\[Kestrune\]/a ${key}=${value}\r" "$file"
  fi
}

if [[ $# -ge 1 ]]; then
  address=$1
  port=${2:-80}
  home="$build/device-home"
else
  address=127.0.0.1
  port=${KESTRUNE_SIM_PORT:-8080}
  home="$build/sim-home"
  # shellcheck disable=SC2086 # the options are separate words
  "$build/tools/devicesim/devicesim" --port "$port" ${DEVICESIM_OPTIONS:-} &
  sim=$!
  trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
  echo "run: device simulator on 127.0.0.1:$port (user tresk, password tresk)"
fi

mkdir -p "$home"
cp -rn assets/. "$home/"
# The skins are drawn by the build beside the executable.
if [[ -d "$build/app/BMP" ]]; then cp -r "$build/app/BMP" "$home/"; fi
set_setting "$home/Setting.ini" "Server Name" "$address"
set_setting "$home/Setting.ini" "ServerPort" "$port"

KESTRUNE_HOME="$home" "$build/app/kestrune"
