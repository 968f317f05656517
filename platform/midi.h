// midi.h: notes from a MIDI keyboard, through one input port "Plinkar" on the
// ALSA sequencer or a JACK server; on Windows, where WinMM has no port of the
// player's own, from an input device opened directly.
//
// Events are handed over on the thread that receives them (JACK's real-time
// thread, or RtMidi's, which on Windows is WinMM's), so a note's sound need
// not wait for anything; the handler must not block. A MidiQueue carries
// them on to the player's thread.
#ifndef PLINKAR_PLATFORM_MIDI_H
#define PLINKAR_PLATFORM_MIDI_H

#include <cstdint>
#include <cstdio>

struct MidiEvent {
  enum Kind : uint8_t { NoteOn, NoteOff, Pedal } kind;
  uint8_t channel;  // 0 to 15; the percussion channel 10 is 9
  uint8_t note;     // NoteOn, NoteOff
  uint8_t value;    // NoteOn: velocity, 1 to 127; Pedal: 0 to 127, down from 64
};

typedef void (*MidiHandler)(const MidiEvent& event);

// Opens the port on the ALSA sequencer, else on a running JACK server (never
// starting one). With a non-empty connectTo, on the first of them with a
// source port whose name contains it, and connects that port to it. False,
// after one line on standard error, when there is no MIDI system; also one
// line when no source matches (the port is then opened unconnected).
//
// Then keeps watching, once a second on a thread of its own: when the MIDI
// system goes away it says so and opens the port again once one is back;
// a connectTo source that appears later, or comes back, is connected. Each
// such change is one line on standard error.
//
// On Windows the input is a device: the first whose name contains connectTo,
// or the first there is when connectTo is empty. False, after one line, when
// none opens: there is no device, none has that name (one that appears later
// is opened) or another program has it. A device that goes away is said, and
// one opened again once it is back.
bool midiOpen(const char* connectTo, MidiHandler handler);

// Stops watching and closes the port. Runs at exit.
void midiClose();

// Prints the source ports of every MIDI system there is, one a line
// ("ALSA: name", "JACK: name"; on Windows the devices, "WinMM: name"). False,
// after one line on standard error, when there is no MIDI system.
bool midiListSources(FILE* out);

#endif  // PLINKAR_PLATFORM_MIDI_H
