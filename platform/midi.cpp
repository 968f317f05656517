// midi.cpp: MIDI input on the ALSA sequencer (RtMidi's C interface, which
// reports failures instead of throwing them) or on JACK (libjack itself, whose
// shutdown callback tells when the server goes away); on Windows, from an
// input device through RtMidi's WinMM backend.
//
// Both systems are asked with their own libraries, their messages silenced:
// JACK prints its refusal, and ALSA prints its own when the sequencer device
// is missing, as in most containers. RtMidi's WinMM backend prints its own
// warnings when there is no device or one will not open, so WinMM is asked
// first. The player says in one line of its own what there is and what
// changed.
#include "platform/midi.h"

#ifdef _WIN32
#include <windows.h>
// After <windows.h>, whose types it uses.
#include <mmsystem.h>
#else
#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#endif
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
#ifdef _WIN32
#include "platform/win32_text.h"
#endif

namespace {

const char* const kPortName = "Plinkar";

enum class System { Alsa, Jack, WinMM };
#ifdef _WIN32
const System kSystems[] = {System::WinMM};
#else
const System kSystems[] = {System::Alsa, System::Jack};
#endif

const char* systemName(System system) {
  switch (system) {
    case System::Alsa:
      return "ALSA";
    case System::Jack:
      return "JACK";
    case System::WinMM:
      return "WinMM";
  }
  return "";
}

// WinMM cannot make a port that others connect to: an input there is a device
// opened, never one waiting unconnected.
bool hasOwnPort(System system) { return system != System::WinMM; }

struct Input {
  System system = kSystems[0];
  RtMidiInPtr rtmidi = nullptr;  // ALSA and WinMM
#ifndef _WIN32
  jack_client_t* jack = nullptr;
  jack_port_t* jackPort = nullptr;
#endif
  std::string source;  // the source port connected to it, empty when none
};

MidiHandler g_handler = nullptr;
// Each system's receiving thread's; at most one input of a system is open.
MidiParser g_rtmidiParser;

#ifndef _WIN32
MidiParser g_jackParser;

// Set by JACK's shutdown callback, which may not call JACK back.
std::atomic<bool> g_jackLost{false};
char g_jackReason[256] = "";
#endif

// The watcher's: after midiOpen returns only its thread touches these.
Input g_input;
bool g_open = false;
bool g_everOpen = false;
std::string g_connectTo;

std::mutex g_watchMutex;
std::condition_variable g_wake;
bool g_stopping = false;
std::thread g_watcher;

void deliver(const MidiEvent& event, void*) {
  if (g_handler) g_handler(event);
}

void receivedOnRtMidi(double, const unsigned char* message, size_t size, void*) {
  midiParse(&g_rtmidiParser, message, size, deliver, nullptr);
}

#ifdef _WIN32
const RtMidiApi kRtMidiApi = RTMIDI_API_WINDOWS_MM;

// Asked before RtMidi, which prints its own error when a device will not
// open, as when another program has it; the watcher would repeat that every
// second.
bool deviceOpens(int device) {
  HMIDIIN handle = nullptr;
  if (midiInOpen(&handle, static_cast<UINT>(device), 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
    return false;
  midiInClose(handle);
  return true;
}

// The input devices in WinMM's order, which is RtMidi's port numbers. Not
// RtMidi's names: they end in that number, which changes as other devices
// come and go.
std::vector<std::string> deviceNames() {
  std::vector<std::string> names;
  const UINT count = midiInGetNumDevs();
  for (UINT device = 0; device < count; device++) {
    MIDIINCAPSW caps;
    const bool named = midiInGetDevCapsW(device, &caps, sizeof caps) == MMSYSERR_NOERROR;
    names.push_back(named ? utf8FromWide(caps.szPname) : "");  // unnamed too, to keep the numbers
  }
  return names;
}
#else
const RtMidiApi kRtMidiApi = RTMIDI_API_LINUX_ALSA;

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
#endif

// A fresh input with its port on the source of this index, or without one
// (-1): ALSA's virtual port, and on WinMM nothing at all. Null when RtMidi
// fails. RtMidi connects a source only as it opens the port, so a new
// connection takes a new input.
RtMidiInPtr rtmidiInput(int source) {
#ifdef _WIN32
  if (source < 0 || !deviceOpens(source)) return nullptr;
#endif
  g_rtmidiParser = MidiParser();
  RtMidiInPtr input = rtmidi_in_create(kRtMidiApi, kPortName, 100);
  if (input->ok) {
    rtmidi_in_set_callback(input, receivedOnRtMidi, nullptr);
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
  if (input->rtmidi) rtmidi_in_free(input->rtmidi);
#ifndef _WIN32
  if (input->jack) jack_client_close(input->jack);
#endif
  *input = Input();
}

// The port, unconnected; false when the system is not there. On WinMM only
// whether there is a device: connect opens one.
bool openInput(System system, Input* input) {
  *input = Input();
  input->system = system;
#ifdef _WIN32
  return midiInGetNumDevs() > 0;
#else
  if (system == System::Alsa) {
    if (!alsaSequencerThere()) return false;
    input->rtmidi = rtmidiInput(-1);
    if (input->rtmidi) return true;
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
#endif
}

std::vector<std::string> sourceNames(const Input& input) {
#ifdef _WIN32
  (void)input;
  return deviceNames();
#else
  std::vector<std::string> names;
  if (input.rtmidi) {
    const unsigned count = rtmidi_get_port_count(input.rtmidi);
    for (unsigned i = 0; i < count; i++) {
      char name[256] = "";
      int length = sizeof name;
      rtmidi_get_port_name(input.rtmidi, i, name, &length);
      names.push_back(name);
    }
  } else if (input.jack) {
    const char** ports =
        jack_get_ports(input.jack, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
    for (const char** port = ports; port && *port; port++) names.push_back(*port);
    jack_free(ports);
  }
  return names;
#endif
}

bool connect(Input* input, int index, const std::string& name) {
  bool ok = false;
  if (input->system != System::Jack) {
    if (input->rtmidi) rtmidi_in_free(input->rtmidi);
    input->rtmidi = rtmidiInput(index);
    ok = input->rtmidi != nullptr;
    if (!ok) input->rtmidi = rtmidiInput(-1);
  }
#ifndef _WIN32
  else {
    const int status = jack_connect(input->jack, name.c_str(), jack_port_name(input->jackPort));
    ok = status == 0 || status == EEXIST;
  }
#endif
  if (ok) input->source = name;
  return ok;
}

// The first source whose name contains part; on WinMM, where another program
// may hold a device, the first of them that opens.
bool connectFirst(Input* input, const std::vector<std::string>& names, const std::string& part) {
  for (size_t i = 0; i < names.size(); i++) {
    if (names[i].find(part) == std::string::npos) continue;
    if (connect(input, static_cast<int>(i), names[i])) return true;
    if (hasOwnPort(input->system)) return false;
  }
  return false;
}

bool stillConnected(const Input& input, const std::vector<std::string>& names) {
  if (input.source.empty()) return false;
#ifndef _WIN32
  if (input.jack) return jack_port_connected_to(input.jackPort, input.source.c_str()) != 0;
#endif
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
    if (connectTo.empty() && hasOwnPort(system)) {
      *input = candidate;
      return true;
    }
    if (connectFirst(&candidate, sourceNames(candidate), connectTo)) {
      if (haveFirst) closeInput(&first);
      *input = candidate;
      return true;
    }
    if (haveFirst || !hasOwnPort(system)) {
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
  if (!hasOwnPort(input.system)) return input.source + " on " + systemName(input.system);
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
    if (g_input.rtmidi) {
      rtmidi_in_free(g_input.rtmidi);
      g_input.rtmidi = rtmidiInput(-1);
    }
  }
  if (connectFirst(&g_input, names, g_connectTo))
    std::fprintf(stderr, "plinkar: MIDI source %s connected to port %s\n", g_input.source.c_str(),
                 kPortName);
}

// Empty while the open input is there, else why it is not.
std::string whyLost() {
#ifdef _WIN32
  // An unplugged device's handle stays open, silent; the list tells.
  if (g_input.rtmidi && stillConnected(g_input, sourceNames(g_input))) return "";
  return "the MIDI device " + g_input.source + " went away";
#else
  const bool lost = g_input.jack ? g_jackLost.load(std::memory_order_acquire)
                                 : !g_input.rtmidi || !alsaSequencerThere();
  if (!lost) return "";
  return g_input.jack ? std::string("the JACK server stopped") +
                            (*g_jackReason ? std::string(" (") + g_jackReason + ")" : "")
                      : std::string("the ALSA sequencer went away");
#endif
}

void watchOnce() {
  if (g_open) {
    const std::string why = whyLost();
    if (why.empty()) {
      keepConnected();
      return;
    }
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
#ifdef _WIN32
  std::fprintf(stderr, "plinkar: no MIDI input: no MIDI input device\n");
#else
  std::fprintf(stderr, "plinkar: no MIDI input: no ALSA sequencer and no JACK server\n");
#endif
}

// Why midiOpen opened nothing. On WinMM there may be devices, but none with
// the name asked for, or the ones with it held by another program.
void sayNotOpen() {
#ifdef _WIN32
  const std::vector<std::string> names = deviceNames();
  for (const std::string& name : names) {
    if (name.find(g_connectTo) == std::string::npos) continue;
    std::fprintf(stderr,
                 "plinkar: no MIDI input: the MIDI device %s did not open (another program may "
                 "have it); trying again every second\n",
                 name.c_str());
    return;
  }
  if (!names.empty()) {
    std::fprintf(stderr,
                 "plinkar: no MIDI input device has \"%s\" in its name; it is opened when one "
                 "appears\n",
                 g_connectTo.c_str());
    return;
  }
#endif
  sayNoMidiSystem();
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
    const int length = midiDataBytes(parser->status);
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
    sayNotOpen();
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
