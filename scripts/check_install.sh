#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and checks the layout the
# program's folder rules rely on: bin/kestrune leads to the executable in
# libexec/kestrune with its files beside it, and share/kestrune holds the
# same files as the seed of a user's data folder.
# Usage: scripts/check_install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/kestrune-install-XXXXXX")
trap 'rm -rf "$prefix"' EXIT
# The install step registers the burning engine in the user's registry store;
# here the user's configuration folder is a temporary one.
export XDG_CONFIG_HOME=$prefix/config
cmake --install "$build" --prefix "$prefix" >/dev/null

status=0
fail() { echo "check_install: $*"; status=1; }

exe=$(readlink -f "$prefix/bin/kestrune" || true)
[[ $exe == "$prefix/libexec/kestrune/kestrune" ]] || fail "bin/kestrune leads to '$exe'"
[[ -x $prefix/libexec/kestrune/kestrune ]] || fail "no executable in libexec/kestrune"
skins=$(find "$build/app/BMP" -name '*.bmp' | wc -l)
for dir in "$prefix/libexec/kestrune" "$prefix/share/kestrune"; do
  for file in CtrlFile.ini alarm.wav res/mybutton/calendar.bmp; do
    [[ -s $dir/$file ]] || fail "$dir lacks $file"
  done
  count=$(find "$dir/BMP" -name '*.bmp' 2>/dev/null | wc -l)
  ((count == skins && skins > 0)) || fail "$dir/BMP holds $count of the $skins drawn skins"
done
[[ ! -e $prefix/share/kestrune/kestrune ]] || fail "the seed folder holds the executable"
engine_dir=$(find "$prefix" -name BurnEngine.so -printf '%h\n' | head -1)
[[ -n $engine_dir ]] || fail "no burning engine installed"
grep -qF "BurnEngine=$engine_dir" "$XDG_CONFIG_HOME/kestrune/registry.ini" 2>/dev/null ||
  fail "the installed burning engine is not registered"
((status == 0)) && echo "check_install: layout as the program expects"
exit $status
