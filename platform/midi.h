// midi.h: notes from a MIDI keyboard, through one input port "Plinkar" on the
// ALSA sequencer or a JACK server (RtMidi). Linux only.
//
// Notes arrive on RtMidi's thread and wait in a bounded queue until the
// player's own thread takes them, so the application state keeps one thread.
#ifndef PLINKAR_PLATFORM_MIDI_H
#define PLINKAR_PLATFORM_MIDI_H

#include <cstdint>
#include <cstdio>

// A note-on or note-off as received; a note-off has velocity 0.
struct MidiNote {
  uint8_t channel;  // 0 to 15; the percussion channel 10 is 9
  uint8_t note;
  uint8_t velocity;
};

// Opens the port on the ALSA sequencer, else on a running JACK server (never
// starting one). With a non-empty connectTo, on the first of them with a
// source port whose name contains it, and connects that port to it. False,
// after one line on standard error, when there is no MIDI system; also one
// line when no source matches (the port is then opened unconnected).
bool midiOpen(const char* connectTo);

// Closes the port; notes still queued are dropped. Runs at exit.
void midiClose();

// Prints the source ports of every MIDI system there is, one a line
// ("ALSA: name", "JACK: name"). False, after one line on standard error,
// when there is no MIDI system.
bool midiListSources(FILE* out);

// Takes the oldest note received; false when none is waiting.
bool midiNextNote(MidiNote* note);

// Notes lost because the queue was full.
unsigned long midiDroppedNotes();

#endif  // PLINKAR_PLATFORM_MIDI_H
