// midi_keys.h: a MIDI keyboard plays the piano and the drum kit by way of
// their computer keys, so that a note and its key never behave differently.
#ifndef PLINKAR_INSTRUMENTS_MIDI_KEYS_H
#define PLINKAR_INSTRUMENTS_MIDI_KEYS_H

#include "platform/midi.h"

// The computer key a note stands for: a character key for the piano (notes
// 60 to 88 on any channel but 10), a GLUT special key for the drum kit
// (General MIDI percussion on channel 10).
struct MidiKey {
  enum Kind { NoKey, Character, Special } kind;
  int key;
};
MidiKey midiKeyFor(const MidiNote& note);

// What the key does when pressed (note-on) or released (note-off), on the
// player's thread. With more than one voice the velocity sets the sound's
// level, 127 the level of a key.
void playMidiNote(const MidiNote& note);

#endif  // PLINKAR_INSTRUMENTS_MIDI_KEYS_H
