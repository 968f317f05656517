// midi.cpp: MIDI input on the ALSA sequencer (RtMidi's C interface, which
// reports failures instead of throwing them) or on JACK (libjack itself, whose
// shutdown callback tells when the server goes away).
//
// Both systems are asked with their own libraries, their messages silenced:
// JACK prints its refusal, and ALSA prints its own when the sequencer device
// is missing, as in most containers. The player says in one line of its own
// what there is and what changed.
#include "platform/midi.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <rtmidi_c.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/midi_internal.h"

namespace {

const char* const kPortName = "Plinkar";

enum class System { Alsa, Jack };
const System kSystems[] = {System::Alsa, System::Jack};

const char* systemName(System system) { return system == System::Alsa ? "ALSA" : "JACK"; }

struct Input {
  System system = System::Alsa;
  RtMidiInPtr alsa = nullptr;  // ALSA, through RtMidi
  jack_client_t* jack = nullptr;
  jack_port_t* jackPort = nullptr;
  std::string source;  // the source port connected to it, empty when none
};

MidiHandler g_handler = nullptr;
// Each system's receiving thread's; at most one input of a system is open.
MidiParser g_alsaParser, g_jackParser;

// Set by JACK's shutdown callback, which may not call JACK back.
std::atomic<bool> g_jackLost{false};
char g_jackReason[256] = "";

// The watcher's: after midiOpen returns only its thread touches these.
Input g_input;
bool g_open = false;
bool g_everOpen = false;
std::string g_connectTo;

std::mutex g_watchMutex;
std::condition_variable g_wake;
bool g_stopping = false;
std::thread g_watcher;

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
void quietJack(const char*) {}

void quietenJack() {
  jack_set_error_function(quietJack);
  jack_set_info_function(quietJack);
}

bool alsaSequencerThere() {
  snd_lib_error_set_handler(quietAlsa);
  snd_seq_t* sequencer = nullptr;
  const bool there = snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_INPUT, 0) == 0;
  if (there) snd_seq_close(sequencer);
  snd_lib_error_set_handler(nullptr);
  return there;
}

void deliver(const MidiEvent& event, void*) {
  if (g_handler) g_handler(event);
}

void receivedOnAlsa(double, const unsigned char* message, size_t size, void*) {
  midiParse(&g_alsaParser, message, size, deliver, nullptr);
}

// JACK's real-time thread: each event is one whole message.
int receivedOnJack(jack_nframes_t frames, void* port) {
  void* buffer = jack_port_get_buffer(static_cast<jack_port_t*>(port), frames);
  const uint32_t count = jack_midi_get_event_count(buffer);
  for (uint32_t i = 0; i < count; i++) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) == 0)
      midiParse(&g_jackParser, event.buffer, event.size, deliver, nullptr);
  }
  return 0;
}

void jackShutDown(jack_status_t, const char* reason, void*) {
  std::snprintf(g_jackReason, sizeof g_jackReason, "%s", reason ? reason : "");
  g_jackLost.store(true, std::memory_order_release);
}

// A fresh input with its port on the source of this index, or virtual (-1);
// null when RtMidi fails. RtMidi connects a source only as it opens the
// port, so a new connection takes a new input.
RtMidiInPtr alsaInput(int source) {
  g_alsaParser = MidiParser();
  RtMidiInPtr input = rtmidi_in_create(RTMIDI_API_LINUX_ALSA, kPortName, 100);
  if (input->ok) {
    rtmidi_in_set_callback(input, receivedOnAlsa, nullptr);
    if (source >= 0)
      rtmidi_open_port(input, static_cast<unsigned>(source), kPortName);
    else
      rtmidi_open_virtual_port(input, kPortName);
  }
  if (input->ok) return input;
  rtmidi_in_free(input);
  return nullptr;
}

void closeInput(Input* input) {
  if (input->alsa) rtmidi_in_free(input->alsa);
  if (input->jack) jack_client_close(input->jack);
  *input = Input();
}

// The port, unconnected; false when the system is not there.
bool openInput(System system, Input* input) {
  *input = Input();
  input->system = system;
  if (system == System::Alsa) {
    if (!alsaSequencerThere()) return false;
    input->alsa = alsaInput(-1);
    if (input->alsa) return true;
    std::fprintf(stderr, "plinkar: RtMidi could not open a MIDI input on ALSA\n");
    return false;
  }
  quietenJack();
  g_jackParser = MidiParser();
  // Never starts a server: with none running this fails at once.
  input->jack = jack_client_open(kPortName, JackNoStartServer, nullptr);
  if (!input->jack) return false;
  input->jackPort = jack_port_register(input->jack, kPortName, JACK_DEFAULT_MIDI_TYPE,
                                       JackPortIsInput | JackPortIsTerminal, 0);
  g_jackLost.store(false, std::memory_order_relaxed);
  if (input->jackPort) {
    jack_set_process_callback(input->jack, receivedOnJack, input->jackPort);
    jack_on_info_shutdown(input->jack, jackShutDown, nullptr);
    if (jack_activate(input->jack) == 0) return true;
  }
  std::fprintf(stderr, "plinkar: could not open the MIDI port %s on JACK\n", kPortName);
  closeInput(input);
  return false;
}

std::vector<std::string> sourceNames(const Input& input) {
  std::vector<std::string> names;
  if (input.alsa) {
    const unsigned count = rtmidi_get_port_count(input.alsa);
    for (unsigned i = 0; i < count; i++) {
      char name[256] = "";
      int length = sizeof name;
      rtmidi_get_port_name(input.alsa, i, name, &length);
      names.push_back(name);
    }
  } else if (input.jack) {
    const char** ports =
        jack_get_ports(input.jack, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
    for (const char** port = ports; port && *port; port++) names.push_back(*port);
    jack_free(ports);
  }
  return names;
}

// The first source whose name contains part, or -1.
int findSource(const std::vector<std::string>& names, const std::string& part) {
  for (size_t i = 0; i < names.size(); i++)
    if (names[i].find(part) != std::string::npos) return static_cast<int>(i);
  return -1;
}

bool connect(Input* input, int index, const std::string& name) {
  bool ok = false;
  if (input->alsa) {
    rtmidi_in_free(input->alsa);
    input->alsa = alsaInput(index);
    ok = input->alsa != nullptr;
    if (!ok) input->alsa = alsaInput(-1);
  } else {
    const int status = jack_connect(input->jack, name.c_str(), jack_port_name(input->jackPort));
    ok = status == 0 || status == EEXIST;
  }
  if (ok) input->source = name;
  return ok;
}

bool stillConnected(const Input& input, const std::vector<std::string>& names) {
  if (input.source.empty()) return false;
  if (input.jack) return jack_port_connected_to(input.jackPort, input.source.c_str()) != 0;
  for (const std::string& name : names)
    if (name == input.source) return true;
  return false;
}

// The first system there, unless another has the source to connect.
bool openAny(Input* input, const std::string& connectTo) {
  Input first;
  bool haveFirst = false;
  for (System system : kSystems) {
    Input candidate;
    if (!openInput(system, &candidate)) continue;
    if (connectTo.empty()) {
      *input = candidate;
      return true;
    }
    const std::vector<std::string> names = sourceNames(candidate);
    const int source = findSource(names, connectTo);
    if (source >= 0 && connect(&candidate, source, names[source])) {
      if (haveFirst) closeInput(&first);
      *input = candidate;
      return true;
    }
    if (haveFirst) {
      closeInput(&candidate);
    } else {
      first = candidate;
      haveFirst = true;
    }
  }
  if (haveFirst) *input = first;
  return haveFirst;
}

std::string describe(const Input& input) {
  std::string text = std::string("port ") + kPortName + " on " + systemName(input.system);
  if (!input.source.empty()) text += ", connected to " + input.source;
  return text;
}

// Connects the source asked for when it has appeared, or come back.
void keepConnected() {
  if (g_connectTo.empty()) return;
  const std::vector<std::string> names = sourceNames(g_input);
  if (stillConnected(g_input, names)) return;
  if (!g_input.source.empty()) {
    std::fprintf(stderr, "plinkar: MIDI source %s went away; it is connected again when back\n",
                 g_input.source.c_str());
    g_input.source.clear();
    if (g_input.alsa) {
      rtmidi_in_free(g_input.alsa);
      g_input.alsa = alsaInput(-1);
    }
  }
  const int source = findSource(names, g_connectTo);
  if (source >= 0 && connect(&g_input, source, names[source]))
    std::fprintf(stderr, "plinkar: MIDI source %s connected to port %s\n", names[source].c_str(),
                 kPortName);
}

void watchOnce() {
  if (g_open) {
    const bool lost = g_input.jack ? g_jackLost.load(std::memory_order_acquire)
                                   : !g_input.alsa || !alsaSequencerThere();
    if (!lost) {
      keepConnected();
      return;
    }
    const std::string why = g_input.jack
                                ? std::string("the JACK server stopped") +
                                      (*g_jackReason ? std::string(" (") + g_jackReason + ")" : "")
                                : std::string("the ALSA sequencer went away");
    std::fprintf(stderr,
                 "plinkar: MIDI input lost: %s; playing on from the computer keyboard, trying "
                 "again every second\n",
                 why.c_str());
    closeInput(&g_input);
    g_open = false;
    return;
  }
  if (!openAny(&g_input, g_connectTo)) return;
  g_open = true;
  std::fprintf(stderr, "plinkar: MIDI input %s: %s\n", g_everOpen ? "back" : "ready",
               describe(g_input).c_str());
  g_everOpen = true;
}

void watch() {
  std::unique_lock<std::mutex> lock(g_watchMutex);
  while (!g_wake.wait_for(lock, std::chrono::seconds(1), [] { return g_stopping; })) {
    lock.unlock();
    watchOnce();
    lock.lock();
  }
}

void sayNoMidiSystem() {
  std::fprintf(stderr, "plinkar: no MIDI input: no ALSA sequencer and no JACK server\n");
}

}  // namespace

void midiParse(MidiParser* parser, const uint8_t* bytes, size_t count,
               void (*deliver)(const MidiEvent&, void*), void* context) {
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
    const uint8_t channel = parser->status & 0x0F;
    if (kind == 0x90 && parser->data[1] > 0)
      deliver(MidiEvent{MidiEvent::NoteOn, channel, parser->data[0], parser->data[1]}, context);
    else if (kind == 0x80 || kind == 0x90)
      deliver(MidiEvent{MidiEvent::NoteOff, channel, parser->data[0], 0}, context);
    else if (kind == 0xB0 && parser->data[0] == 64)
      deliver(MidiEvent{MidiEvent::Pedal, channel, 0, parser->data[1]}, context);
  }
}

bool midiOpen(const char* connectTo, MidiHandler handler) {
  g_handler = handler;
  g_connectTo = connectTo ? connectTo : "";
  g_open = openAny(&g_input, g_connectTo);
  g_everOpen = g_open;
  if (!g_open)
    sayNoMidiSystem();
  else if (!g_connectTo.empty() && g_input.source.empty())
    std::fprintf(stderr,
                 "plinkar: no MIDI source port has \"%s\" in its name; port %s waits "
                 "unconnected\n",
                 g_connectTo.c_str(), kPortName);
  static bool closeAtExit = false;
  if (!closeAtExit) {
    closeAtExit = true;
    std::atexit(midiClose);
  }
  g_stopping = false;
  g_watcher = std::thread(watch);
  return g_open;
}

void midiClose() {
  if (g_watcher.joinable()) {
    {
      std::lock_guard<std::mutex> lock(g_watchMutex);
      g_stopping = true;
    }
    g_wake.notify_all();
    g_watcher.join();
  }
  closeInput(&g_input);
  g_open = false;
}

bool midiListSources(FILE* out) {
  bool any = false;
  for (System system : kSystems) {
    Input input;
    if (!openInput(system, &input)) continue;
    any = true;
    for (const std::string& name : sourceNames(input))
      std::fprintf(out, "%s: %s\n", systemName(system), name.c_str());
    closeInput(&input);
  }
  if (!any) sayNoMidiSystem();
  return any;
}
