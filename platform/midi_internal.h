// midi_internal.h: how received bytes become queued notes; for the tests.
#ifndef PLINKAR_PLATFORM_MIDI_INTERNAL_H
#define PLINKAR_PLATFORM_MIDI_INTERNAL_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/midi.h"

// One writer thread and one reader thread, no lock: each index is stored by
// one side only. A full queue drops the new note and counts it.
struct MidiQueue {
  static constexpr uint32_t kSize = 1024;  // a power of two
  MidiNote notes[kSize];
  std::atomic<uint32_t> written{0};
  std::atomic<uint32_t> read{0};
  std::atomic<unsigned long> dropped{0};
};

bool midiQueuePush(MidiQueue* queue, MidiNote note);
bool midiQueuePop(MidiQueue* queue, MidiNote* note);

// The byte stream of one source: the running status carries over from one
// message to the next, also across deliveries.
struct MidiParser {
  uint8_t status = 0;  // 0: none in force
  uint8_t data[2] = {0, 0};
  int have = 0;  // data bytes of the current message so far
  bool inSysex = false;
};

// Queues every note-on and note-off in bytes (a note-off, or a note-on of
// velocity 0, with velocity 0); everything else is read past.
void midiParse(MidiParser* parser, const uint8_t* bytes, size_t count, MidiQueue* queue);

#endif  // PLINKAR_PLATFORM_MIDI_INTERNAL_H
