// The player's callbacks without a window: the GLUT and sound calls are recorded.
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "glm/glm.h"
#include "instruments/instruments.h"
#include "instruments/midi_keys.h"
#include "instruments/recording.h"
#include "platform/sound.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "tests/support/files.h"

namespace {
struct Timer {
  unsigned delay;
  void (*callback)(int);
  int value;
};
struct Sound {
  std::string name;  // or "(stop)"
  float level;
  int note;
};
struct Calls {
  std::vector<std::pair<std::string, float>> sounds;  // name or "(stop)", the level
  std::vector<Sound> notes;                           // soundPlay's
  std::vector<int> notesOff;
  std::vector<std::pair<int, bool>> pedals;
  std::vector<Timer> timers;
  int redisplays = 0;
  bool muted = false;
} calls;
}  // namespace

void glutPostRedisplay() { calls.redisplays++; }
void glutTimerFunc(unsigned delay, void (*callback)(int), int value) {
  calls.timers.push_back({delay, callback, value});
}
int sndPlaySoundA(const char* name, unsigned) {
  if (!calls.muted) calls.sounds.push_back({name ? name : "(stop)", 1.0f});
  return 1;
}
int soundPlay(const char* name, float level, int note) {
  calls.notes.push_back({name ? name : "(stop)", level, note});
  return 1;
}
void soundNoteOff(int note) { calls.notesOff.push_back(note); }
void soundSustain(int channel, bool down) { calls.pedals.push_back({channel, down}); }
void soundMuteThisThread(bool muted) { calls.muted = muted; }

namespace {

void fireTimers() {
  for (const auto& timer : std::exchange(calls.timers, {})) timer.callback(timer.value);
}

// shown: bit 0 piano, bit 1 drum kit, bit 2 guitar.
void resetPlayer(int shown = 0) {
  for (Model* model : appState.models)
    if (model) glmDestroy(model);
  appState = AppState();
  initAppState();
  calls = Calls();
  for (int i = 0; i < 3; i++) appState.shown[i] = shown >> i & 1;
}

// A pose's fields, compared and printed as one value.
std::tuple<int, int, int, float, float, float> pose(const StickPose& s) {
  return {s.angle, s.axisX, s.axisY, s.x, s.y, s.z};
}
const auto kLeftAtRest = pose({90, 1, 0, 0.0f, -0.2f, 0.5f});
const auto kRightAtRest = pose({90, 1, 0, 0.1f, -0.2f, 0.5f});

void pressKeys(const char* keys) {
  for (const char* k = keys; *k; k++) keyboard(static_cast<unsigned char>(*k), 0, 0);
}

// The piano's keys in note order from MIDI note 60.
const struct PianoKey {
  int midiNote;
  unsigned char key;
  bool black;
  int index;          // among the keys of its colour
  const char* sound;  // under wav\piano\; a black key only stops the sound
} kPianoKeys[] = {
    {60, 'z', false, 0, "do"},    {61, 'q', true, 0, nullptr},  {62, 'x', false, 1, "re"},
    {63, 'w', true, 1, nullptr},  {64, 'c', false, 2, "me"},    {65, 'v', false, 3, "pa"},
    {66, 'e', true, 2, nullptr},  {67, 'b', false, 4, "sol"},   {68, 'r', true, 3, nullptr},
    {69, 'n', false, 5, "ra"},    {70, 't', true, 4, nullptr},  {71, 'm', false, 6, "si"},
    {72, 'a', false, 7, "ddo"},   {73, 'y', true, 5, nullptr},  {74, 's', false, 8, "re"},
    {75, 'u', true, 6, nullptr},  {76, 'd', false, 9, "me"},    {77, 'f', false, 10, "pa"},
    {78, 'i', true, 7, nullptr},  {79, 'g', false, 11, "sol"},  {80, 'o', true, 8, nullptr},
    {81, 'h', false, 12, "ra"},   {82, 'p', true, 9, nullptr},  {83, 'j', false, 13, "si"},
    {84, 'k', false, 14, "ddo"},  {85, '[', true, 10, nullptr}, {86, 'l', false, 15, "re"},
    {87, ']', true, 11, nullptr}, {88, ';', false, 16, "mi"},
};

float angleOf(const PianoKey& k) {
  return k.black ? appState.blackKeyAngle[k.index] : appState.whiteKeyAngle[k.index];
}
Flag downOf(const PianoKey& k) {
  return k.black ? appState.blackKeyDown[k.index] : appState.whiteKeyDown[k.index];
}

// The kit's special keys; the bass drum moves no stick.
const struct DrumHit {
  int key;
  const char* sound;  // under wav\drum\ .
  StickPose AppState::*stick;
  StickPose pose;
  std::vector<int> midiNotes;  // on the percussion channel
} kDrumHits[] = {
    {GLUT_KEY_INSERT,
     "drum",
     &AppState::leftStick,
     {135, 1, 0, -0.4f, 0.3f, 0.5f},
     {41, 43, 45, 47, 48, 50}},
    {GLUT_KEY_HOME, "snare", &AppState::rightStick, {135, 1, 0, 0.4f, 0.3f, 0.55f}, {38, 40}},
    {GLUT_KEY_PAGE_UP, "base", nullptr, {}, {35, 36}},
    {GLUT_KEY_END, "hat", &AppState::rightStick, {135, 1, 5, 0.4f, 0.0f, 1.0f}, {42, 44, 46}},
    {GLUT_KEY_PAGE_DOWN,
     "sim",
     &AppState::leftStick,
     {135, 1, -5, -0.4f, 0.0f, 0.9f},
     {49, 52, 55, 57}},
};

TEST(AppStateTest, WhiteKeysAreSummedInSinglePrecisionAndTheModeStartsAt10) {
  resetPlayer();
  const AppState& s = appState;
  // Summed in single precision from -0.75, not scaled from the index.
  EXPECT_EQ(s.whiteKeyX[0], -0.85f);
  float x = -0.75f;
  for (int i = 1; i < 17; i++, x += 0.1f) EXPECT_EQ(s.whiteKeyX[i], x) << i;
  EXPECT_EQ(s.drawMode, 10);  // smooth and coloured until a model loads
}

// Five one-degree steps on keys that are down only, the flag cleared at 0.
TEST(ResetTimerTest, StepsKeysThatAreDown) {
  struct Row {
    bool black;
    int index;
    Flag down;
    float angle, angleAfter;
    Flag downAfter;
  } rows[] = {{false, 0, 1, 5, 0, 0},
              {false, 16, 1, 3, -2, 0},
              {false, 4, 0, 2, 2, 0},
              {false, 8, 1, 7, 2, 1},
              {true, 11, 1, 5, 0, 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.black << " " << r.index << " " << r.angle);
    resetPlayer();
    Flag* down = r.black ? appState.blackKeyDown : appState.whiteKeyDown;
    float* angle = r.black ? appState.blackKeyAngle : appState.whiteKeyAngle;
    down[r.index] = r.down;
    angle[r.index] = r.angle;
    resetTimer(1);
    EXPECT_EQ(angle[r.index], r.angleAfter);
    EXPECT_EQ(down[r.index], r.downAfter);
  }
}

// The look-at point stays a unit ahead; a resize puts the eye back to z 10 only.
TEST(CameraTest, KeysTurnAndWalkTheEyeAndAResizeResetsItsZ) {
  const int kResize = -1, kFlatten = -2, kMoveEye = -3;
  const struct {
    int key;
    float eyeCenterXZ[4], heading;
  } steps[] = {
      {kResize, {0, 10, 0, 9}, 0},
      {GLUT_KEY_RIGHT, {0, 10, 0.1247f, 9.0078f}, 0.125f},
      {GLUT_KEY_UP, {0.0623f, 9.5039f, 0.1870f, 8.5117f}, 0.125f},
      {GLUT_KEY_DOWN, {0, 10, 0.1247f, 9.0078f}, 0.125f},
      {GLUT_KEY_LEFT, {0, 10, 0, 9}, 0},
      {GLUT_KEY_LEFT, {0, 10, -0.1247f, 9.0078f}, -0.125f},  // never wrapped
      {kMoveEye, {1, 3, -0.1247f, 9.0078f}, -0.125f},
      {GLUT_KEY_F1, {1, 3, 0.8753f, 2.0078f}, -0.125f},
      {kResize, {1, 10, 0.8753f, 9.0078f}, -0.125f},
      {GLUT_KEY_UP, {0.9377f, 9.5039f, 0.8130f, 8.5117f}, -0.125f},
      {kFlatten, {0.9377f, 9.5039f, 0.8130f, 8.5117f}, -0.125f},
  };
  resetPlayer();
  for (const auto& step : steps) {
    SCOPED_TRACE(step.key);
    if (step.key == kResize) reshape(800, 400);
    if (step.key == kFlatten) reshape(640, 0);
    if (step.key == kMoveEye) appState.eyeX = 1, appState.eyeZ = 3;
    if (step.key >= 0) special(step.key, 0, 0);
    const float got[] = {appState.eyeX, appState.eyeZ, appState.centerX, appState.centerZ};
    for (int i = 0; i < 4; i++) EXPECT_NEAR(got[i], step.eyeCenterXZ[i], 1e-4f) << i;
    EXPECT_EQ(appState.heading, step.heading);
  }
  EXPECT_EQ(appState.eyeY, 0.0f);
  EXPECT_EQ(appState.centerY, 0.0f);
  EXPECT_EQ(calls.redisplays, 7);  // one a key, none a resize
  EXPECT_TRUE(calls.sounds.empty());
}

// A degree per five pixels, without limit; the release keeps the last position.
TEST(CameraTest, ALeftDragTurnsTheScene) {
  resetPlayer();
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
  motion(90, 100);
  motion(90, 107);
  EXPECT_EQ(appState.sceneRotY, -2.0f);
  EXPECT_NEAR(appState.sceneRotX, 1.4f, 1e-6f);
  mouse(GLUT_LEFT_BUTTON, GLUT_UP, 50, 50);
  EXPECT_EQ(appState.mouseX, 90);
  EXPECT_EQ(appState.mouseY, 107);
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0);
  for (int x = 10; x <= 1000; x += 10) motion(x, 0);
  EXPECT_FLOAT_EQ(appState.sceneRotY, 198.0f);
}

TEST(CameraTest, OnlyTheLeftButtonDrags) {
  resetPlayer();
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
  mouse(GLUT_LEFT_BUTTON, GLUT_UP, 50, 50);
  motion(0, 0);
  mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 5, 5);
  mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 5, 5);
  motion(10, 10);
  EXPECT_EQ(appState.sceneRotY, 0.0f);
  EXPECT_EQ(appState.mouseState, -1);
  EXPECT_EQ(calls.redisplays, 2);  // the left button's down and up
}

// A white key plays its note, a black one stops the sound; each press arms the reset.
TEST(PianoTest, EveryPressPlaysTheKeysSoundAndArmsItsReset) {
  for (const PianoKey& k : kPianoKeys) {
    SCOPED_TRACE(k.key);
    resetPlayer(1);
    for (int i = 0; i < 2; i++) keyboard(k.key, 0, 0);
    ASSERT_EQ(calls.sounds.size(), 2u);
    EXPECT_EQ(calls.sounds[1].first,
              k.sound ? std::string("wav\\piano\\") + k.sound + ".wav" : "(stop)");
    ASSERT_EQ(calls.timers.size(), 2u);
    EXPECT_EQ(calls.timers[1].delay, 140u);
    EXPECT_EQ(calls.timers[1].value, 1);
    EXPECT_EQ(calls.redisplays, 2);
  }
}

// Pressed twice, tilted once; the timer brings it back.
TEST(PianoTest, OnlyThePressedKeyTiltsUntilItsTimerFires) {
  for (const PianoKey& k : kPianoKeys) {
    SCOPED_TRACE(k.key);
    resetPlayer(1);
    for (int i = 0; i < 2; i++) keyboard(k.key, 0, 0);
    for (const PianoKey& other : kPianoKeys) {
      EXPECT_EQ(angleOf(other), &other == &k ? 5.0f : 0.0f) << other.key;
      EXPECT_EQ(downOf(other), &other == &k ? 1 : 0) << other.key;
    }
    fireTimers();
    EXPECT_EQ(angleOf(k), 0.0f);
    EXPECT_EQ(downOf(k), 0);
  }
}

TEST(DrumTest, EachHitPlaysItsSoundAndSwingsItsStickUntilTheTimer) {
  for (const DrumHit& r : kDrumHits) {
    SCOPED_TRACE(r.sound);
    resetPlayer(2);
    AppState want = appState;
    if (r.stick) want.*r.stick = r.pose;
    special(r.key, 0, 0);
    ASSERT_EQ(calls.sounds.size(), 1u);
    EXPECT_EQ(calls.sounds[0].first, std::string("wav\\drum\\") + r.sound + ".wav");
    EXPECT_EQ(pose(appState.leftStick), pose(want.leftStick));
    EXPECT_EQ(pose(appState.rightStick), pose(want.rightStick));
    ASSERT_EQ(calls.timers.size(), r.stick ? 1u : 0u);
    for (const auto& timer : calls.timers) EXPECT_EQ(timer.delay, 140u);
    fireTimers();
    EXPECT_EQ(pose(appState.leftStick), kLeftAtRest);
    EXPECT_EQ(pose(appState.rightStick), kRightAtRest);
    EXPECT_EQ(calls.redisplays, 1);
  }
}

TEST(DrumTest, AHiddenKitIgnoresItsKeysButAsksForAFrame) {
  for (const DrumHit& r : kDrumHits) {
    SCOPED_TRACE(r.sound);
    resetPlayer();
    special(r.key, 0, 0);
    EXPECT_TRUE(calls.sounds.empty());
    EXPECT_TRUE(calls.timers.empty());
    EXPECT_EQ(pose(appState.leftStick), kLeftAtRest);
    EXPECT_EQ(pose(appState.rightStick), kRightAtRest);
    EXPECT_EQ(calls.redisplays, 1);
  }
}

const char* const kChords[6] = {"Am", "C", "D", "E6", "F", "G7"};  // keys 1 to 6

TEST(GuitarTest, EachNumberKeyPlaysItsChordAndHoldsIt) {
  resetPlayer(4);
  pressKeys("1234567");
  ASSERT_EQ(calls.sounds.size(), 6u);
  for (int k = 0; k < 6; k++) {
    EXPECT_EQ(calls.sounds[k].first,
              std::string("wav\\gita\\\xC5\xEB\xB1\xE2\xC5\xB8") + kChords[k] + ".wav");
    EXPECT_EQ(appState.chordHeld[k], 1) << k;
  }
  EXPECT_TRUE(calls.timers.empty());
  EXPECT_EQ(calls.redisplays, 7);
}

// A release stops nothing and asks no frame.
TEST(GuitarTest, AReleaseLetsGoOfItsChordOnly) {
  resetPlayer(4);
  pressKeys("123456");
  for (unsigned char key = '1'; key <= '5'; key++) keyboardUp(key, 0, 0);
  for (int k = 0; k < 5; k++) EXPECT_EQ(appState.chordHeld[k], 0) << k;
  EXPECT_EQ(appState.chordHeld[5], 1);
  EXPECT_EQ(calls.sounds.size(), 6u);
  EXPECT_EQ(calls.redisplays, 6);
}

TEST(GuitarTest, AHiddenGuitarIgnoresPressesAndReleases) {
  resetPlayer(4);
  keyboard('6', 0, 0);
  appState.shown[Guitar] = 0;
  keyboardUp('6', 0, 0);
  keyboard('1', 0, 0);
  EXPECT_EQ(appState.chordHeld[5], 1);
  EXPECT_EQ(appState.chordHeld[0], 0);
  EXPECT_EQ(calls.sounds.size(), 1u);
}

// Colour keys step and wrap whatever is shown; a hidden piano or upper case plays nothing.
TEST(KeyboardTest, ColourKeysStepAndWrapOthersAreSilent) {
  resetPlayer();
  pressKeys("zqx;888888888");
  EXPECT_EQ(appState.colorScheme[0], 9);
  appState.shown[Piano] = 1;
  pressKeys("ZQX:89900-");
  const int32_t* c = appState.colorScheme;
  EXPECT_EQ(std::vector<int>(c, c + 4), std::vector<int>({0, 2, 2, 1}));
  EXPECT_TRUE(calls.sounds.empty());
  EXPECT_TRUE(calls.timers.empty());
  EXPECT_EQ(calls.redisplays, 23);  // every key asks for a frame
}

// Piano notes 60 to 88 on any channel but the percussion one, drums on it.
TEST(MidiKeysTest, NotesStandForTheirKeys) {
  for (int channel : {0, 9, 15})
    for (int note = 0; note < 128; note++) {
      SCOPED_TRACE(testing::Message() << channel << " " << note);
      const MidiKey key = midiKeyFor({MidiEvent::NoteOn, uint8_t(channel), uint8_t(note), 100});
      MidiKey expected = {MidiKey::NoKey, 0};
      for (const PianoKey& piano : kPianoKeys)
        if (channel != 9 && piano.midiNote == note) expected = {MidiKey::Character, piano.key};
      for (const DrumHit& drum : kDrumHits)
        for (int n : drum.midiNotes)
          if (channel == 9 && n == note) expected = {MidiKey::Special, drum.key};
      EXPECT_EQ(key.kind, expected.kind);
      EXPECT_EQ(key.key, expected.key);
    }
}

// The sound starts on the receiving thread; the key moves on the player's,
// without a second sound.
TEST(MidiKeysTest, ANoteSoundsAtOnceAndItsKeyFollowsOnThePlayersThread) {
  resetPlayer(3);
  showMidiEvents();  // the shown instruments reach the MIDI side
  hearMidiEvent({MidiEvent::NoteOn, 2, 60, 64});
  ASSERT_EQ(calls.notes.size(), 1u);
  EXPECT_EQ(calls.notes[0].name, "wav\\piano\\do.wav");
  EXPECT_EQ(calls.notes[0].level, 64 / 127.0f);
  EXPECT_EQ(calls.notes[0].note, mixerNote(2, 60));
  EXPECT_EQ(appState.whiteKeyAngle[0], 0.0f);
  hearMidiEvent({MidiEvent::NoteOn, 9, 38, 127});
  ASSERT_EQ(calls.notes.size(), 2u);
  EXPECT_EQ(calls.notes[1].name, "wav\\drum\\snare.wav");
  EXPECT_EQ(calls.notes[1].note, kMixerNoNote);
  showMidiEvents();
  EXPECT_EQ(appState.whiteKeyAngle[0], 5.0f);
  EXPECT_EQ(appState.rightStick.angle, 135);
  EXPECT_TRUE(calls.sounds.empty()) << calls.sounds[0].first;
  EXPECT_EQ(calls.timers.size(), 2u);
  keyboard('x', 0, 0);  // a computer key still sounds on the player's thread
  ASSERT_EQ(calls.sounds.size(), 1u);
  EXPECT_EQ(calls.sounds[0].first, "wav\\piano\\re.wav");
}

// Note-offs damp piano notes only; the pedal passes through; a hidden
// instrument plays nothing.
TEST(MidiKeysTest, NoteOffsAndThePedalReachTheSoundHiddenInstrumentsStaySilent) {
  resetPlayer(1);  // the piano alone
  showMidiEvents();
  hearMidiEvent({MidiEvent::NoteOff, 0, 60, 0});
  hearMidiEvent({MidiEvent::NoteOff, 9, 38, 0});
  EXPECT_EQ(calls.notesOff, std::vector<int>{mixerNote(0, 60)});
  hearMidiEvent({MidiEvent::Pedal, 3, 0, 64});
  hearMidiEvent({MidiEvent::Pedal, 3, 0, 63});
  EXPECT_EQ(calls.pedals, (std::vector<std::pair<int, bool>>{{3, true}, {3, false}}));
  hearMidiEvent({MidiEvent::NoteOn, 9, 38, 127});
  EXPECT_TRUE(calls.notes.empty());
  appState.shown[Piano] = 0;
  showMidiEvents();
  hearMidiEvent({MidiEvent::NoteOn, 0, 61, 127});
  EXPECT_TRUE(calls.notes.empty());
}

// What a recording keeps of each key, as MIDI (status, note, velocity).
std::vector<std::tuple<int, int, int>> recordedSince(size_t from) {
  std::vector<std::tuple<int, int, int>> kept;
  const std::vector<SongEvent> events = recordedEvents();
  for (size_t i = from; i < events.size(); i++)
    kept.emplace_back(events[i].bytes[0], events[i].bytes[1], events[i].bytes[2]);
  return kept;
}

TEST(RecordingTest, KeysOfShownInstrumentsAreKeptAsTheirNotes) {
  resetPlayer(0b111);
  const size_t from = recordedEvents().size();
  recordKey('z', false, true);
  recordKey('z', false, false);
  recordKey(GLUT_KEY_HOME, true, true);
  recordKey(GLUT_KEY_HOME, true, false);  // a drum has no note-off
  recordKey('1', false, true);            // Am on channel 3, low string first
  recordMidiEvent({MidiEvent::Pedal, 4, 0, 100}, songClockNanos());
  using Kept = std::vector<std::tuple<int, int, int>>;
  EXPECT_EQ(recordedSince(from), (Kept{{0x90, 60, 127},
                                       {0x80, 60, 0},
                                       {0x99, 38, 127},
                                       {0x92, 45, 127},
                                       {0x92, 52, 127},
                                       {0x92, 57, 127},
                                       {0x92, 60, 127},
                                       {0x92, 64, 127},
                                       {0xB4, 64, 100}}));
}

// Each chord key's notes are the chord's own pitch classes, every one of them.
TEST(RecordingTest, EachChordKeepsThePitchClassesOfItsName) {
  const std::pair<unsigned char, std::set<int>> chords[] = {
      {'1', {9, 0, 4}},     {'2', {0, 4, 7}}, {'3', {2, 6, 9}},
      {'4', {4, 8, 11, 1}}, {'5', {5, 9, 0}}, {'6', {7, 11, 2, 5}}};  // Am C D E6 F G7
  resetPlayer(0b100);
  for (const auto& [key, pitchClasses] : chords) {
    const size_t from = recordedEvents().size();
    recordKey(key, false, true);
    std::set<int> heard;
    for (const auto& [status, note, velocity] : recordedSince(from)) heard.insert(note % 12);
    EXPECT_EQ(heard, pitchClasses) << key;
  }
}

TEST(RecordingTest, KeysOfHiddenInstrumentsAreNotKept) {
  resetPlayer(0);
  const size_t from = recordedEvents().size();
  recordKey('z', false, true);
  recordKey(GLUT_KEY_HOME, true, true);
  recordKey('1', false, true);
  EXPECT_TRUE(recordedSince(from).empty());
}

// A row of n triangles, 4 units wide, off the origin, so that fitting shows.
void writeModel(const char* name, int triangles) {
  std::string text = "v 10 0 0\nv 14 0 0\n";
  for (int t = 0; t < triangles; t++) text += "v " + std::to_string(10 + t) + " 1 1\n";
  for (int t = 0; t < triangles; t++) text += "f 1 2 " + std::to_string(t + 3) + "\n";
  writeFile(std::string("data/") + name + ".obj", text);
}

// The instruments read data/ from the working folder: the test's own from here on.
void writeModels(int piano, int drum, int guitar) {
  mkdir((testDir() + "/data").c_str(), 0700);
  ASSERT_EQ(chdir(testDir().c_str()), 0);
  writeModel("piano", piano);
  writeModel("drum", drum);
  writeModel("gita", guitar);
  resetPlayer();
}

// Entries outside 1 to 19 change nothing; the emission is never touched.
TEST(MenuTest, AMaterialEntrySetsItsColoursAndKeepsTheEmission) {
  resetPlayer();
  const CurrentMaterial start = currentMaterial;
  materialMenu(19);  // Black_Rubber
  EXPECT_EQ(currentMaterial.specular[0], 0.4f);
  EXPECT_EQ(currentMaterial.shininess, 10.0f);
  materialMenu(0);
  materialMenu(20);
  const CurrentMaterial& m = currentMaterial;
  EXPECT_EQ(m.specular[0], 0.4f);
  EXPECT_EQ(std::vector<float>(m.emission, m.emission + 4),
            std::vector<float>(start.emission, start.emission + 4));
  EXPECT_EQ(calls.redisplays, 3);
}

// Fitted: centred on the origin, inside the unit cube; with normals; drawn smooth.
TEST(MenuTest, AnInstrumentChoiceShowsItAndReadsItsModelFitted) {
  writeModels(1, 2, 3);
  instrumentMenu('1');
  EXPECT_EQ(appState.shown[Piano], 1);
  EXPECT_EQ(appState.shown[Drum], 0);
  EXPECT_EQ(appState.shown[Guitar], 0);
  ASSERT_NE(appState.models[Piano], nullptr);
  EXPECT_EQ(appState.models[Drum], nullptr);
  const Model* piano = appState.models[Piano];
  EXPECT_EQ(piano->facecount, 1u);
  EXPECT_NEAR(piano->vertices[3], -piano->vertices[6], 1e-6f);
  EXPECT_LT(piano->vertices[6], 1.0f);
  EXPECT_GT(piano->vertices[6], 0.0f);
  EXPECT_NE(piano->facetnorms, nullptr);
  EXPECT_NE(piano->normals, nullptr);
  EXPECT_EQ(appState.drawMode, MODE_SMOOTH);
  EXPECT_EQ(calls.redisplays, 1);
}

// Even a value that is no entry reloads; hiding an instrument releases its model.
TEST(MenuTest, EveryChoiceReadsEachShownModelAgain) {
  writeModels(1, 2, 3);
  instrumentMenu('1');
  writeModel("piano", 4);
  instrumentMenu('3');
  EXPECT_EQ(appState.models[Piano]->facecount, 4u);
  EXPECT_EQ(appState.models[Guitar]->facecount, 3u);
  writeModel("gita", 5);
  instrumentMenu(0);
  EXPECT_EQ(appState.models[Guitar]->facecount, 5u);
  instrumentMenu('1');
  EXPECT_EQ(appState.shown[Piano], 0);
  EXPECT_EQ(appState.shown[Guitar], 1);
  EXPECT_EQ(appState.models[Piano], nullptr);
}

// Polished_Gold whenever one is shown; with the last one off, material and mode stay.
TEST(MenuTest, ShownInstrumentsTakePolishedGoldNoneKeepTheLook) {
  writeModels(1, 2, 3);
  instrumentMenu('3');
  materialMenu(1);  // Brass
  instrumentMenu('2');
  EXPECT_EQ(currentMaterial.shininess, 83.2f);
  materialMenu(19);
  instrumentMenu('2');  // drum off, guitar still on
  EXPECT_EQ(currentMaterial.shininess, 83.2f);
  materialMenu(19);
  appState.drawMode = 42;
  instrumentMenu('3');
  EXPECT_EQ(currentMaterial.shininess, 10.0f);
  EXPECT_EQ(appState.drawMode, 42);
  // Reloads above leak under the sanitizer build if a replaced model is kept.
  for (Model* model : appState.models) EXPECT_EQ(model, nullptr);
}

}  // namespace
