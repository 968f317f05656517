// MIDI bytes as RtMidi delivers them read into notes, and the queue they go through.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/midi_internal.h"

namespace {

// Empties the queue: "channel:note:velocity " per note.
std::string drain(MidiQueue* queue) {
  std::string out;
  MidiNote n;
  while (midiQueuePop(queue, &n))
    out += std::to_string(n.channel) + ":" + std::to_string(n.note) + ":" +
           std::to_string(n.velocity) + " ";
  return out;
}

TEST(Midi, NotesFromBytesInPiecesThroughTheQueue) {
  const struct {
    const char* what;
    std::vector<std::vector<uint8_t>> deliveries;
    const char* notes;
  } cases[] = {
      {"note-on", {{0x90, 60, 100}}, "0:60:100 "},
      {"running status, 0 is off", {{0x90, 60, 100, 62, 80, 60, 0}}, "0:60:100 0:62:80 0:60:0 "},
      {"running status across deliveries", {{0x92, 60}, {100, 62}, {0}}, "2:60:100 2:62:0 "},
      {"note-off drops its velocity", {{0x83, 64, 127}}, "3:64:0 "},
      {"real-time bytes inside a message", {{0x99, 0xF8, 38, 0xFE, 127}}, "9:38:127 "},
      {"other channel messages", {{0xC0, 5, 60, 0xB0, 7, 100, 0xE0, 0, 64}}, ""},
      {"sysex ends running status",
       {{0x90, 60, 100, 0xF0, 0x7E, 60, 100, 0xF7, 60, 100}},
       "0:60:100 "},
      {"data without a status", {{60, 100}}, ""},
      {"a new status cuts a message short", {{0x90, 60, 0x80, 61, 0}}, "0:61:0 "},
  };
  for (const auto& c : cases) {
    auto queue = std::make_unique<MidiQueue>();
    MidiParser parser;
    for (const auto& bytes : c.deliveries)
      midiParse(&parser, bytes.data(), bytes.size(), queue.get());
    EXPECT_EQ(drain(queue.get()), c.notes) << c.what;
  }
  // A burst beyond the queue's size keeps the first notes and counts the rest.
  auto queue = std::make_unique<MidiQueue>();
  MidiParser parser;
  std::vector<uint8_t> burst;
  std::string kept;
  for (int i = 0; i < 1500; i++) {
    burst.insert(burst.end(), {0x90, uint8_t(i % 128), uint8_t(1 + i / 128)});
    if (i < int(MidiQueue::kSize))
      kept += "0:" + std::to_string(i % 128) + ":" + std::to_string(1 + i / 128) + " ";
  }
  midiParse(&parser, burst.data(), burst.size(), queue.get());
  EXPECT_EQ(queue->dropped.load(), 1500u - MidiQueue::kSize);
  EXPECT_EQ(drain(queue.get()), kept);
  EXPECT_TRUE(midiQueuePush(queue.get(), {0, 1, 2}) && drain(queue.get()) == "0:1:2 ");
}

}  // namespace
