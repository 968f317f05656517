// Keys on the piano, the drum kit and the guitar, the colour keys, the
// material menu, and the MIDI notes that stand for keys.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/app_state.h"
#include "instruments/instruments.h"
#include "instruments/midi_keys.h"
#include "scene/lighting.h"
#include "tests/player/fake_platform.h"

static void pressKeys(const char* keys) {
  for (const char* k = keys; *k; k++) keyboard(static_cast<unsigned char>(*k), 0, 0);
}

// White keys left to right, then the black keys, which only stop the sound.
// A second press plays again but tilts no further.
TEST(PianoTest, EachKeyPlaysItsNoteTiltsAloneAndComesBack) {
  const char keys[] = "zxcvbnmasdfghjkl;qwertyuiop[]";
  const char* notes[17] = {"do", "re", "me",  "pa", "sol", "ra",  "si", "ddo", "re",
                           "me", "pa", "sol", "ra", "si",  "ddo", "re", "mi"};
  for (int k = 0; k < 29; k++) {
    SCOPED_TRACE(keys[k]);
    resetPlayer(true);
    const char twice[3] = {keys[k], keys[k], 0};
    pressKeys(twice);
    ASSERT_EQ(calls.sounds.size(), 2u);
    EXPECT_EQ(calls.sounds[1].stop, k >= 17);
    EXPECT_EQ(calls.sounds[1].name, k < 17 ? std::string("wav\\piano\\") + notes[k] + ".wav" : "");
    ASSERT_EQ(calls.timers.size(), 2u);
    EXPECT_EQ(calls.timers[0].delay, 140u);
    EXPECT_EQ(calls.timers[0].value, 1);
    EXPECT_EQ(calls.redisplays, 2);
    for (int i = 0; i < 29; i++) {
      const float angle = i < 17 ? appState.whiteKeyAngle[i] : appState.blackKeyAngle[i - 17];
      const Flag down = i < 17 ? appState.whiteKeyDown[i] : appState.blackKeyDown[i - 17];
      EXPECT_EQ(angle, i == k ? 5.0f : 0.0f) << i;
      EXPECT_EQ(down, i == k ? 1 : 0) << i;
    }
    fireTimers();
    EXPECT_EQ(k < 17 ? appState.whiteKeyAngle[k] : appState.blackKeyAngle[k - 17], 0.0f);
    EXPECT_EQ(k < 17 ? appState.whiteKeyDown[k] : appState.blackKeyDown[k - 17], 0);
  }
}

TEST(PianoTest, HiddenOrUpperCaseDoesNothing) {
  resetPlayer();
  pressKeys("zqx;");
  appState.shown[Piano] = 1;
  pressKeys("ZQX:");
  EXPECT_TRUE(calls.sounds.empty());
  EXPECT_TRUE(calls.timers.empty());
  for (float angle : appState.whiteKeyAngle) EXPECT_EQ(angle, 0.0f);
  EXPECT_EQ(calls.redisplays, 8);  // every key asks for a frame
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
      resetPlayer(false, shown);
      AppState want = appState;
      if (r.stick && shown) want.*r.stick = r.pose;
      special(r.key, 0, 0);
      ASSERT_EQ(calls.sounds.size(), shown ? 1u : 0u);
      for (const auto& s : calls.sounds)
        EXPECT_EQ(s.name, std::string("wav\\drum\\") + r.sound + ".wav");
      EXPECT_EQ(pose(appState.leftStick), pose(want.leftStick));
      EXPECT_EQ(pose(appState.rightStick), pose(want.rightStick));
      EXPECT_EQ(calls.timers.size(), r.stick && shown ? 1u : 0u);
      for (const auto& timer : calls.timers) EXPECT_EQ(timer.delay, 140u);
      fireTimers();
      EXPECT_EQ(pose(appState.leftStick), "90 1 0 0.000000 -0.200000 0.500000");
      EXPECT_EQ(calls.redisplays, 1);
    }
}

// A release neither stops the sound nor asks for a frame; while the guitar is
// hidden neither press nor release counts.
TEST(GuitarTest, ChordsFollowTheirKeysWhileShown) {
  resetPlayer(false, false, true);
  pressKeys("1234567");
  const char* chord[6] = {"Am", "C", "D", "E6", "F", "G7"};
  ASSERT_EQ(calls.sounds.size(), 6u);
  for (int k = 0; k < 6; k++) {
    // The Korean word is in code page 949, as the sound call gets it.
    EXPECT_EQ(calls.sounds[k].name,
              std::string("wav\\gita\\\xC5\xEB\xB1\xE2\xC5\xB8") + chord[k] + ".wav");
    EXPECT_EQ(appState.chordHeld[k], 1);
  }
  EXPECT_TRUE(calls.timers.empty());
  for (unsigned char key = '1'; key <= '5'; key++) keyboardUp(key, 0, 0);
  for (int k = 0; k < 5; k++) EXPECT_EQ(appState.chordHeld[k], 0);
  EXPECT_EQ(calls.sounds.size(), 6u);
  EXPECT_EQ(calls.redisplays, 7);
  appState.shown[Guitar] = 0;
  keyboardUp('6', 0, 0);
  keyboard('1', 0, 0);
  EXPECT_EQ(appState.chordHeld[5] - appState.chordHeld[0], 1);
  EXPECT_EQ(calls.sounds.size(), 6u);
}

TEST(ColorKeysTest, StepAndWrapWhateverIsShown) {
  resetPlayer();
  for (int i = 0; i < 9; i++) keyboard('8', 0, 0);
  EXPECT_EQ(appState.colorScheme[0], 9);
  pressKeys("89900-");
  EXPECT_EQ(appState.colorScheme[0], 0);
  EXPECT_EQ(appState.colorScheme[1], 2);
  EXPECT_EQ(appState.colorScheme[2], 2);
  EXPECT_EQ(appState.colorScheme[3], 1);
  EXPECT_TRUE(calls.sounds.empty());
}

TEST(MaterialMenuTest, AppliesTheChosenEntryAndKeepsEmission) {
  resetPlayer();
  const CurrentMaterial start = currentMaterial;
  materialMenu(19);
  EXPECT_EQ(currentMaterial.specular[0], 0.4f);
  EXPECT_EQ(currentMaterial.shininess, 10.0f);
  materialMenu(11);
  materialMenu(0);
  materialMenu(20);
  EXPECT_EQ(currentMaterial.specular[2], 0.773911f);
  EXPECT_EQ(currentMaterial.diffuse[1], 0.2775f);
  EXPECT_EQ(currentMaterial.ambient[0], 0.23125f);
  EXPECT_EQ(currentMaterial.shininess, 89.6f);
  for (int c = 0; c < 4; c++) EXPECT_EQ(currentMaterial.emission[c], start.emission[c]);
  EXPECT_EQ(calls.redisplays, 4);
  EXPECT_STREQ(materialNames[7], "Polished_Gold");
}

TEST(MidiKeysTest, NotesStandForTheirComputerKeys) {
  const char keys[] = "zqxwcvebrntmaysudfigohpjk[l];";  // notes 60 to 88
  std::map<int, int> drums;
  for (int n : {41, 43, 45, 47, 48, 50}) drums[n] = GLUT_KEY_INSERT;
  for (int n : {38, 40}) drums[n] = GLUT_KEY_HOME;
  for (int n : {35, 36}) drums[n] = GLUT_KEY_PAGE_UP;
  for (int n : {42, 44, 46}) drums[n] = GLUT_KEY_END;
  for (int n : {49, 52, 55, 57}) drums[n] = GLUT_KEY_PAGE_DOWN;
  for (int channel : {0, 8, 9, 15})
    for (int note = 0; note < 128; note++) {
      SCOPED_TRACE(testing::Message() << channel << " " << note);
      const MidiKey key = midiKeyFor({uint8_t(channel), uint8_t(note), 100});
      const bool piano = channel != 9 && note >= 60 && note <= 88;
      const bool drum = channel == 9 && drums.count(note);
      EXPECT_EQ(key.kind, piano ? MidiKey::Character : drum ? MidiKey::Special : MidiKey::NoKey);
      EXPECT_EQ(key.key, piano ? keys[note - 60] : drum ? drums[note] : 0);
    }
}

// Everything a key or note did that can be seen: the calls and the state.
static std::string observed() {
  std::string seen;
  for (const auto& sound : calls.sounds)
    seen += (sound.stop ? "stop" : sound.name) + "@" + std::to_string(sound.level) + " ";
  for (const auto& timer : calls.timers) seen += "timer" + std::to_string(timer.delay) + " ";
  seen += "frames" + std::to_string(calls.redisplays) + " keys";
  for (float angle : appState.whiteKeyAngle) seen += " " + std::to_string(angle);
  for (float angle : appState.blackKeyAngle) seen += " " + std::to_string(angle);
  return seen + " sticks " + pose(appState.leftStick) + " " + pose(appState.rightStick);
}

// Press and release, instruments shown or not, every note of the percussion
// channel and of another: a note does what its key does, nothing more.
TEST(MidiKeysTest, NoteOnAndOffDoWhatTheKeyDoes) {
  for (bool shown : {false, true})
    for (uint8_t channel : {0, 9})
      for (int note = 0; note < 128; note++) {
        const MidiNote on{channel, uint8_t(note), 127}, off{channel, uint8_t(note), 0};
        resetPlayer(shown, shown, shown);
        playMidiNote(on);
        std::string fromMidi = observed();
        playMidiNote(off);
        fromMidi += " | " + observed();

        resetPlayer(shown, shown, shown);
        const MidiKey key = midiKeyFor(on);
        if (key.kind == MidiKey::Character) keyboard(static_cast<unsigned char>(key.key), 0, 0);
        if (key.kind == MidiKey::Special) special(key.key, 0, 0);
        std::string fromKey = observed();
        if (key.kind == MidiKey::Character) keyboardUp(static_cast<unsigned char>(key.key), 0, 0);
        fromKey += " | " + observed();
        EXPECT_EQ(fromMidi, fromKey) << int(channel) << " " << note;
        EXPECT_TRUE(key.kind != MidiKey::NoKey || calls.redisplays == 0);
      }
}

TEST(MidiKeysTest, VelocitySetsTheLevelOfItsOwnSoundOnly) {
  resetPlayer(true, true);
  playMidiNote({0, 60, 0});  // a note-on of velocity 0 is a note-off
  EXPECT_TRUE(calls.sounds.empty());
  EXPECT_EQ(appState.whiteKeyAngle[0], 0.0f);
  playMidiNote({0, 60, 64});
  playMidiNote({9, 38, 127});
  keyboard('x', 0, 0);
  ASSERT_EQ(calls.sounds.size(), 3u);
  EXPECT_EQ(calls.sounds[0].level, 64 / 127.0f);
  EXPECT_EQ(calls.sounds[1].level, 1.0f);
  EXPECT_EQ(calls.sounds[2].level, 1.0f);
}
