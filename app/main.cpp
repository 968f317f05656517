// The player on Linux: the help card opens first, then the player window.
#include <GL/freeglut.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/start_glut.h"
#include "instruments/instruments.h"
#include "instruments/midi_keys.h"
#include "platform/glut_init.h"
#include "platform/help_card.h"
#include "platform/midi.h"
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

static void showMidiNotes(int) {
  showMidiEvents();
  glutTimerFunc(kMidiPollMs, showMidiNotes, 0);
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
  startGlut();
  return 0;
}
