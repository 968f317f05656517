// MIDI bytes as RtMidi or JACK deliver them read into events.
#include <gtest/gtest.h>

#include <vector>

#include "platform/midi_internal.h"

namespace {

struct Heard {
  MidiEvent::Kind kind;
  int channel, note, value;
  bool operator==(const Heard& o) const {
    return kind == o.kind && channel == o.channel && note == o.note && value == o.value;
  }
};
std::ostream& operator<<(std::ostream& out, const Heard& h) {
  return out << "{" << int(h.kind) << ", " << h.channel << ", " << h.note << ", " << h.value << "}";
}

void collect(const MidiEvent& event, void* heard) {
  static_cast<std::vector<Heard>*>(heard)->push_back(
      {event.kind, event.channel, event.note, event.value});
}

constexpr MidiEvent::Kind On = MidiEvent::NoteOn, Off = MidiEvent::NoteOff,
                          Pedal = MidiEvent::Pedal;

TEST(MidiParse, NotesAndThePedalFromBytesInPieces) {
  const struct {
    const char* what;
    std::vector<std::vector<uint8_t>> deliveries;
    std::vector<Heard> heard;
  } cases[] = {
      {"note-on", {{0x90, 60, 100}}, {{On, 0, 60, 100}}},
      {"running status, 0 is off",
       {{0x90, 60, 100, 62, 80, 60, 0}},
       {{On, 0, 60, 100}, {On, 0, 62, 80}, {Off, 0, 60, 0}}},
      {"running status across deliveries",
       {{0x92, 60}, {100, 62}, {0}},
       {{On, 2, 60, 100}, {Off, 2, 62, 0}}},
      {"note-off drops its velocity", {{0x83, 64, 127}}, {{Off, 3, 64, 0}}},
      {"real-time bytes inside a message", {{0x99, 0xF8, 38, 0xFE, 127}}, {{On, 9, 38, 127}}},
      {"sustain pedal down and up",
       {{0xB4, 64, 127, 64, 0}},
       {{Pedal, 4, 0, 127}, {Pedal, 4, 0, 0}}},
      {"other channel messages", {{0xC0, 5, 60, 0xB0, 7, 100, 0xE0, 0, 64, 0xB0, 65, 127}}, {}},
      {"sysex ends running status",
       {{0x90, 60, 100, 0xF0, 0x7E, 60, 100, 0xF7, 60, 100}},
       {{On, 0, 60, 100}}},
      {"data without a status", {{60, 100}}, {}},
      {"a new status cuts a message short", {{0x90, 60, 0x80, 61, 0}}, {{Off, 0, 61, 0}}},
  };
  for (const auto& c : cases) {
    MidiParser parser;
    std::vector<Heard> heard;
    for (const auto& bytes : c.deliveries)
      midiParse(&parser, bytes.data(), bytes.size(), collect, &heard);
    EXPECT_EQ(heard, c.heard) << c.what;
  }
}

}  // namespace
