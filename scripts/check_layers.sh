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
# byte-order helpers (it links no library of the program); the skin generator reads the live view's
# skin and bar tables, which are header-only data. The burning engine that ships
# (burnengine) is a library of its own beside the program, on the platform's
# engine header and registry store. Includes are written from the
# source root ("core/net/cgi_command.h"), never with "..".
#
# Inside a folder the sub-folders are layered the same way: each folder
# below lists its sub-folders from the bottom, and a file of a sub-folder may
# include its own sub-folder and those listed before it. Files lying directly
# in the folder stand above all of its sub-folders. A sub-folder missing from
# its folder's order is refused until it is given its place.
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

# folder: its sub-folders, from the bottom.
order='
core: application state store net login widgets dialogs startup
liveview: skin widgets dialogs control window
config: sheet pages
maintenance: search backup disc firmware log
'

# Includes against the sub-folder order that are still to be untangled,
# as "file: included path".
exceptions='
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
  awk -v rules="$rules" -v order="$order" -v exceptions="$exceptions" -v project="$project" '
    BEGIN {
      n = split(rules, lines, "\n")
      for (i = 1; i <= n; i++) {
        if (lines[i] !~ /:/) continue
        key = lines[i]; sub(/:.*/, "", key)
        allow[key] = " " substr(lines[i], index(lines[i], ":") + 2) " "
      }
      n = split(order, lines, "\n")
      for (i = 1; i <= n; i++) {
        if (lines[i] !~ /:/) continue
        key = lines[i]; sub(/:.*/, "", key)
        ordered[key] = 1
        m = split(substr(lines[i], index(lines[i], ":") + 2), subs, " ")
        for (j = 1; j <= m; j++) rank[key "/" subs[j]] = j
      }
      n = split(exceptions, lines, "\n")
      for (i = 1; i <= n; i++)
        if (lines[i] ~ /:/) excepted[lines[i]] = 1
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
        next
      }

      # The sub-folder order inside one folder.
      if (!(top in ordered) || index(file, top "/") != 1) next
      from = sub_rank(file, top)
      to = sub_rank(path, top)
      if (from == -1) {
        printf "%s:%s: sub-folder %s has no place in the order of %s\n", file, line, sub_name(file), top
        bad = 1; next
      }
      if (to == -1 || from >= to) next
      if ((file ": " path) in excepted) next
      printf "%s:%s: %s/%s may not include \"%s\" (%s/%s lies above it)\n", file, line, top, sub_name(file), path, top, sub_name(path)
      bad = 1
    }
    # The second part of a path, when the path lies in a sub-folder of top.
    function sub_name(f,   parts) {
      if (split(f, parts, "/") < 3) return ""
      return parts[2]
    }
    # The rank of the sub-folder a path lies in; files directly in the folder
    # rank above every sub-folder, and -1 marks a sub-folder with no place.
    function sub_rank(f, top,   name) {
      name = sub_name(f)
      if (name == "") return 1000000
      if (!((top "/" name) in rank)) return -1
      return rank[top "/" name]
    }
    END {
      if (!bad) print "check_layers: every include keeps to its layer"
      exit bad
    }'
