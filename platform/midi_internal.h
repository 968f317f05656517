// midi_internal.h: how received bytes become events; for the tests.
#ifndef PLINKAR_PLATFORM_MIDI_INTERNAL_H
#define PLINKAR_PLATFORM_MIDI_INTERNAL_H

#include <cstddef>
#include <cstdint>

#include "platform/midi.h"

// The byte stream of one source: the running status carries over from one
// message to the next, also across deliveries.
struct MidiParser {
  uint8_t status = 0;  // 0: none in force
  uint8_t data[2] = {0, 0};
  int have = 0;  // data bytes of the current message so far
  bool inSysex = false;
};

// The data bytes after a channel message's status byte: one for a program
// change or channel pressure, two for the rest.
inline int midiDataBytes(uint8_t status) {
  const uint8_t kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Hands every note-on, note-off (also a note-on of velocity 0) and sustain
// pedal change in bytes to deliver; everything else is read past.
void midiParse(MidiParser* parser, const uint8_t* bytes, size_t count,
               void (*deliver)(const MidiEvent& event, void* context), void* context);

#endif  // PLINKAR_PLATFORM_MIDI_INTERNAL_H
