#!/usr/bin/env bash
# Remakes wav/ from General MIDI notes: writes one small MIDI file per sound,
# renders it with fluidsynth and the FluidR3 GM soundfont, then trims, fades
# and scales it with sox. The same inputs give the same bytes on every run.
#   tools/make_sounds.sh [OUTDIR]     OUTDIR defaults to the repository's wav/
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/wav}
"$root/scripts/setup.sh" generators

sf2=/usr/share/sounds/sf2/FluidR3_GM.sf2
rate=44100
# One gain (dB) per instrument set keeps the notes' relative loudness.
piano_gain=25
drum_gain=20
gita_gain=13

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- A tiny format-0 MIDI writer. 480 ticks a quarter at 480000 us a quarter
# make one tick one millisecond.
midi_begin() {
  mid_hex="00 ff 51 03 07 53 00"  # tempo 480000 us a quarter
  mid_last=0
}

# midi_at MS BYTE...: appends an event MS milliseconds from the start; events
# come in time order. Bytes are numbers in bash syntax (0x90, 60).
midi_at() {
  local ms=$1 delta vlq b
  shift
  delta=$((ms - mid_last))
  mid_last=$ms
  vlq=$(printf '%02x' $((delta & 0x7f)))
  delta=$((delta >> 7))
  while ((delta)); do
    vlq="$(printf '%02x' $(((delta & 0x7f) | 0x80))) $vlq"
    delta=$((delta >> 7))
  done
  mid_hex+=" $vlq"
  for b in "$@"; do mid_hex+=" $(printf '%02x' $((b)))"; done
}

# hex_bytes "4d 54 ...": writes the bytes to stdout (bash's printf passes NULs).
hex_bytes() {
  local h f=""
  for h in $1; do f+="\\x$h"; done
  printf '%b' "$f"
}

# midi_end MS FILE: ends the track at MS and writes the file.
midi_end() {
  midi_at "$1" 0xff 0x2f 0
  local n
  n=$(wc -w <<<"$mid_hex")
  {
    hex_bytes "4d 54 68 64 00 00 00 06 00 00 00 01 01 e0 4d 54 72 6b"
    hex_bytes "$(printf '%02x %02x %02x %02x' $((n >> 24 & 255)) $((n >> 16 & 255)) \
      $((n >> 8 & 255)) $((n & 255)))"
    hex_bytes "$mid_hex"
  } >"$2"
}

# render MIDI WAV GAIN_DB SECONDS FADE_SECONDS: fluidsynth renders to float
# without reverb and chorus (stereo, as the soundfont's piano is sampled);
# sox scales, drops the silent head so the attack starts at once, cuts to
# length and fades the tail. -R makes sox's dither repeatable.
render() {
  local mid=$1 wav=$2 gain=$3 len=$4 fade=$5 log
  fluidsynth -ni -q -R 0 -C 0 -r "$rate" -O float -T raw -F "$work/render.raw" "$sf2" "$mid" \
    >/dev/null
  log=$(sox -R -t f32 -r "$rate" -c 2 "$work/render.raw" -b 16 -e signed-integer "$wav" \
    gain "$gain" silence 1 1s -60d trim 0 "$len" fade t 0 "$len" "$fade" 2>&1)
  if [[ -n "$log" ]]; then
    echo "make_sounds: $wav: $log" >&2
    exit 1
  fi
}

mkdir -p "$out/piano" "$out/drum" "$out/gita"

# --- Piano: acoustic grand (program 0), held 1.25 s, damped, cut at 1.5 s.
piano=(do:60 re:62 me:64 pa:65 sol:67 ra:69 si:71 ddo:72 mi:76)
for entry in "${piano[@]}"; do
  IFS=: read -r name note <<<"$entry"
  midi_begin
  midi_at 0 0xc0 0
  midi_at 0 0x90 "$note" 100
  midi_at 1250 0x80 "$note" 0
  midi_end 2500 "$work/$name.mid"
  render "$work/$name.mid" "$out/piano/$name.wav" "$piano_gain" 1.5 0.15
done

# --- Drums: channel 10 with GM drum notes (low-mid tom, snare, bass drum,
# closed hi-hat, crash), each cut where its sound has died down. The hi-hat is
# hit hardest, as it is the kit's quietest sample. Fields: name, note,
# velocity, seconds.
drums=(drum:47:100:1.0 snare:38:100:0.8 base:36:100:0.8 hat:42:127:0.6 sim:49:100:2.5)
for entry in "${drums[@]}"; do
  IFS=: read -r name note vel len <<<"$entry"
  midi_begin
  midi_at 0 0x99 "$note" "$vel"
  midi_at 200 0x89 "$note" 0
  midi_end 3500 "$work/$name.mid"
  render "$work/$name.mid" "$out/drum/$name.wav" "$drum_gain" "$len" 0.2
done

# --- Guitar: steel-string acoustic (program 25), open chords strummed down
# from the lowest sounding string, 15 ms apart, held 1.8 s, cut at 2 s. Notes
# go from the low E string to the high one, x for a string not played. The
# treble strings sound weaker than the bass in this soundfont and the bass
# strings' overtones would drown them, so the velocity rises across the strum.
string_velocity=(50 64 80 100 120 127)
chords=(
  "Am:x 45 52 57 60 64"
  "C:x 48 52 55 60 64"
  "D:x x 50 57 62 66"
  "E6:40 47 52 56 61 64"
  "F:41 48 53 57 60 65"
  "G7:43 47 50 55 59 65"
)
for entry in "${chords[@]}"; do
  name=${entry%%:*}
  read -ra notes <<<"${entry#*:}"
  midi_begin
  midi_at 0 0xc0 25
  t=0
  for s in "${!notes[@]}"; do
    [[ ${notes[s]} == x ]] && continue
    midi_at "$t" 0x90 "${notes[s]}" "${string_velocity[s]}"
    t=$((t + 15))
  done
  for n in "${notes[@]}"; do
    [[ $n == x ]] || midi_at 1800 0x80 "$n" 0
  done
  midi_end 3000 "$work/$name.mid"
  render "$work/$name.mid" "$out/gita/통기타$name.wav" "$gita_gain" 2.0 0.2
done
