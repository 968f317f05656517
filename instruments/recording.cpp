#include "instruments/recording.h"

#include "app/app_state.h"
#include "instruments/instruments.h"
#include "instruments/midi_keys.h"

namespace {

constexpr uint8_t kChordChannel = 2;  // channel 3, counted from 1

// Guitar voicings of the chords, low string first, in chordHeld order.
const uint8_t kChordNotes[6][6] = {
    {45, 52, 57, 60, 64, 0},  {48, 52, 55, 60, 64, 0},  {50, 57, 62, 66, 0, 0},
    {40, 47, 52, 56, 61, 64}, {41, 48, 53, 57, 60, 65}, {43, 47, 50, 55, 59, 65},
};

std::vector<SongEvent> g_events;

void keep(long long nanos, uint8_t status, uint8_t note, uint8_t velocity) {
  g_events.push_back(SongEvent{nanos, {status, note, velocity}, 3});
}

}  // namespace

void recordKey(int key, bool special, bool down) {
  const long long nanos = songClockNanos();
  const AppState& s = appState;
  if (special) {
    uint8_t note = 0;
    if (down && s.shown[Drum] == 1 && midiNoteForDrumKey(key, &note)) keep(nanos, 0x99, note, 127);
    return;
  }
  uint8_t note = 0;
  if (s.shown[Piano] == 1 && midiNoteForPianoKey(static_cast<unsigned char>(key), &note))
    keep(nanos, down ? 0x90 : 0x80, note, down ? 127 : 0);
  const int chord = guitarChord(static_cast<unsigned char>(key));
  if (chord < 0 || s.shown[Guitar] != 1) return;
  for (uint8_t n : kChordNotes[chord])
    if (n != 0) keep(nanos, (down ? 0x90 : 0x80) | kChordChannel, n, down ? 127 : 0);
}

void recordMidiEvent(const MidiEvent& event, long long nanos) {
  if (event.kind == MidiEvent::Pedal)
    keep(nanos, 0xB0 | event.channel, 64, event.value);
  else if (event.kind == MidiEvent::NoteOn)
    keep(nanos, 0x90 | event.channel, event.note, event.value);
  else
    keep(nanos, 0x80 | event.channel, event.note, 0);
}

std::vector<SongEvent> recordedEvents() {
  std::vector<SongEvent> events = g_events;
  for (SongEvent& event : events) event.nanos -= g_events.front().nanos;
  return events;
}
