#!/usr/bin/env bash
# Plays the real player on a private X server and saves the pictures in docs/:
# the start view with all three instruments, each guitar copy, a chord held
# and a drum hit. Needs a built build/plinkar, Xvfb, xdotool and ImageMagick.
#   tools/take_screenshots.sh [OUTDIR]     OUTDIR defaults to docs/
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/docs}
mkdir -p "$out"
work=$(mktemp -d)
export DISPLAY=:${SCREENSHOT_DISPLAY:-97}
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill $player $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
player=
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

cd "$root"
SDL_AUDIODRIVER=dummy build/plinkar >/dev/null 2>&1 &
player=$!
win=$(xdotool search --sync --name '^Plinkar player$' | head -1)
xdotool windowmove "$win" 0 0
sleep 0.5

x() { xdotool "$@" 2>/dev/null; }
# freeglut opens a menu at the pointer, one entry per 26 pixels.
menu() {
  x mousemove --window "$win" 250 420 click 3
  sleep 0.4
  x mousemove --window "$win" 262 $((433 + 26 * $1)) click 1
  sleep 0.8
}
keys() { for _ in $(seq "$2"); do x key --window "$win" "$1"; done; sleep 0.3; }
shot() { import -window "$win" "$work/$1.png"; }

menu 0; menu 1; menu 2                  # piano, drum kit, guitar
shot start
keys Right 6                            # towards the front guitar copy
shot front
x keydown --window "$win" 1; sleep 0.3  # Am held: the marker shows
shot chord
x keyup --window "$win" 1
keys Left 12                            # the back guitar copy
shot back
menu 0; menu 2                          # the drum kit alone
keys Right 6
x mousemove --window "$win" 250 400 mousedown 1
x mousemove --window "$win" 250 300; x mousemove --window "$win" 250 200
x mouseup 1                             # the scene tilted 40 degrees
keys Up 14
shot drums
x key --window "$win" Insert            # the tom, within the 140 ms
shot tom

cp "$work/start.png" "$out/start_view.png"
convert "$work/chord.png" "$work/tom.png" +append "$out/playing.png"
convert "$work/front.png" "$work/back.png" "$work/drums.png" +append -resize 60% \
  "$out/views.png"
echo "screenshots: $out/start_view.png $out/playing.png $out/views.png"
