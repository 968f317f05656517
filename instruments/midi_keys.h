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
MidiKey midiKeyFor(const MidiEvent& event);

// The other way: the note a piano key (a character) stands for, and the first
// General MIDI note of a drum key (a GLUT special key). False for other keys.
bool midiNoteForPianoKey(unsigned char key, uint8_t* note);
bool midiNoteForDrumKey(int key, uint8_t* note);

// On the thread that received the event (MIDI input, or a song's): starts or
// damps the key's sound at once (with more than one voice the velocity sets
// its level, 127 the level of a key), follows the sustain pedal, and queues
// the event for the player's thread. Drum notes ignore note-offs, as General
// MIDI has it. Never blocks; safe from several threads at once.
void hearMidiEvent(const MidiEvent& event);

// On the player's thread: what the queued events' keys do when pressed or
// released (key tilt, stick, timers), without their sound, which has started.
// Also tells the MIDI thread which instruments are shown.
void showMidiEvents();

// Has showMidiEvents hand every event it takes, with the steady_clock time
// (ns) it came at, to heard (null: none), before its key acts.
void onMidiShown(void (*heard)(const MidiEvent& event, long long nanos));

#endif  // PLINKAR_INSTRUMENTS_MIDI_KEYS_H
