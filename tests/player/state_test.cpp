// The player's callbacks without a window: the GLUT and sound calls are recorded.
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "glm/glm.h"
#include "instruments/instruments.h"
#include "instruments/midi_keys.h"
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
  appState = AppState();
  initAppState();
  calls = Calls();
  for (int i = 0; i < 3; i++) appState.shown[i] = shown >> i & 1;
}

std::string pose(const StickPose& s) {
  return std::to_string(s.angle) + " " + std::to_string(s.axisX) + " " + std::to_string(s.axisY) +
         " " + std::to_string(s.x) + " " + std::to_string(s.y) + " " + std::to_string(s.z) + " ";
}

const char kAtRest[] = "90 1 0 0.000000 -0.200000 0.500000 90 1 0 0.100000 -0.200000 0.500000 ";

void pressKeys(const char* keys) {
  for (const char* k = keys; *k; k++) keyboard(static_cast<unsigned char>(*k), 0, 0);
}

TEST(AppStateTest, StartValues) {
  resetPlayer();
  const AppState& s = appState;
  // Summed in single precision from -0.75, not scaled from the index.
  EXPECT_EQ(s.whiteKeyX[0], -0.85f);
  float x = -0.75f;
  for (int i = 1; i < 17; i++, x += 0.1f) EXPECT_EQ(s.whiteKeyX[i], x) << i;
  const float black[12] = {-0.8f, -0.7f, -0.5f, -0.4f, -0.3f, -0.1f,
                           0.0f,  0.2f,  0.3f,  0.4f,  0.6f,  0.7f};
  for (int j = 0; j < 12; j++) EXPECT_EQ(s.blackKeyX[j], black[j]);
  EXPECT_EQ(std::vector<float>({float(s.drawMode), s.turnStep, s.moveStep, s.sceneScale}),
            std::vector<float>({10, 0.125f, 0.5f, 4}));
  for (int i = 0; i < 3; i++) EXPECT_TRUE(s.shown[i] == 0 && s.models[i] == nullptr) << i;
  EXPECT_EQ(pose(s.leftStick) + pose(s.rightStick), kAtRest);
}

// Five one-degree steps on keys that are down only, the flag cleared at 0.
TEST(ResetTimerTest, StepsKeysThatAreDown) {
  struct Row {
    bool black;
    int index;
    Flag down;
    float angle, angleAfter;
    Flag downAfter;
  } rows[] = {{false, 0, 1, 5, 0, 0}, {false, 16, 1, 3, -2, 0}, {false, 4, 0, 2, 2, 0},
              {false, 8, 1, 7, 2, 1}, {true, 0, 1, 5, 0, 0},    {true, 11, 1, 5, 0, 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.black << " " << r.index << " " << r.angle);
    resetPlayer();
    Flag* down = r.black ? appState.blackKeyDown : appState.whiteKeyDown;
    float* angle = r.black ? appState.blackKeyAngle : appState.whiteKeyAngle;
    down[r.index] = r.down;
    angle[r.index] = r.angle;
    resetTimer(1);
    EXPECT_TRUE(angle[r.index] == r.angleAfter && down[r.index] == r.downAfter);
  }
}

// The look-at point stays a unit ahead; a resize puts the eye back to z 10 only.
TEST(CameraTest, TurnWalkResizeAndDrag) {
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
  EXPECT_EQ(appState.eyeY + appState.centerY, 0.0f);
  EXPECT_TRUE(calls.redisplays == 7 && calls.sounds.empty());
  // A left drag turns the scene a degree per five pixels, without limit.
  resetPlayer();
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
  motion(90, 100);
  motion(90, 107);
  EXPECT_TRUE(appState.sceneRotY == -2.0f && std::fabs(appState.sceneRotX - 1.4f) < 1e-6f);
  mouse(GLUT_LEFT_BUTTON, GLUT_UP, 50, 50);
  EXPECT_EQ(appState.mouseX + 1000 * appState.mouseY, 107090);
  motion(0, 0);
  mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 5, 5);
  mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 5, 5);
  motion(10, 10);
  EXPECT_TRUE(appState.sceneRotY == -2.0f && appState.mouseState == -1);
  EXPECT_EQ(calls.redisplays, 4);
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0);
  for (int x = 10; x <= 1000; x += 10) motion(x, 0);
  EXPECT_FLOAT_EQ(appState.sceneRotY, 198.0f);
}

// White keys, then black ones that only stop the sound; pressed twice, tilted once.
TEST(PianoTest, EachKeyPlaysItsNoteTiltsAloneAndComesBack) {
  const char keys[] = "zxcvbnmasdfghjkl;qwertyuiop[]";
  const char* notes[17] = {"do", "re", "me",  "pa", "sol", "ra",  "si", "ddo", "re",
                           "me", "pa", "sol", "ra", "si",  "ddo", "re", "mi"};
  for (int k = 0; k < 29; k++) {
    SCOPED_TRACE(keys[k]);
    resetPlayer(1);
    for (int i = 0; i < 2; i++) keyboard(keys[k], 0, 0);
    ASSERT_EQ(calls.sounds.size(), 2u);
    EXPECT_EQ(calls.sounds[1].first,
              k < 17 ? std::string("wav\\piano\\") + notes[k] + ".wav" : "(stop)");
    ASSERT_EQ(calls.timers.size() + calls.redisplays, 4u);
    EXPECT_EQ(calls.timers[0].delay + calls.timers[0].value, 141u);
    for (int i = 0; i < 29; i++) {
      const float angle = i < 17 ? appState.whiteKeyAngle[i] : appState.blackKeyAngle[i - 17];
      const Flag down = i < 17 ? appState.whiteKeyDown[i] : appState.blackKeyDown[i - 17];
      EXPECT_EQ(angle, i == k ? 5.0f : 0.0f) << i;
      EXPECT_EQ(down, i == k ? 1 : 0) << i;
    }
    fireTimers();
    EXPECT_EQ(k < 17 ? appState.whiteKeyAngle[k] + appState.whiteKeyDown[k]
                     : appState.blackKeyAngle[k - 17] + appState.blackKeyDown[k - 17],
              0.0f);
  }
}

// The bass drum moves no stick and arms no timer; a hidden kit does nothing.
TEST(DrumTest, EachHitSwingsItsStickAndPlaysItsSound) {
  struct Row {
    int key;
    const char* sound;
    StickPose AppState::*stick;
    StickPose pose;
  } rows[] = {
      {GLUT_KEY_INSERT, "drum", &AppState::leftStick, {135, 1, 0, -0.4f, 0.3f, 0.5f}},
      {GLUT_KEY_HOME, "snare", &AppState::rightStick, {135, 1, 0, 0.4f, 0.3f, 0.55f}},
      {GLUT_KEY_PAGE_UP, "base", nullptr, {}},
      {GLUT_KEY_END, "hat", &AppState::rightStick, {135, 1, 5, 0.4f, 0.0f, 1.0f}},
      {GLUT_KEY_PAGE_DOWN, "sim", &AppState::leftStick, {135, 1, -5, -0.4f, 0.0f, 0.9f}},
  };
  for (bool shown : {true, false})
    for (const Row& r : rows) {
      SCOPED_TRACE(testing::Message() << r.sound << shown);
      resetPlayer(shown ? 2 : 0);
      AppState want = appState;
      if (r.stick && shown) want.*r.stick = r.pose;
      special(r.key, 0, 0);
      ASSERT_EQ(calls.sounds.size(), shown ? 1u : 0u);
      for (const auto& s : calls.sounds)
        EXPECT_EQ(s.first, std::string("wav\\drum\\") + r.sound + ".wav");
      EXPECT_EQ(pose(appState.leftStick), pose(want.leftStick));
      EXPECT_EQ(pose(appState.rightStick), pose(want.rightStick));
      EXPECT_EQ(calls.timers.size(), r.stick && shown ? 1u : 0u);
      for (const auto& timer : calls.timers) EXPECT_EQ(timer.delay, 140u);
      fireTimers();
      EXPECT_EQ(pose(appState.leftStick) + pose(appState.rightStick), kAtRest);
      EXPECT_EQ(calls.redisplays, 1);
    }
}

// A release stops nothing and asks no frame; a hidden guitar ignores keys.
TEST(GuitarTest, ChordsFollowTheirKeysWhileShown) {
  resetPlayer(4);
  pressKeys("1234567");
  std::string played;
  for (const auto& s : calls.sounds) played += s.first.substr(15) + " ";
  EXPECT_EQ(calls.sounds.at(0).first.substr(0, 15), "wav\\gita\\\xC5\xEB\xB1\xE2\xC5\xB8");
  EXPECT_EQ(played, "Am.wav C.wav D.wav E6.wav F.wav G7.wav ");
  EXPECT_EQ(std::vector<Flag>(appState.chordHeld, appState.chordHeld + 6), std::vector<Flag>(6, 1));
  EXPECT_TRUE(calls.timers.empty());
  for (unsigned char key = '1'; key <= '5'; key++) keyboardUp(key, 0, 0);
  for (int k = 0; k < 5; k++) EXPECT_EQ(appState.chordHeld[k], 0);
  EXPECT_EQ(calls.sounds.size() + calls.redisplays, 13u);
  appState.shown[Guitar] = 0;
  keyboardUp('6', 0, 0);
  keyboard('1', 0, 0);
  EXPECT_EQ(appState.chordHeld[5] - appState.chordHeld[0], 1);
  EXPECT_EQ(calls.sounds.size(), 6u);
}

// Colour keys step and wrap whatever is shown; a hidden piano or upper case plays nothing.
TEST(KeyboardTest, ColourKeysStepAndWrapOthersAreSilent) {
  resetPlayer();
  pressKeys("zqx;888888888");
  EXPECT_EQ(appState.colorScheme[0], 9);
  appState.shown[Piano] = 1;
  pressKeys("ZQX:89900-");
  const int32_t* c = appState.colorScheme;
  EXPECT_EQ(std::vector<int>({c[0], c[1], c[2], c[3]}), std::vector<int>({0, 2, 2, 1}));
  EXPECT_TRUE(calls.sounds.empty() && calls.timers.empty());
  EXPECT_EQ(calls.redisplays, 23);  // every key asks for a frame
}

// Piano notes 60 to 88 on any channel but the percussion one, drums on it.
TEST(MidiKeysTest, NotesStandForTheirKeys) {
  const char keys[] = "zqxwcvebrntmaysudfigohpjk[l];";
  const struct {
    int key;
    std::vector<int> notes;
  } drums[] = {
      {GLUT_KEY_INSERT, {41, 43, 45, 47, 48, 50}},
      {GLUT_KEY_HOME, {38, 40}},
      {GLUT_KEY_PAGE_UP, {35, 36}},
      {GLUT_KEY_END, {42, 44, 46}},
      {GLUT_KEY_PAGE_DOWN, {49, 52, 55, 57}},
  };
  for (uint8_t channel : {0, 8, 9, 15})
    for (int note = 0; note < 128; note++) {
      SCOPED_TRACE(testing::Message() << int(channel) << " " << note);
      const MidiKey key = midiKeyFor({MidiEvent::NoteOn, channel, uint8_t(note), 100});
      MidiKey expected = {MidiKey::NoKey, 0};
      if (channel != 9 && note >= 60 && note <= 88)
        expected = {MidiKey::Character, keys[note - 60]};
      for (const auto& drum : drums)
        for (int n : drum.notes)
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

// A row of n triangles, 4 units wide, off the origin, so that fitting shows.
void writeModel(const char* name, int triangles) {
  std::string text = "v 10 0 0\nv 14 0 0\n";
  for (int t = 0; t < triangles; t++) text += "v " + std::to_string(10 + t) + " 1 1\n";
  for (int t = 0; t < triangles; t++) text += "f 1 2 " + std::to_string(t + 3) + "\n";
  writeFile(std::string("data/") + name + ".obj", text);
}

// A material keeps the emission; an instrument choice reads every shown model from data/ again.
TEST(MenuTest, MaterialsApplyInstrumentsToggleAndReload) {
  resetPlayer();
  const CurrentMaterial start = currentMaterial;
  materialMenu(19);
  EXPECT_EQ(currentMaterial.specular[0] * currentMaterial.shininess, 4.0f);
  for (int entry : {11, 0, 20}) materialMenu(entry);  // the last two are not entries
  const CurrentMaterial& m = currentMaterial;
  EXPECT_EQ(std::vector<float>({m.specular[2], m.diffuse[1], m.ambient[0], m.shininess}),
            std::vector<float>({0.773911f, 0.2775f, 0.23125f, 89.6f}));
  EXPECT_EQ(std::vector<float>(m.emission, m.emission + 4),
            std::vector<float>(start.emission, start.emission + 4));
  EXPECT_EQ(calls.redisplays, 4);
  EXPECT_STREQ(materialNames[7], "Polished_Gold");
  mkdir((testDir() + "/data").c_str(), 0700);
  ASSERT_EQ(chdir(testDir().c_str()), 0);
  writeModel("piano", 1);
  writeModel("drum", 2);
  writeModel("gita", 3);
  resetPlayer();
  instrumentMenu('1');
  EXPECT_EQ(appState.shown[Piano] + appState.shown[Drum] + appState.shown[Guitar], 1);
  ASSERT_TRUE(appState.models[Piano] != nullptr && appState.models[Drum] == nullptr);
  const Model* piano = appState.models[Piano];
  EXPECT_EQ(piano->facecount, 1u);
  // Fitted: centred on the origin, inside the unit cube; with normals.
  EXPECT_NEAR(piano->vertices[3], -piano->vertices[6], 1e-6f);
  EXPECT_TRUE(piano->vertices[6] < 1.0f && piano->vertices[6] > 0.0f);
  EXPECT_TRUE(piano->facetnorms != nullptr && piano->normals != nullptr);
  EXPECT_EQ(appState.drawMode + 100 * calls.redisplays, MODE_SMOOTH + 100);
  writeModel("piano", 4);
  instrumentMenu('3');
  EXPECT_EQ(appState.models[Piano]->facecount + 10 * appState.models[Guitar]->facecount, 34u);
  writeModel("gita", 5);
  instrumentMenu(0);  // not an entry: toggles nothing, still reloads
  EXPECT_EQ(appState.models[Guitar]->facecount, 5u);
  instrumentMenu('1');
  EXPECT_TRUE(!appState.shown[Piano] && appState.shown[Guitar] && !appState.models[Piano]);
  materialMenu(1);  // Brass
  instrumentMenu('2');
  EXPECT_EQ(currentMaterial.shininess, 83.2f);  // Polished_Gold
  materialMenu(19);
  instrumentMenu('2');  // drum off, guitar still on
  EXPECT_EQ(currentMaterial.shininess, 83.2f);
  materialMenu(19);
  appState.drawMode = 42;
  instrumentMenu('3');  // the last one off: material and mode stay
  EXPECT_TRUE(currentMaterial.shininess == 10.0f && appState.drawMode == 42);
  // Reloads above leak under the sanitizer build if a replaced model is kept.
  for (Model* model : appState.models) EXPECT_EQ(model, nullptr);
}

}  // namespace
