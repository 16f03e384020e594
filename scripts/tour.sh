#!/usr/bin/env bash
# Drives the real program (Release build) on an X server of its own against
# devicesim, as an operator would, with the mouse and keyboard through the X
# test extension (xdotool), and saves a picture of each step. Developer
# tooling, not run by CI.
#
#   scripts/tour.sh
#
# The pictures and results.txt (one line per check) go to
# "$KESTRUNE_ARTIFACTS/tour/" (build-tour/artifacts/tour by default). The
# script exits non-zero when a check failed; the pictures still need a look.
# Installs what it needs besides the project's packages: xvfb, xdotool and
# imagemagick (import, convert).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

missing=()
for p in xvfb xdotool imagemagick; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "tour: installing ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${KESTRUNE_BUILD:-build-tour}
out=${KESTRUNE_ARTIFACTS:-$build/artifacts}/tour
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_TESTS=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j3 --target kestrune devicesim fwgen
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/*.png "$out"/*.log "$out"/results.txt
work=$(mktemp -d)

# ---- the X server ----------------------------------------------------------
display=90
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
export DISPLAY=:$display
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
sim=""
program=""
cleanup() {
  [[ -n $program ]] && kill "$program" 2>/dev/null && wait "$program" 2>/dev/null
  [[ -n $sim ]] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

failures=0
check() {  # check NAME CONDITION-TEXT COMMAND...
  local name=$1 what=$2
  shift 2
  if "$@"; then
    echo "PASS $name: $what" | tee -a "$out/results.txt"
  else
    echo "FAIL $name: $what" | tee -a "$out/results.txt"
    failures=$((failures + 1))
  fi
}

# ---- the simulator and the program -----------------------------------------
port=$((20000 + RANDOM % 20000))  # each simulator takes the next port
start_sim() {  # start_sim OPTIONS...: a fresh simulator on a fresh port
  stop_sim
  port=$((port + 1))
  "$build/tools/devicesim/devicesim" --port "$port" "$@" >"$work/sim.log" 2>&1 &
  sim=$!
  wait_for 5 grep -q listening "$work/sim.log"
}
sims=0
stop_sim() {  # keeps the simulator's log beside the pictures
  if [[ -n $sim ]]; then
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    sim=""
    sims=$((sims + 1))
    cp "$work/sim.log" "$out/devicesim-$sims.log"
  fi
}
start_program() {  # a fresh program folder, the simulator's address filled in
  stop_program
  local home=$work/home
  rm -rf "$home"
  mkdir -p "$home"
  cp -r assets/. "$home/"
  cp -r "$build/app/BMP" "$home/"
  printf '[Kestrune]\r\nServer Name=127.0.0.1\r\nServerPort=%s\r\n' "$port" >"$home/Setting.ini"
  KESTRUNE_HOME=$home "$build/app/kestrune" >>"$work/program.log" 2>&1 &
  program=$!
  wait_for 15 login_dialog >/dev/null
}
stop_program() {  # as the desktop ends it: SIGTERM, then the orderly shutdown
  if [[ -n $program ]]; then
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    program=""
  fi
}

# ---- the operator's hands ---------------------------------------------------
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local tries=$(($1 * 10))
  shift
  for _ in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
# The program's top-level windows carry no window manager's frame: their
# positions are those the program gives them.
window_of_size() {  # window_of_size W H: the program's window of that size
  local w
  for w in $(xdotool search --name '^kestrune$' 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    if [[ $WIDTH == "$1" && $HEIGHT == "$2" ]]; then
      echo "$w"
      return 0
    fi
  done
  return 1
}
login_dialog() { window_of_size 304 341; }
message_box() {  # a message box: a small untitled window beside the dialogs
  local w
  for w in $(xdotool search --onlyvisible --name '^kestrune$' 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    if ((WIDTH > 100 && WIDTH < 600 && HEIGHT < 200)); then
      echo "$w"
      return 0
    fi
  done
  return 1
}
named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1 | grep .; }
click_in() {  # click_in WINDOW X Y: a left click at X,Y inside the window
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + $2)) $((Y + $3)) click 1
}
type_text() { xdotool type --delay 25 "$1"; }
dismiss_boxes() {
  local box
  while box=$(message_box); do
    xdotool windowfocus "$box" 2>/dev/null || true
    xdotool key Return
    sleep 0.5
  done
}
shot() {  # shot NAME: the whole screen
  import -window root "$out/$1.png"
  echo "picture $1.png"
}
sim_logged() { grep -q -- "$1" "$work/sim.log"; }
sim_count() { grep -c -- "$1" "$work/sim.log" || true; }
sim_count_at_least() { test "$(sim_count "$1")" -ge "$2"; }
logins_are() { test "$(sim_count 'login of')" -eq "$1"; }
# Stream requests as they arrive (the log's line for a stream's end repeats the request).
streams_at_least() { test "$(grep 'GET /Getvideo.cgi' "$work/sim.log" | grep -vc '(stream ended)')" -ge "$1"; }

log_in() {  # types the password into the login dialog and presses OK
  local dialog
  dialog=$(login_dialog)
  click_in "$dialog" 190 149
  type_text tresk
  click_in "$dialog" 65 290
  wait_for 15 named '^Kestrune : ' >/dev/null
  wait_for 10 sim_logged 'GET /Getvideo.cgi'
  sleep 2.5  # a full rate period on the status line
}
main_window() { named '^Kestrune : '; }
sheet_open() { named "^System setting$" >/dev/null; }

# Positions inside the main window (370 × 366 at half size). The command bar
# sits at the right end of the second row; a multi-channel recorder's channel
# bar takes the row's left part.
gear=(349 47)
full_screen=(334 14)
link_multich=(192 47)
link_plain=(218 47)
channel3=(148 45)
channel_page=(173 44)
channel5=(80 45)
channel_page_back=(13 44)
# The camera toolbar stands left of the main window.
zoom_quarter=(-22 59)
# Inside the sheet (624 × 494).
tree_general=(53 197)
tree_account=(74 210)
tree_mail=(63 42)
mail_add=(549 239)
max_users=(286 192)
title_edit=(367 184)
apply=(563 477)
add_user=(575 55)
user_name=(317 229)

# ---- 1. Q9C0: the camera toolbar ---------------------------------------------
start_sim --product Q9C0
start_program
log_in
shot 01-q9c0-live
main=$(main_window)
click_in "$main" "${zoom_quarter[@]}"
check q9c0-toolbar "a zoom button sends /OV9653Zoom.cgi" wait_for 5 sim_logged 'GET /OV9653Zoom.cgi'
sleep 1
shot 02-q9c0-zoom-pressed
stop_program

# ---- 2. Q3A2: the live picture -----------------------------------------------
start_sim --product Q3A2
start_program
log_in
shot 03-q3a2-live
stop_program

# ---- 3. Q8A7 with 16 channels: channel bar, full screen, reconnect ----------
start_sim --product Q8A7 --multich
start_program
log_in
shot 04-q8a7-multich-live
main=$(main_window)
click_in "$main" "${channel3[@]}"
check channel-bar "channel 3 pressed sends /SetChannel.cgi CH=3" \
  wait_for 5 sim_logged 'GET /SetChannel.cgi?.*CH=3'
sleep 2
shot 05-q8a7-channel3
# The next page of channels, and channel 5 on it.
click_in "$main" "${channel_page[@]}"
sleep 1
click_in "$main" "${channel5[@]}"
check channel-page "channel 5 on the next page sends /SetChannel.cgi CH=5" \
  wait_for 5 sim_logged 'GET /SetChannel.cgi?.*CH=5'
sleep 2
shot 05b-q8a7-channel5
click_in "$main" "${channel_page_back[@]}"
sleep 1
click_in "$main" "${channel3[@]}"
wait_for 5 sim_count_at_least 'GET /SetChannel.cgi?.*CH=3' 2 || true
sleep 1
click_in "$main" "${full_screen[@]}"
sleep 2
shot 06-full-screen
xdotool key Escape
sleep 1.5
shot 07-full-screen-left
logins=$(sim_count 'login of')
click_in "$main" "${link_multich[@]}"
sleep 2
shot 08-disconnected
click_in "$main" "${link_multich[@]}"
check reconnect "the second press logs in once more" wait_for 10 logins_are $((logins + 1))
# The stream starts a short wait after the login; a rate period later the
# status line gives the new stream's rate.
check restream "the stream starts again" wait_for 10 streams_at_least 2
sleep 2.5
shot 09-reconnected
check reconnect-once "one login for one press" logins_are $((logins + 1))
stop_program

# ---- 4. Q8A7 refusing SECURE and SYSTEM: APPLY after a refused send -----------
start_sim --product Q8A7 --refuse-sections SECURE,SYSTEM
start_program
log_in
main=$(main_window)
click_in "$main" "${gear[@]}"
wait_for 10 named '^System setting$' >/dev/null
sheet=$(named '^System setting$')
click_in "$sheet" "${tree_account[@]}"
sleep 1
click_in "$sheet" "${max_users[@]}"
xdotool key ctrl+a
type_text 3
click_in "$sheet" "${apply[@]}"
wait_for 10 message_box >/dev/null || true
shot 10-apply-refused
dismiss_boxes
click_in "$sheet" "${apply[@]}"
wait_for 10 message_box >/dev/null || true
shot 11-apply-again-refused
dismiss_boxes
check refused-apply "a second APPLY sends the refused change again" \
  test "$(sim_count 'refused to store section "SECURE"')" -eq 2
check sheet-open "the sheet stays open after a refused send" sheet_open
# Back to the device's value: nothing to send for SECURE.
click_in "$sheet" "${max_users[@]}"
xdotool key ctrl+a
type_text 5
click_in "$sheet" "${tree_general[@]}"
sleep 1
click_in "$sheet" "${title_edit[@]}"
xdotool key ctrl+a
type_text Lobby
click_in "$sheet" "${apply[@]}"
wait_for 10 message_box >/dev/null || true
shot 12-title-refused
dismiss_boxes
check title-refused "the refused title is sent and not shown as the window's" \
  sim_logged 'refused to store section "SYSTEM"'
sleep 1
shot 13-title-kept-after-refusal

# ---- 5. A non-ASCII name in a byte field ---------------------------------------
click_in "$sheet" "${title_edit[@]}"
xdotool key ctrl+a
type_text 'Lobbyéééééé'
sleep 0.5
shot 14-title-bytes
# A recipient whose stored form does not fit the mail section: refused with a message.
click_in "$sheet" "${tree_mail[@]}"
sleep 1
click_in "$sheet" "${mail_add[@]}"
wait_for 10 named '^Mail Account Edit$' >/dev/null
type_text 'éééééééééééééééééééééééééééééééé@example.net'
xdotool key Return
check mail-refused "a recipient too long in bytes is refused with a message" wait_for 10 message_box
shot 15-mail-address-refused
dismiss_boxes
click_in "$sheet" "${tree_account[@]}"
sleep 1
click_in "$sheet" "${add_user[@]}"
sleep 1
click_in "$sheet" "${user_name[@]}"
type_text 'éééééééééééééééééééé'
sleep 0.5
shot 16-user-name-bytes
stop_program

# ---- 6. A packed firmware file with a record of type 7, new protocol -------------
"$build/tools/devicesim/fwgen" packed "$work/fw7.bin" --types 1,0,4,7 --size 40000 \
  >"$out/fwgen.log"
start_sim --product Q3A2
start_program
dialog=$(login_dialog)
click_in "$dialog" 190 149
type_text tresk
click_in "$dialog" 247 66
wait_for 10 named '^Upgrade Firware$' >/dev/null
upgrade=$(named '^Upgrade Firware$')
click_in "$upgrade" 303 53
wait_for 10 named '^Open$' >/dev/null
type_text "$work/fw7.bin"
xdotool key Return
sleep 1
shot 17-firmware-chosen
click_in "$upgrade" 113 117
check firmware-type7 "the type 7 record goes out as the unit before it, with the reboot flag" \
  wait_for 20 sim_logged 'Type=2&REBOOT=1'
wait_for 10 message_box >/dev/null || true
shot 18-firmware-uploaded
grep -E 'UpgradeFW2|firmware unit' "$work/sim.log" >"$out/firmware-units.log" || true
dismiss_boxes
stop_program
stop_sim

# ---- 7. Thirty presses of the connect button, 80 ms apart ------------------------
start_sim --product Q8A7
start_program
log_in
main=$(main_window)
eval "$(xdotool getwindowgeometry --shell "$main")"
logins=$(sim_count 'login of')
xdotool mousemove $((X + link_plain[0])) $((Y + link_plain[1]))
xdotool click --repeat 30 --delay 80 1
check press-storm-logins "30 presses (15 connects) give at most 15 logins" \
  test $(($(sim_count 'login of') - logins)) -le 15
# The last press connects: one stream more, then a rate period.
wait_for 15 streams_at_least 2 || true
sleep 5
shot 19-after-30-presses
# A moving picture: the picture area differs a second later.
picture_area=360x230+$((X + 5))+$((Y + 85))
convert "$out/19-after-30-presses.png" -crop "$picture_area" +repage "$work/first.png"
sleep 1
import -window root "$work/later.png"
convert "$work/later.png" -crop "$picture_area" +repage "$work/later.png"
picture_moves() { test "$(compare -metric AE "$work/first.png" "$work/later.png" null: 2>&1 || true)" != 0; }
check press-storm-picture "connected with a moving picture after the presses" picture_moves
echo "figure: logins for 30 presses: $(($(sim_count 'login of') - logins))" | tee -a "$out/results.txt"
stop_program

# ---- 8. SIGTERM while the device holds the main window's opening read -------------
start_sim --product Q8A7 --stall-sections INF
start_program
home=$work/home
dialog=$(login_dialog)
click_in "$dialog" 190 149
type_text tresk
click_in "$dialog" 65 290
wait_for 10 sim_logged 'holding the read unanswered'
sleep 1
shot 20-opening-read-held
started=$(date +%s%N)
kill -TERM "$program"
wait "$program" || true
ended=$(date +%s%N)
program=""
took=$(((ended - started) / 1000000))
echo "figure: SIGTERM to the end of the process: $took ms" | tee -a "$out/results.txt"
check sigterm-bound "SIGTERM ends the program within 3 s" test "$took" -le 3000
check sigterm-saved "the settings are saved" grep -q 'Record Path=' "$home/Setting.ini"

# ---- 9. The display server goes while the picture runs --------------------------
start_sim --product Q8A7
start_program
log_in
shot 21-before-the-display-goes
home=$work/home
kill "$xvfb"
wait "$xvfb" 2>/dev/null || true
status=0
wait "$program" || status=$?
program=""
echo "figure: exit status after the display server went: $status" | tee -a "$out/results.txt"
check display-lost "the program ends with exit status 1 and the settings saved" \
  grep -q 'exit(1) while the program ran: settings saved' "$home/trace.log"
stop_sim

cp "$work/program.log" "$out/program.log"
echo "tour: pictures and results in $out"
if ((failures > 0)); then
  echo "tour: $failures check(s) failed" >&2
  exit 1
fi
