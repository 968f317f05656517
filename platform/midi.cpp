// midi.cpp: MIDI input with RtMidi's C interface, which reports failures
// instead of throwing them.
//
// Both systems are asked first with their own libraries, their messages
// silenced: RtMidi would print JACK's refusal, and ALSA prints its own when
// the sequencer device is missing, as in most containers. The player says
// in one line of its own that there is no MIDI.
#include "platform/midi.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <rtmidi_c.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/midi_internal.h"

namespace {

const char* const kPortName = "Plinkar";

struct MidiSystem {
  RtMidiApi api;
  const char* name;
};
const MidiSystem kSystems[] = {{RTMIDI_API_LINUX_ALSA, "ALSA"}, {RTMIDI_API_UNIX_JACK, "JACK"}};

MidiQueue g_queue;
MidiParser g_parser;  // RtMidi's thread only
RtMidiInPtr g_input = nullptr;

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
void quietJack(const char*) {}

bool alsaSequencerThere() {
  snd_lib_error_set_handler(quietAlsa);
  snd_seq_t* sequencer = nullptr;
  const bool there = snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_INPUT, 0) == 0;
  if (there) snd_seq_close(sequencer);
  snd_lib_error_set_handler(nullptr);
  return there;
}

// Never starts a server: with none running the call fails at once.
bool jackServerThere() {
  jack_set_error_function(quietJack);
  jack_set_info_function(quietJack);
  jack_client_t* client = jack_client_open(kPortName, JackNoStartServer, nullptr);
  if (client) jack_client_close(client);
  jack_set_error_function(nullptr);
  jack_set_info_function(nullptr);
  return client != nullptr;
}

bool systemThere(const MidiSystem& system) {
  return system.api == RTMIDI_API_LINUX_ALSA ? alsaSequencerThere() : jackServerThere();
}

// An input on the system, or null; with a line on standard error when the
// system was there and RtMidi still failed. (RtMidi's own message is not
// kept past the failed call.)
RtMidiInPtr createInput(const MidiSystem& system) {
  if (!systemThere(system)) return nullptr;
  RtMidiInPtr input = rtmidi_in_create(system.api, kPortName, 100);
  if (input->ok) return input;
  std::fprintf(stderr, "plinkar: RtMidi could not open a MIDI input on %s\n", system.name);
  rtmidi_in_free(input);
  return nullptr;
}

std::vector<std::string> sourceNames(RtMidiInPtr input) {
  std::vector<std::string> names;
  const unsigned count = rtmidi_get_port_count(input);
  for (unsigned i = 0; i < count; i++) {
    char name[256] = "";
    int length = sizeof name;
    rtmidi_get_port_name(input, i, name, &length);
    names.push_back(name);
  }
  return names;
}

void received(double, const unsigned char* message, size_t size, void*) {
  midiParse(&g_parser, message, size, &g_queue);
}

void sayNoMidiSystem() {
  std::fprintf(stderr, "plinkar: no MIDI input: no ALSA sequencer and no JACK server\n");
}

}  // namespace

bool midiQueuePush(MidiQueue* queue, MidiNote note) {
  const uint32_t written = queue->written.load(std::memory_order_relaxed);
  if (written - queue->read.load(std::memory_order_acquire) == MidiQueue::kSize) {
    queue->dropped.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  queue->notes[written % MidiQueue::kSize] = note;
  queue->written.store(written + 1, std::memory_order_release);
  return true;
}

bool midiQueuePop(MidiQueue* queue, MidiNote* note) {
  const uint32_t read = queue->read.load(std::memory_order_relaxed);
  if (read == queue->written.load(std::memory_order_acquire)) return false;
  *note = queue->notes[read % MidiQueue::kSize];
  queue->read.store(read + 1, std::memory_order_release);
  return true;
}

void midiParse(MidiParser* parser, const uint8_t* bytes, size_t count, MidiQueue* queue) {
  for (size_t i = 0; i < count; i++) {
    const uint8_t byte = bytes[i];
    if (byte >= 0xF8) continue;  // real-time bytes may come anywhere, even mid-message
    if (byte >= 0xF0) {
      // System messages end the running status; only a sysex has data to skip.
      parser->status = 0;
      parser->inSysex = byte == 0xF0;
      continue;
    }
    if (byte >= 0x80) {
      parser->status = byte;
      parser->have = 0;
      parser->inSysex = false;
      continue;
    }
    if (parser->status == 0 || parser->inSysex) continue;
    parser->data[parser->have++] = byte;
    const uint8_t kind = parser->status & 0xF0;
    const int length = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
    if (parser->have < length) continue;
    parser->have = 0;
    if (kind == 0x80 || kind == 0x90) {
      const uint8_t velocity = kind == 0x90 ? parser->data[1] : 0;
      midiQueuePush(
          queue, MidiNote{static_cast<uint8_t>(parser->status & 0x0F), parser->data[0], velocity});
    }
  }
}

bool midiOpen(const char* connectTo) {
  const bool connecting = connectTo != nullptr && *connectTo != '\0';
  RtMidiInPtr input = nullptr;  // the first system there, unless another has the source
  int source = -1;
  for (const MidiSystem& system : kSystems) {
    RtMidiInPtr candidate = createInput(system);
    if (!candidate) continue;
    if (connecting) {
      const std::vector<std::string> names = sourceNames(candidate);
      for (size_t i = 0; i < names.size() && source < 0; i++)
        if (names[i].find(connectTo) != std::string::npos) source = static_cast<int>(i);
    }
    if (source >= 0 && input) {
      rtmidi_in_free(input);
      input = nullptr;
    }
    if (!input)
      input = candidate;
    else
      rtmidi_in_free(candidate);
    if (!connecting || source >= 0) break;
  }
  if (!input) {
    sayNoMidiSystem();
    return false;
  }
  rtmidi_in_set_callback(input, received, nullptr);
  if (source >= 0) {
    rtmidi_open_port(input, static_cast<unsigned>(source), kPortName);
  } else {
    if (connecting)
      std::fprintf(stderr,
                   "plinkar: no MIDI source port has \"%s\" in its name; port %s waits "
                   "unconnected\n",
                   connectTo, kPortName);
    rtmidi_open_virtual_port(input, kPortName);
  }
  if (!input->ok) {
    std::fprintf(stderr, "plinkar: RtMidi could not open the MIDI port %s\n", kPortName);
    rtmidi_in_free(input);
    return false;
  }
  static bool closeAtExit = false;
  if (!closeAtExit) {
    closeAtExit = true;
    std::atexit(midiClose);
  }
  g_input = input;
  return true;
}

void midiClose() {
  if (!g_input) return;
  rtmidi_in_free(g_input);
  g_input = nullptr;
  MidiNote note;
  while (midiQueuePop(&g_queue, &note)) {
  }
}

bool midiListSources(FILE* out) {
  bool any = false;
  for (const MidiSystem& system : kSystems) {
    RtMidiInPtr input = createInput(system);
    if (!input) continue;
    any = true;
    for (const std::string& name : sourceNames(input))
      std::fprintf(out, "%s: %s\n", system.name, name.c_str());
    rtmidi_in_free(input);
  }
  if (!any) sayNoMidiSystem();
  return any;
}

bool midiNextNote(MidiNote* note) { return midiQueuePop(&g_queue, note); }

unsigned long midiDroppedNotes() { return g_queue.dropped.load(std::memory_order_relaxed); }
