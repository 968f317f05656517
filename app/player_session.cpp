#include "app/player_session.h"

#include <GL/freeglut.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/app_state.h"
#include "app/start_glut.h"
#include "instruments/instruments.h"
#include "instruments/midi_keys.h"
#include "instruments/recording.h"
#include "platform/glut_init.h"
#include "platform/midi.h"
#include "platform/midi_internal.h"
#include "platform/song.h"
#include "platform/sound.h"

namespace {

// A MIDI note's sound starts on the thread that receives it; its key, stick
// and timers wait in a queue for this thread. A short timer of their own
// takes them even where frames come every 16 ms or wait for the display.
// MIDI may also turn up later, so the timer always runs.
constexpr unsigned kMidiPollMs = 2;

// Set by SIGINT and SIGTERM while recording: the player's thread ends the
// program, so that the recording is written on the way out.
volatile std::sig_atomic_t endRequested = 0;

void requestEnd(int) { endRequested = 1; }

void showMidiNotes(int) {
  if (endRequested) std::exit(0);
  showMidiEvents();
  glutTimerFunc(kMidiPollMs, showMidiNotes, 0);
}

// --record: where, as an absolute path, since the player may change folders
// to find its data. UTF-8, as the command line gives it on both systems.
std::string recordPath;

void writeRecording() {
  std::string error;
  if (songWrite(recordPath.c_str(), recordedEvents(), &error)) return;
  std::fprintf(stderr, "plinkar: can't write the recording to %s: %s\n", recordPath.c_str(),
               error.c_str());
  std::fflush(stderr);
  std::_Exit(1);
}

std::string absolute(const std::string& path) {
  if (path.empty()) return path;
  std::error_code failed;
  const std::filesystem::path whole =
      std::filesystem::absolute(std::filesystem::u8path(path), failed);
  return failed ? path : whole.u8string();
}

// --play: the song, read before any window opens.
std::vector<SongEvent> song;

// Brings out the instruments the song uses, then starts it a moment later,
// once their models are drawn and the MIDI side knows they are shown.
constexpr long long kSongLeadInNanos = 300000000;

void startSong(int) {
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
void preloadKeySounds() {
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

}  // namespace

int answerCommandLine(const StartOptions& options, FILE* out, FILE* err) {
  switch (options.action) {
    case StartAction::Help:
      printUsage(out);
      return 0;
    case StartAction::Version:
      std::fprintf(out, "plinkar %s\n", PLINKAR_VERSION);
      return 0;
    case StartAction::MidiList:
      midiListSources(out);
      return 0;
    case StartAction::BadUsage:
      std::fprintf(err, "plinkar: %s\n", options.problem.c_str());
      printUsage(err);
      return 2;
    case StartAction::Play:
      break;
  }
  return -1;
}

bool prepareSession(const StartOptions& options, std::string* problem) {
  recordPath = absolute(options.record);
  if (options.play.empty()) return true;
  std::string error;
  if (songRead(options.play.c_str(), &song, &error)) return true;
  *problem = options.play + ": " + error;
  return false;
}

void startPlayerSession(const StartOptions& options) {
  initGlutOnce();
  soundSetVoices(options.voices);
  soundStart();
  preloadKeySounds();
  showMidiEvents();  // which instruments are shown, before any note
  midiOpen(options.midiConnect.c_str(), hearMidiEvent);
  glutTimerFunc(kMidiPollMs, showMidiNotes, 0);
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
}
