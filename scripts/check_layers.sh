#!/usr/bin/env bash
# Fails when a file includes a part of the program its layer may not use.
#
# The layers, from the bottom: platform and resample (each on its own),
# core, media, liveview, config, maintenance, and app on top. A layer may
# include itself and the layers below it, never one above it; calls upward
# go through the small interfaces the lower layer declares. The test kit
# stands on the platform (tests/support) or on the core
# (tests/support/core); the device simulator stands on nothing of the
# program's own, the stream generator only on the platform's header-only
# byte-order helpers (it links no library of the program); the skin generator reads the window's
# layout tables, which are header-only data. The burning engine that ships
# (burnengine) is a library of its own beside the program, on the platform's
# engine header and registry store. Includes are written from the
# source root ("core/net/cgi_command.h"), never with "..".
#
# Usage: scripts/check_layers.sh [source-root]
set -euo pipefail
cd "${1:-"$(dirname "$0")/.."}"

# folder: the folders its files may include from. The most specific folder
# rule applies (tests/support/core before tests/support).
rules='
platform: platform
resample: resample
core: core platform resample
media: media core platform resample
liveview: liveview media core platform resample
config: config liveview media core platform resample
maintenance: maintenance config liveview media core platform resample
app: app maintenance config liveview media core platform resample
burnengine: burnengine platform
tests/support: tests/support platform tools
tests/support/core: tests/support core platform resample tools
tools/devicesim: tools
tools/streamgen: tools platform
tools/skingen: tools liveview
'

# The program's own top-level folders; other includes (the system, Qt,
# GoogleTest) are no layer's business.
project='platform resample core media liveview config maintenance burnengine app tools tests fuzz bench'

dirs=()
for dir in $project; do
  if [[ -d $dir ]]; then dirs+=("$dir"); fi
done
find "${dirs[@]}" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.c' \) 2>/dev/null |
  xargs -r grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' /dev/null |
  awk -v rules="$rules" -v project="$project" '
    BEGIN {
      n = split(rules, lines, "\n")
      for (i = 1; i <= n; i++) {
        if (lines[i] !~ /:/) continue
        key = lines[i]; sub(/:.*/, "", key)
        allow[key] = " " substr(lines[i], index(lines[i], ":") + 2) " "
      }
      split(project, p, " ")
      for (i in p) own[p[i]] = 1
      bad = 0
    }
    {
      file = $0; sub(/:.*/, "", file)
      rest = substr($0, length(file) + 2)
      line = rest; sub(/:.*/, "", line)
      path = rest; sub(/^[^<"]*[<"]/, "", path); sub(/[>"].*/, "", path)

      rule = ""
      for (key in allow)
        if (index(file, key "/") == 1 && length(key) > length(rule)) rule = key
      if (rule == "") next

      if (path ~ /(^|\/)\.\.\//) {
        printf "%s:%s: includes \"%s\" by a relative path; write it from the source root\n", file, line, path
        bad = 1; next
      }
      if (path !~ /\//) next
      top = path; sub(/\/.*/, "", top)
      if (!(top in own)) next
      if (path ~ /^tests\/support\/core\//) target = "tests/support/core"
      else if (path ~ /^tests\/support\//) target = "tests/support"
      else target = top
      # A folder allowed also allows what lies inside it.
      ok = 0
      m = split(allow[rule], names, " ")
      for (i = 1; i <= m; i++)
        if (target == names[i] || index(target, names[i] "/") == 1) ok = 1
      if (!ok) {
        printf "%s:%s: %s may not include \"%s\"\n", file, line, rule, path
        bad = 1
      }
    }
    END {
      if (!bad) print "check_layers: every include keeps to its layer"
      exit bad
    }'
