// The player on Linux: the help card opens first, then the player window.
#include <GL/freeglut.h>
#include <X11/Xlib.h>
#include <limits.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/start_glut.h"
#include "instruments/instruments.h"
#include "instruments/midi_keys.h"
#include "instruments/recording.h"
#include "platform/glut_init.h"
#include "platform/help_card.h"
#include "platform/midi.h"
#include "platform/midi_internal.h"
#include "platform/song.h"
#include "platform/sound.h"

// GLUT ends the process with its own message when there is no display; say
// what is missing before anything starts.
static bool displayOpens(const StartOptions& options) {
  const char* name = options.display.empty() ? std::getenv("DISPLAY") : options.display.c_str();
  Display* display = XOpenDisplay(options.display.empty() ? nullptr : name);
  if (display) {
    XCloseDisplay(display);
    return true;
  }
  if (!name || !*name)
    std::fprintf(stderr, "plinkar: no X display to open: DISPLAY is not set\n");
  else
    std::fprintf(stderr, "plinkar: can't open the X display \"%s\"\n", name);
  return false;
}

// A MIDI note's sound starts on the thread that receives it; its key, stick
// and timers wait in a queue for this thread. A short timer of their own
// takes them even where frames come every 16 ms or wait for the display.
// MIDI may also turn up later, so the timer always runs.
constexpr unsigned kMidiPollMs = 2;

// Set by SIGINT and SIGTERM while recording: the player's thread ends the
// program, so that the recording is written on the way out.
static volatile sig_atomic_t endRequested = 0;

static void requestEnd(int) { endRequested = 1; }

static void showMidiNotes(int) {
  if (endRequested) std::exit(0);
  showMidiEvents();
  glutTimerFunc(kMidiPollMs, showMidiNotes, 0);
}

// --record: where, as an absolute path, since the player may change folders
// to find its data.
static std::string recordPath;

static void writeRecording() {
  std::string error;
  if (songWrite(recordPath.c_str(), recordedEvents(), &error)) return;
  std::fprintf(stderr, "plinkar: can't write the recording to %s: %s\n", recordPath.c_str(),
               error.c_str());
  std::fflush(stderr);
  _exit(1);
}

static std::string absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char here[PATH_MAX];
  return getcwd(here, sizeof here) ? std::string(here) + "/" + path : path;
}

// --play: the song, read before any window opens.
static std::vector<SongEvent> song;

// Brings out the instruments the song uses, then starts it a moment later,
// once their models are drawn and the MIDI side knows they are shown.
constexpr long long kSongLeadInNanos = 300000000;

static void startSong(int) {
  bool uses[2] = {false, false};  // piano, drum kit
  MidiParser parser;
  for (const SongEvent& event : song)
    midiParse(
        &parser, event.bytes, event.length,
        [](const MidiEvent& heard, void* flags) {
          const MidiKey key = midiKeyFor(heard);
          if (heard.kind == MidiEvent::NoteOn && key.kind != MidiKey::NoKey)
            static_cast<bool*>(flags)[key.kind == MidiKey::Character ? 0 : 1] = true;
        },
        uses);
  glutSetWindow(playerWindowId());
  if (uses[0] && appState.shown[Piano] != 1) instrumentMenu('1');
  if (uses[1] && appState.shown[Drum] != 1) instrumentMenu('2');
  showMidiEvents();  // the MIDI side learns what is shown
  songPlay(std::move(song), songClockNanos() + kSongLeadInNanos, hearMidiEvent);
}

// Every sound a key or note can play is read before the first one, so that
// none waits for a file, least of all on the MIDI thread.
static void preloadKeySounds() {
  for (int key = 0; key < 256; key++) {
    const char* sound = nullptr;
    const unsigned char c = static_cast<unsigned char>(key);
    if ((pianoKeySound(c, &sound) || guitarKeySound(c, &sound)) && sound) soundPreload(sound);
  }
  for (int key = 0; key < 512; key++) {
    const char* sound = nullptr;
    if (drumKeySound(key, &sound) && sound) soundPreload(sound);
  }
}

int main(int argc, char** argv) {
  const StartOptions options = parseCommandLine(argc, argv);
  switch (options.action) {
    case StartAction::Help:
      printUsage(stdout);
      return 0;
    case StartAction::Version:
      std::printf("plinkar %s\n", PLINKAR_VERSION);
      return 0;
    case StartAction::MidiList:
      midiListSources(stdout);
      return 0;
    case StartAction::BadUsage:
      std::fprintf(stderr, "plinkar: %s\n", options.problem.c_str());
      printUsage(stderr);
      return 2;
    case StartAction::Play:
      break;
  }
  if (!options.play.empty()) {
    std::string error;
    if (!songRead(options.play.c_str(), &song, &error)) {
      std::fprintf(stderr, "plinkar: %s: %s\n", options.play.c_str(), error.c_str());
      return 1;
    }
  }
  recordPath = absolute(options.record);
  if (!findPlayerData() || !displayOpens(options)) return 1;

  setGlutArguments(&argc, argv);
  initAppState();
  soundSetVoices(options.voices);
  soundStart();
  preloadKeySounds();
  showMidiEvents();  // which instruments are shown, before any note
  midiOpen(options.midiConnect.c_str(), hearMidiEvent);
  openHelpCard();
  glutTimerFunc(kMidiPollMs, showMidiNotes, 0);  // glutInit has run
  if (!options.play.empty()) {
    glutTimerFunc(200, startSong, 0);
    std::atexit(songStop);  // before sound and MIDI go
  }
  if (!recordPath.empty()) {
    listenToKeys(recordKey);
    onMidiShown(recordMidiEvent);
    std::atexit(writeRecording);
    std::signal(SIGINT, requestEnd);
    std::signal(SIGTERM, requestEnd);
  }
  startGlut();
  return 0;
}
