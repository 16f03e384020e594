#!/usr/bin/env bash
# Plants small source trees in a temporary folder and runs the layer check on
# each: a tree whose includes keep to the sub-folder order passes, and each
# tree with one include against it fails, naming the offending file.
#
# Usage: tests/layer_check/sub_folder_order.sh [path to check_layers.sh]
set -euo pipefail
check="${1:-"$(dirname "$0")/../../scripts/check_layers.sh"}"
check="$(cd "$(dirname "$check")" && pwd)/$(basename "$check")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A tree that keeps to the order: each file includes its own sub-folder or
# one below it, and a file directly in the folder includes any sub-folder.
good='
core/application/base.h:
core/state/holder.h: core/application/base.h
core/net/sender.cpp: core/state/holder.h
core/dialogs/panel.cpp: core/net/sender.h
core/startup/begin.cpp: core/dialogs/panel.h
liveview/skin/tables.h:
liveview/control/bar.cpp: liveview/skin/tables.h
liveview/window/main.cpp: liveview/control/bar.h
config/pages/page.cpp: config/sheet/frame.h
maintenance/disc/burn.cpp: maintenance/backup/fetch.h
maintenance/entry.cpp: maintenance/log/read.h
'

# name|the planted file: its include (added to the good tree)
bad='
state includes net|core/state/reaches_net.h: core/net/sender.h
application includes startup|core/application/reaches_startup.cpp: core/startup/begin.h
skin includes control|liveview/skin/reaches_control.h: liveview/control/bar.h
control includes window|liveview/control/reaches_window.cpp: liveview/window/main.h
sheet includes pages|config/sheet/reaches_pages.cpp: config/pages/page.h
sub-folder with no place|core/nowhere/stray.h: core/application/base.h
sub-folder reaches a file of its folder|maintenance/search/reaches_top.cpp: maintenance/entry.h
'

plant() {  # plant <root> <lines of "file: include">
  local root=$1 line file include
  while IFS= read -r line; do
    [[ $line == *:* ]] || continue
    file=${line%%:*}
    include=${line#*: }
    include=${include#*:}
    mkdir -p "$root/$(dirname "$file")"
    : >>"$root/$file"
    if [[ -n $include ]]; then printf '#include "%s"\n' "$include" >>"$root/$file"; fi
  done <<<"$2"
}

failed=0
plant "$work/good" "$good"
if ! out=$("$check" "$work/good" 2>&1); then
  echo "FAIL: the tree that keeps to the order was refused:"
  echo "$out"
  failed=1
fi

n=0
while IFS= read -r case; do
  [[ $case == *'|'* ]] || continue
  n=$((n + 1))
  name=${case%%|*}
  planted=${case#*|}
  root="$work/bad$n"
  plant "$root" "$good"
  plant "$root" "$planted"
  file=${planted%%:*}
  if out=$("$check" "$root" 2>&1); then
    echo "FAIL ($name): the check passed $file"
    failed=1
  elif ! grep -q "^$file:" <<<"$out"; then
    echo "FAIL ($name): the check failed without naming $file:"
    echo "$out"
    failed=1
  elif [[ $(grep -c . <<<"$out") -ne 1 ]]; then
    echo "FAIL ($name): the check refused more than the planted include:"
    echo "$out"
    failed=1
  fi
done <<<"$bad"

if [[ $failed -eq 0 ]]; then echo "sub_folder_order: the check keeps the sub-folder order ($n refusals)"; fi
exit $failed
