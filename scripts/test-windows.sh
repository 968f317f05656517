#!/usr/bin/env bash
# Runs the Windows program from build-win/plinkar-windows.zip under Wine on a
# private Xvfb and drives it with real clicks and key presses (xdotool):
# the shell window opens first and shows the backdrop, Help > About opens the
# About box and OK, Enter and Escape close it, the player window draws the
# piano and a key press moves a key, a guitar chord shows its marker, File >
# Exit closes the shell window. Started from another folder, choosing Piano
# shows the model library's failure in a message box, then ends with status 1.
# Wine plays into a null sink of a private PulseAudio server, whose monitor is
# recorded while z and 1 are pressed: the piano's C4 and the Am chord must be
# heard (tests/windows/heard_check.cpp, built for the host).
# Also checks that the guitar's code-page-949 file names reach the files,
# unpacked by Python's zipfile (UTF-8 names only where the zip flags them);
# the exe's stripping, version information and manifest; the licence,
# notices and readme; and the installer: a silent install into a chosen
# folder with its shortcut and uninstall entry, the installed program
# playing C4 from another folder, and a silent uninstall that leaves nothing.
# Run scripts/build-windows.sh first. Exits non-zero when a check fails.
# PLINKAR_WINE_DISPLAY=N puts the private Xvfb on :N instead of the first free
# display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
zip=$root/build-win/plinkar-windows.zip
names_test=$root/build-win/plinkar/sound_names_test.exe
read_compare=$root/build-win/plinkar/read_compare.exe
exe_resources=$root/build-win/plinkar/exe_resources.exe
installer=$(ls "$root"/build-win/plinkar-*-win64.exe 2>/dev/null | head -1)
[[ -f $zip && -f $names_test && -f $read_compare && -f $exe_resources && -n $installer ]] ||
  { echo "test-windows: run scripts/build-windows.sh first"; exit 1; }

now() { date +%s.%N; }
took() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f s", b - a }'; }
start=$(now)

t=$(now)
packages=(wine wine64 xvfb xauth x11-utils xdotool imagemagick python3 pulseaudio pulseaudio-utils g++
          binutils-mingw-w64-x86-64)
"$root/scripts/install-packages.sh" test-windows "${packages[@]}"
echo "test-windows: packages $(took "$t")"

# Screenshots and the program's output stay in build-win/test-windows.
shots=$root/build-win/test-windows
rm -rf "$shots"
mkdir -p "$shots"
work=$(mktemp -d)
xvfb_pid="" player_pid="" pulse_pid="" recorder_pid=""
cleanup() {
  [[ -n $player_pid ]] && kill "$player_pid" 2>/dev/null || true
  [[ -n $recorder_pid ]] && kill "$recorder_pid" 2>/dev/null || true
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  [[ -n $pulse_pid ]] && kill "$pulse_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of its own, on the first free number unless one is given.
if [[ -n ${PLINKAR_WINE_DISPLAY:-} ]]; then
  echo "$PLINKAR_WINE_DISPLAY" >"$work/display"
  Xvfb ":$PLINKAR_WINE_DISPLAY" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
else
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" \
    >/dev/null 2>&1 &
fi
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || { echo "test-windows: Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -1 "$work/display")
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# A sound server of its own, with one null sink: Wine's PulseAudio driver
# plays into it and its monitor can be recorded.
mkdir -p "$work/pulse"
XDG_RUNTIME_DIR=$work/pulse HOME=$work/pulse pulseaudio -n --daemonize=no --system=no \
  --use-pid-file=no --exit-idle-time=-1 \
  -L "module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" \
  -L "module-null-sink sink_name=plinkar rate=44100" >"$work/pulse.log" 2>&1 &
pulse_pid=$!
export PULSE_SERVER=unix:$work/pulse/native
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 ||
  { echo "test-windows: PulseAudio did not start:"; cat "$work/pulse.log"; exit 1; }
g++ -std=c++17 -O2 -I"$root" -o "$work/heard_check" "$root/tests/windows/heard_check.cpp" \
  "$root/tests/support/wav_read.cpp" "$root/tests/support/files.cpp" "$root/tests/wav/audio_analysis.cpp"

# No Mono or Gecko installs, and no menu entries written into the real home
# for the installer's shortcuts.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The Windows program's SDL must play to Wine's audio, not to the dummy
# driver the Linux tests choose.
unset SDL_AUDIODRIVER
t=$(now)
wineboot -i >"$work/wineboot.log" 2>&1 ||
  { echo "test-windows: wineboot failed:"; cat "$work/wineboot.log"; exit 1; }
echo "test-windows: wine prefix $(took "$t")"

# Unpacked as Python's zipfile unpacks, following the format: a name is
# UTF-8 only where its entry's flag bit 11 says so, else code page 437.
zip_names() {
  python3 -c '
import sys, zipfile
for entry in zipfile.ZipFile(sys.argv[1]).infolist():
    print(entry.flag_bits & 0x800, entry.filename)' "$zip"
}
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$work"
cd "$work/plinkar"

checks=0 failures=0
check() {  # check DESCRIPTION COMMAND...
  checks=$((checks + 1))
  if "${@:2}"; then
    echo "ok - $1"
  else
    echo "FAIL - $1"
    failures=$((failures + 1))
  fi
}

# Waits up to SECONDS for COMMAND to succeed; the program answers slowly
# when the two cores are busy.
within() {
  local deadline
  deadline=$(awk -v a="$(now)" -v s="$1" 'BEGIN { printf "%.3f", a + s }')
  while ! "${@:2}"; do
    awk -v a="$(now)" -v d="$deadline" 'BEGIN { exit !(a > d) }' && return 1
    sleep 0.1
  done
}

visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
shown() { [[ -n $(visible "$1") ]]; }
gone() { [[ -z $(visible "$1") ]]; }

# Red, green and blue of one pixel, 0 to 255, as "r g b".
pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r+.5)] %[fx:int(255*p{$2,$3}.g+.5)] %[fx:int(255*p{$2,$3}.b+.5)]" info:
}
# near FILE X Y R G B: the pixel is within 40 of the colour in every channel.
near() {
  local r g b
  read -r r g b < <(pixel "$1" "$2" "$3")
  awk -v r="$r" -v g="$g" -v b="$b" -v R="$4" -v G="$5" -v B="$6" 'BEGIN {
    d = r - R; e = g - G; f = b - B
    exit !(d * d < 1600 && e * e < 1600 && f * f < 1600) }'
}
# File > Exit in the shell window, which the player window must not cover.
file_exit() {
  xdotool mousemove --window "$shell" 400 300 click 1
  sleep 0.3
  xdotool key alt+f
  sleep 0.5
  xdotool key x
}
# Sets status to the player's exit status once it has ended, within 15 s;
# to "running" when it has not.
wait_for_end() {
  status=running
  within 15 bash -c "! kill -0 $player_pid 2>/dev/null" || return 0
  status=0
  wait "$player_pid" || status=$?
  player_pid=""
}
choose_entry() {  # choose_entry N: the Nth entry (from 0) of the player's right-button menu
  xdotool mousemove --window "$player" 250 420
  sleep 0.3
  xdotool click 3
  sleep 1
  xdotool mousemove --window "$player" 262 $((429 + 26 * $1))
  sleep 0.3
  xdotool click 1
}
# Once the windows are open: the player beside the shell window, the piano
# chosen, and the player given the keys.
piano_out() {
  shell=$(visible '^Plinkar$')
  player=$(visible '^Plinkar player$')
  xdotool windowmove "$player" 770 0
  sleep 1
  choose_entry 0
  sleep 2
  xdotool mousemove --window "$player" 480 480 click 1
}
# Pixels that differ between two pictures of the same size.
changed() { compare -metric AE "$1" "$2" null: 2>&1 || true; }

# What the sink plays, from record_start to record_stop, into
# build-win/test-windows/NAME.wav. Small fragments: by default the server
# hands over 2 s at a time, and what it still holds when parecord stops is lost.
record_start() {  # record_start NAME
  recording=$shots/$1.wav
  parecord --latency-msec=20 --device=plinkar.monitor --format=s16le --rate=44100 --channels=2 \
    --file-format=wav "$recording" &
  recorder_pid=$!
  sleep 0.5
}
# On a busy machine the recording lags behind: it stops only once it holds
# at least SECONDS of sound (or after 20 s).
record_stop() {  # record_stop SECONDS
  local want
  want=$(awk -v s="$1" 'BEGIN { printf "%d", 44 + s * 44100 * 4 }')
  long_enough() { (($(stat -c %s "$recording" 2>/dev/null || echo 0) >= want)); }
  within 20 long_enough || true
  kill -INT "$recorder_pid"
  wait "$recorder_pid" || true
  recorder_pid=""
}
# heard NAME piano|chord: checks the recording, with what was measured.
heard() {
  local said status=0
  said=$("$work/heard_check" "$shots/$1.wav" "$2") || status=$?
  check "$3 ($said)" test "$status" -eq 0
}

check "the zip names the guitar's files in Korean, flagged as UTF-8" \
  grep -qx "2048 plinkar/wav/gita/통기타Am.wav" <(zip_names)
check "guitar file names in code page 949 name the files in wav/gita" \
  wine "$names_test"

# The exe as Windows expects it: no debug sections, version information and
# a manifest that Windows' own calls read.
check "plinkar.exe carries no debug sections" \
  bash -c "! x86_64-w64-mingw32-objdump -h plinkar.exe | grep -q ' \.debug'"
want_version=$(sed -n 's/^project(plinkar .*VERSION \([0-9.]*\)).*/\1/p' "$root/CMakeLists.txt")
resources=$(wine "$exe_resources" plinkar.exe 2>/dev/null | tr -d '\r') || true
check "its version information names the product" grep -qx "ProductName=Plinkar" <<<"$resources"
check "... the version, $want_version" grep -qx "ProductVersion=$want_version" <<<"$resources"
check "... and the copyright" grep -q "^LegalCopyright=Copyright (c) 2026 The Plinkar" <<<"$resources"
check "its manifest asks for per-monitor DPI awareness" grep -q ">PerMonitorV2" <<<"$resources"
check "... and names Windows 10 and 11 as supported" \
  grep -q "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" <<<"$resources"
check "the zip holds the licence" grep -q "^MIT License" LICENSE.txt
for part in freeglut SDL2 RtMidi fast_float "FluidR3"; do
  check "... and the notice of $part" grep -q "^$part\|^The sounds.*$part" NOTICES.txt
done
for menu in "파일 (File)" "끝내기 (Exit)" "도움말 (Help)" "정보... (About...)"; do
  check "the readme explains the menu label $menu" grep -qF "$menu" README.txt
done
# The zip's readme lists the keys of the README's table.
piano_keys=$(sed -n 's/^| `\(z [^`]*\)` | the piano.*/\1/p' "$root/README.md")
last_chord=$(sed -n 's/^| `1` to `\([0-9]\)`[^|]*| guitar chords.*/\1/p' "$root/README.md")
check "the readme's piano keys are $piano_keys" grep -qF "Piano   $piano_keys"$'\r' README.txt
check "the readme's guitar keys are 1 to $last_chord" grep -qF "Guitar  1 to $last_chord"$'\r' README.txt
black_keys=$(sed -n 's/^| `\(q [^`]*\)` | the black keys.*/\1/p' "$root/README.md")
check "the readme's black keys are $black_keys" grep -qF "Black   $black_keys"$'\r' README.txt
colour_keys=$(sed -n 's/^| `\(8\)`, `\(9\)`, `\(0\)`, `\(-\)` | step the colour.*/\1 \2 \3 \4/p' "$root/README.md")
check "the readme's colour keys are $colour_keys" grep -qF "Colour  $colour_keys"$'\r' README.txt

wine plinkar.exe >"$shots/player.log" 2>&1 &
player_pid=$!
check "the shell window and the player window open" within 60 shown '^Plinkar player$'
shell=$(visible '^Plinkar$')
player=$(visible '^Plinkar player$')
[[ -n $shell && -n $player ]] || { echo "test-windows: 0 of $checks checks ran"; exit 1; }

# Window ids are handed out in creation order.
check "the shell window is created before the player window" test "$shell" -lt "$player"
# The first frames: the shell window shows the class background until the
# display callback copies the backdrop.
first_frame() {
  import -window "$shell" "$shots/shell.png"
  near "$shots/shell.png" 600 $(($(identify -format %h "$shots/shell.png") - 310)) 255 220 60
}
within 5 first_frame || true
# The client area is at the bottom, below the menu bar (and inside a frame
# of equal width on three sides where Wine draws one).
width=$(identify -format %w "$shots/shell.png")
height=$(identify -format %h "$shots/shell.png")
frame=$(((width - 800) / 2))
top=$((height - frame - 600))
check "the shell window's client area is the backdrop's 800x600 ($width x $height outside)" \
  test "$frame" -ge 0 -a "$frame" -lt 10 -a "$top" -gt 0
# At first the player window covers the shell window's left part.
check "the backdrop is in the shell window at once: yellow ground" \
  near "$shots/shell.png" $((frame + 600)) $((top + 300)) 255 220 60
check "the backdrop is in the shell window at once: red rule" \
  near "$shots/shell.png" $((frame + 600)) $((top + 140)) 208 20 30

# The player window beside the shell window rather than over it; the next
# frames copy the whole backdrop.
xdotool windowmove "$player" 770 0
sleep 1
import -window "$shell" "$shots/shell_whole.png"
check "the whole backdrop is in the shell window: yellow ground at the left" \
  near "$shots/shell_whole.png" $((frame + 20)) $((top + 300)) 255 220 60
check "the whole backdrop is in the shell window: red rule at the left" \
  near "$shots/shell_whole.png" $((frame + 100)) $((top + 140)) 208 20 30
blue=$(convert "$shots/shell_whole.png" -crop 700x44+$((frame + 40))+$((top + 506)) +repage \
  -fx "b > 0.55 && r < 0.35 && g < 0.5" -format "%[fx:int(mean*w*h+.5)]" info:)
check "the whole backdrop is in the shell window: blue closing line ($blue blue pixels)" \
  test "$blue" -gt 300

open_about() {
  xdotool mousemove --window "$shell" 400 300 click 1
  sleep 0.3
  xdotool key alt+h
  sleep 0.5
  xdotool key a
  within 10 shown '^정보$'
}
# Without a window manager the windows have no captions, so the caption's
# close button is not there to click.
for way in Return Escape OK; do
  if open_about; then
    check "Help > About opens the About box" true
    sleep 0.5
    about=$(visible '^정보$')
    read -r w h < <(xwininfo -id "$about" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
    case $way in
      OK)
        # The button's centre: dialog units 210, 11.5 of 230 x 75.
        xdotool mousemove --window "$about" $((w * 210 / 230)) $((h * 23 / 150)) click 1
        ;;
      *) xdotool key "$way" ;;
    esac
    check "$way closes the About box" within 10 gone '^정보$'
  else
    check "Help > About opens the About box" false
  fi
done
check "the shell window stays open after the About box" shown '^Plinkar$'

# The instrument menu opens at the pointer; under Wine its entries are 16
# pixels apart, the first just below the pointer.
xdotool mousemove --window "$player" 250 420
sleep 0.3
import -window "$player" "$shots/empty.png"
xdotool click 3
sleep 1
xdotool mousemove --window "$player" 262 429
sleep 0.3
xdotool click 1
piano_drawn() {
  import -window "$player" "$shots/piano.png"
  (($(changed "$shots/empty.png" "$shots/piano.png") > 5000))
}
check "choosing Piano draws the piano" within 20 piano_drawn
sleep 1
xdotool mousemove --window "$player" 480 480 click 1
# The first sound opens the device, which can hold up the first frames.
record_start piano_heard
xdotool key z
record_stop 2
heard piano_heard piano "z plays the piano's C4"
import -window "$player" "$shots/rest.png"
# The key is down for 140 ms only; on a busy machine its frame can come
# after the screenshot, so the press is tried again.
moved=0
key_down() {
  xdotool key z
  sleep 0.08
  import -window "$player" "$shots/down.png"
  moved=$(changed "$shots/rest.png" "$shots/down.png")
  ((moved > 20))
}
within 5 key_down || true
check "z moves a piano key ($moved pixels change)" test "$moved" -gt 20
if ((moved > 0)); then
  box=$(convert "$shots/rest.png" "$shots/down.png" -compose difference -composite \
    -colorspace gray -threshold 2% -format %@ info:)
  left=${box#*+}
  left=${left%%+*}
  width=${box%%x*}
  check "the key that moves is at the left of the keyboard (x $left to $((left + width)))" \
    test $((left + width / 2)) -lt 200
fi
key_back() {
  import -window "$player" "$shots/up.png"
  (($(changed "$shots/rest.png" "$shots/up.png") < 10))
}
sleep 0.4
check "the key comes back up" within 3 key_back

# The guitar's chords play files with code-page-949 names; the red marker
# shows while the key is held, and the program carries on.
xdotool mousemove --window "$player" 250 420
sleep 0.3
xdotool click 3
sleep 1
xdotool mousemove --window "$player" 262 461
sleep 0.3
xdotool click 1
sleep 2
xdotool mousemove --window "$player" 480 480 click 1
sleep 0.3
# Turn towards the front guitar, on the right.
for _ in 1 2 3 4 5; do
  xdotool key Right
  sleep 0.1
done
sleep 1
reddish() {
  convert "$1" -fx "r > 0.5 && g < 0.3 && b < 0.3" -format "%[fx:int(mean*w*h+.5)]" info:
}
import -window "$player" "$shots/guitar.png"
record_start chord_heard
xdotool keydown 1
sleep 0.3
import -window "$player" "$shots/chord.png"
xdotool keyup 1
sleep 0.5
import -window "$player" "$shots/chord_released.png"
record_stop 2.5
heard chord_heard chord "1 plays the Am chord"
red_before=$(reddish "$shots/guitar.png")
red_held=$(reddish "$shots/chord.png")
check "holding 1 shows the Am chord's red marker ($red_before, then $red_held red pixels)" \
  test "$red_held" -gt $((red_before + 30))
check "the marker goes with the key" \
  test "$(changed "$shots/guitar.png" "$shots/chord_released.png")" -lt 10
check "the program runs on after the chord" kill -0 "$player_pid"

file_exit
check "File > Exit closes the shell window" within 15 gone '^Plinkar$'
# freeglut ends the program when the quit message reaches its loop.
wait_for_end
check "the program then ends with exit code 0 ($status)" test "$status" = 0

# Started from another folder (a shortcut, a double-click), the program
# reads its data from the folder of its own .exe: choosing Piano draws it.
mkdir -p "$work/away"
(cd "$work/away" && exec wine "$work/plinkar/plinkar.exe") >"$shots/away.log" 2>&1 &
player_pid=$!
if within 60 shown '^Plinkar player$'; then
  player=$(visible '^Plinkar player$')
  sleep 1
  import -window "$player" "$shots/away_empty.png"
  choose_entry 0
  piano_drawn() {
    import -window "$player" "$shots/away_piano.png"
    changed=$(compare -metric AE -fuzz 10% "$shots/away_empty.png" "$shots/away_piano.png" \
      null: 2>&1 || true)
    [[ ${changed%% *} -gt 5000 ]]
  }
  check "started from another folder, choosing Piano draws it" within 15 piano_drawn
  check "... and the program goes on" kill -0 "$player_pid"
else
  check "started from another folder, the program opens its windows" false
fi
kill "$player_pid" 2>/dev/null || true
wait "$player_pid" 2>/dev/null || true
player_pid=""

# Where data/drum.obj is missing, choosing Drum cannot read the model: the
# library's message shows in a box owned by the shell window, and the
# program ends with status 1 once the box is dismissed.
mkdir -p "$work/nodrum/data"
cp plinkar.exe "$work/nodrum/"
cp data/piano.obj data/piano.mtl "$work/nodrum/data/"
(cd "$work/nodrum" && exec wine ./plinkar.exe) >"$shots/nodrum.log" 2>&1 &
player_pid=$!
if within 60 shown '^Plinkar player$'; then
  shell=$(visible '^Plinkar$')
  player=$(visible '^Plinkar player$')
  choose_entry 1
  message_box() { xdotool search --onlyvisible --name '^Plinkar$' 2>/dev/null | grep -vx "$shell"; }
  boxed() { [[ -n $(message_box) ]]; }
  check "choosing Drum without data/drum.obj shows the failure in a message box" within 15 boxed
  check "the program waits while the box is open" kill -0 "$player_pid"
  box=$(message_box | head -1)
  [[ -n $box ]] && import -window "$box" "$shots/fatal.png"
  xdotool key Return
else
  check "started where only the piano's model is, the program opens its windows" false
fi
wait_for_end
check "the program then ends with exit code 1 ($status)" test "$status" = 1

# With no data anywhere, a box says so before any window opens, and the
# program ends with status 1.
mkdir -p "$work/bare"
cp plinkar.exe "$work/bare/"
(cd "$work/bare" && exec wine ./plinkar.exe) >"$shots/bare.log" 2>&1 &
player_pid=$!
check "without data anywhere a box says so" within 60 shown '^Plinkar$'
check "... before the player window opens" gone '^Plinkar player$'
# A box without an owner window is not given the focus without a window manager.
box=$(visible '^Plinkar$')
[[ -n $box ]] && import -window "$box" "$shots/no_data.png"
[[ -n $box ]] && xdotool windowfocus "$box"
xdotool key Return
wait_for_end
check "the program then ends with exit code 1 ($status)" test "$status" = 1

# The command line, as on Linux: what --version prints reaches a pipe, and a
# bad option ends with status 2 and says why.
version=$(wine plinkar.exe --version 2>/dev/null | tr -d '\r')
check "plinkar.exe --version prints \"$version\"" test "$version" = "plinkar $want_version"
status=0
wine plinkar.exe --voices 0 >"$shots/voices0.log" 2>&1 || status=$?
check "--voices 0 ends with status 2 ($status)" test "$status" -eq 2
check "... and says why" grep -q "voices takes a number from 1 to 32, not 0" "$shots/voices0.log"

# The model library spreads a big file over threads there too, with the
# same model as on one thread.
check "a big file read on one thread and on four gives the same model" \
  bash -c "cd '$work' && wine '$read_compare' >'$shots/read_compare.log' 2>&1"

# Four voices: C4 rings on under E4, a black key's cut fades, and what was
# played is written to --record's file when the program ends.
wine plinkar.exe --voices 4 --record "$work/recorded.mid" >"$shots/voices4.log" 2>&1 &
player_pid=$!
if within 60 shown '^Plinkar player$'; then
  piano_out
  record_start both_heard
  xdotool key z
  sleep 0.5
  xdotool key c
  record_stop 2.5
  heard both_heard both "with --voices 4, C4 still rings after E4 starts"
  record_start fade_heard
  xdotool key z
  sleep 0.4
  xdotool key q
  record_stop 2
  heard fade_heard fade "with --voices 4, a black key's cut fades out"
  check "without MIDI devices the program says there is no MIDI input" \
    grep -q "no MIDI input" "$shots/voices4.log"
  file_exit
else
  check "with --voices 4 the program opens its windows" false
fi
wait_for_end
check "File > Exit then ends it with status 0 ($status)" test "$status" = 0
# z's note-on and note-off on channel 1, as the Linux program writes them.
notes=$(od -An -tx1 -v "$work/recorded.mid" 2>/dev/null | tr -d ' \n') || true
check "--record wrote a MIDI file" test "${notes:0:8}" = 4d546864
check "... holding z's C4, pressed and let go" grep -q "903c7f.*803c" <<<"$notes"

# --play: C4, E4 and G4 at 2, 3 and 4 s (120 beats a minute, 480 ticks a
# beat), heard a second apart.
printf '%b' '\x4d\x54\x68\x64\x00\x00\x00\x06\x00\x00\x00\x01\x01\xe0' \
  '\x4d\x54\x72\x6b\x00\x00\x00\x20' \
  '\x8f\x00\x90\x3c\x64' '\x87\x40\x90\x40\x64' '\x87\x40\x90\x43\x64' \
  '\x87\x40\x80\x3c\x00' '\x00\x80\x40\x00' '\x00\x80\x43\x00' '\x00\xff\x2f\x00' \
  >"$work/scale.mid"
wine plinkar.exe --voices 4 --play "$work/scale.mid" >"$shots/play.log" 2>&1 &
player_pid=$!
if within 60 shown '^Plinkar player$'; then
  record_start song_heard
  record_stop 6
  heard song_heard song "--play plays the song's notes at their times"
else
  check "with --play the program opens its windows" false
fi
kill "$player_pid" 2>/dev/null || true
wait "$player_pid" 2>/dev/null || true
player_pid=""

# The installer, silently into a folder of our choosing: the program with
# its data, a Start-menu shortcut and an uninstall entry. The installed
# program, started from another folder, plays the piano; the silent
# uninstall then takes all of it away.
target='C:\Apps\Plinkar'
installed=$WINEPREFIX/drive_c/Apps/Plinkar
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Plinkar'
registered() {  # the uninstall entry, in the 64-bit or the 32-bit registry view
  wine reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1 ||
    wine reg query "${uninstall_key/Software/Software\\Wow6432Node}" /v UninstallString \
      >/dev/null 2>&1
}
shortcuts() { find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'Plinkar.lnk' 2>/dev/null; }
status=0
wine "$installer" /S "/D=$target" >"$shots/install.log" 2>&1 || status=$?
check "the silent install ends with status 0 ($status)" test "$status" = 0
check "... with plinkar.exe in the chosen folder" test -f "$installed/plinkar.exe"
check "... the guitar's sounds under their Korean names" test -f "$installed/wav/gita/통기타Am.wav"
check "... the licence and the notices" test -f "$installed/LICENSE.txt" -a -f "$installed/NOTICES.txt"
check "... a Start-menu shortcut" test -n "$(shortcuts)"
check "... and an uninstall entry" registered
mkdir -p "$work/elsewhere"
(cd "$work/elsewhere" && exec wine "$target\plinkar.exe") >"$shots/installed.log" 2>&1 &
player_pid=$!
if within 60 shown '^Plinkar player$'; then
  piano_out
  record_start installed_heard
  xdotool key z
  record_stop 2
  heard installed_heard piano "the installed program, started from another folder, plays C4"
  file_exit
  wait_for_end
else
  check "the installed program opens its windows" false
fi
kill "$player_pid" 2>/dev/null || true
player_pid=""
# The uninstaller runs on from a copy of itself and returns at once.
wine "$target\Uninstall.exe" /S >"$shots/uninstall.log" 2>&1 || true
check "the silent uninstall removes the program's folder" within 30 test ! -e "$installed"
check "... the Start-menu shortcut" test -z "$(shortcuts)"
unregistered() { ! registered; }
check "... and the uninstall entry" unregistered

echo "test-windows: $((checks - failures)) of $checks checks passed in $(took "$start")"
((failures == 0))
