// Keys on the piano, the drum kit and the guitar, the colour keys, and the
// MIDI notes that stand for keys.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/app_state.h"
#include "instruments/instruments.h"
#include "instruments/midi_keys.h"
#include "scene/lighting.h"
#include "tests/player/fake_platform.h"

static const std::string kTonggita = "\xC5\xEB\xB1\xE2\xC5\xB8";

static void pressKeys(const char* keys) {
  for (const char* k = keys; *k; k++) keyboard(static_cast<unsigned char>(*k), 0, 0);
}

TEST(PianoTest, WhiteKeysPlayTheirNotesAndTilt) {
  resetPlayer();
  appState.shown[Piano] = 1;
  pressKeys("zxcvbnmasdfghjkl;");
  const char* expected[17] = {"do", "re", "me",  "pa", "sol", "ra",  "si", "ddo", "re",
                              "me", "pa", "sol", "ra", "si",  "ddo", "re", "mi"};
  ASSERT_EQ(calls.sounds.size(), 17u);
  for (int i = 0; i < 17; i++) {
    EXPECT_EQ(calls.sounds[i].name, std::string("wav\\piano\\") + expected[i] + ".wav") << i;
    EXPECT_EQ(appState.whiteKeyAngle[i], 5.0f) << i;
    EXPECT_EQ(appState.whiteKeyDown[i], 1) << i;
  }
  EXPECT_EQ(calls.timers.size(), 17u);
  EXPECT_EQ(calls.redisplays, 17);
  for (float angle : appState.blackKeyAngle) EXPECT_EQ(angle, 0.0f);
}

TEST(PianoTest, SecondPressReplaysButDoesNotTiltFurther) {
  resetPlayer();
  appState.shown[Piano] = 1;
  pressKeys("zz");
  ASSERT_EQ(calls.sounds.size(), 2u);
  EXPECT_EQ(calls.sounds[1].name, "wav\\piano\\do.wav");
  EXPECT_EQ(calls.timers.size(), 2u);
  EXPECT_EQ(appState.whiteKeyAngle[0], 5.0f);
  fireTimers();
  EXPECT_EQ(appState.whiteKeyAngle[0], 0.0f);
}

TEST(PianoTest, BlackKeysStopTheSoundTiltAndComeBack) {
  resetPlayer();
  appState.shown[Piano] = 1;
  pressKeys("zqw]");
  ASSERT_EQ(calls.sounds.size(), 4u);
  for (int k = 1; k < 4; k++) EXPECT_TRUE(calls.sounds[k].stop) << k;
  EXPECT_EQ(calls.timers.size(), 4u);
  EXPECT_EQ(appState.blackKeyAngle[0], 5.0f);
  EXPECT_EQ(appState.blackKeyAngle[1], 5.0f);
  EXPECT_EQ(appState.blackKeyAngle[11], 5.0f);
  EXPECT_EQ(appState.blackKeyDown[0], 1);
  EXPECT_EQ(appState.blackKeyAngle[2], 0.0f);
  // No white key but z moved: black keys stay off the white arrays.
  for (int i = 1; i < 17; i++) EXPECT_EQ(appState.whiteKeyAngle[i], 0.0f) << i;

  calls.timers[3].callback(1);
  EXPECT_EQ(appState.blackKeyAngle[0], 0.0f);
  EXPECT_EQ(appState.blackKeyDown[11], 0);
  EXPECT_EQ(appState.whiteKeyAngle[0], 0.0f);
}

TEST(PianoTest, HiddenOrUpperCaseDoesNothing) {
  resetPlayer();
  pressKeys("zqx;");  // piano hidden
  appState.shown[Piano] = 1;
  pressKeys("ZQX:");
  EXPECT_TRUE(calls.sounds.empty());
  EXPECT_TRUE(calls.timers.empty());
  for (float angle : appState.whiteKeyAngle) EXPECT_EQ(angle, 0.0f);
  EXPECT_EQ(calls.redisplays, 8);  // every key asks for a frame
}

TEST(DrumTest, HitsSwingTheSticks) {
  resetPlayer();
  appState.shown[Drum] = 1;
  special(GLUT_KEY_INSERT, 0, 0);
  EXPECT_EQ(appState.leftStick.angle, 135);
  EXPECT_EQ(appState.leftStick.axisX, 1);
  EXPECT_EQ(appState.leftStick.x, -0.4f);
  EXPECT_EQ(appState.leftStick.y, 0.3f);
  EXPECT_EQ(appState.leftStick.z, 0.5f);

  special(GLUT_KEY_HOME, 0, 0);
  EXPECT_EQ(appState.rightStick.z, 0.55f);
  special(GLUT_KEY_END, 0, 0);  // same stick: the later pose wins
  EXPECT_EQ(appState.rightStick.axisY, 5);
  EXPECT_EQ(appState.rightStick.y, 0.0f);
  EXPECT_EQ(appState.rightStick.z, 1.0f);
  special(GLUT_KEY_PAGE_DOWN, 0, 0);
  EXPECT_EQ(appState.leftStick.axisY, -5);
  EXPECT_EQ(appState.leftStick.z, 0.9f);

  ASSERT_EQ(calls.sounds.size(), 4u);
  EXPECT_EQ(calls.sounds[0].name, "wav\\drum\\drum.wav");
  EXPECT_EQ(calls.sounds[1].name, "wav\\drum\\snare.wav");
  EXPECT_EQ(calls.sounds[2].name, "wav\\drum\\hat.wav");
  EXPECT_EQ(calls.sounds[3].name, "wav\\drum\\sim.wav");
  EXPECT_EQ(calls.timers.size(), 4u);
  EXPECT_EQ(calls.timers[0].delay, 140u);

  calls.timers[0].callback(1);
  EXPECT_EQ(appState.leftStick.angle, 90);
  EXPECT_EQ(appState.leftStick.axisY, 0);
  EXPECT_EQ(appState.rightStick.angle, 90);
}

TEST(DrumTest, BassDrumMovesNoStickAndArmsNoTimer) {
  resetPlayer();
  appState.shown[Drum] = 1;
  special(GLUT_KEY_PAGE_UP, 0, 0);
  ASSERT_EQ(calls.sounds.size(), 1u);
  EXPECT_EQ(calls.sounds[0].name, "wav\\drum\\base.wav");
  EXPECT_TRUE(calls.timers.empty());
  EXPECT_EQ(appState.leftStick.angle, 90);
  EXPECT_EQ(appState.rightStick.angle, 90);
  EXPECT_EQ(calls.redisplays, 1);
}

TEST(DrumTest, HiddenKitPlaysNothingButArrowsStillWalk) {
  resetPlayer();
  for (int key :
       {GLUT_KEY_INSERT, GLUT_KEY_HOME, GLUT_KEY_PAGE_UP, GLUT_KEY_END, GLUT_KEY_PAGE_DOWN})
    special(key, 0, 0);
  EXPECT_TRUE(calls.sounds.empty());
  EXPECT_TRUE(calls.timers.empty());
  EXPECT_EQ(appState.leftStick.angle, 90);
  special(GLUT_KEY_RIGHT, 0, 0);
  EXPECT_EQ(appState.heading, 0.125f);
}

TEST(GuitarTest, ChordsFollowTheirKeys) {
  resetPlayer();
  appState.shown[Guitar] = 1;
  pressKeys("123456");
  const char* chord[6] = {"Am", "C", "D", "E6", "F", "G7"};
  ASSERT_EQ(calls.sounds.size(), 6u);
  for (int k = 0; k < 6; k++) {
    EXPECT_EQ(calls.sounds[k].name, "wav\\gita\\" + kTonggita + chord[k] + ".wav");
    EXPECT_EQ(appState.chordHeld[k], 1);
  }
  EXPECT_TRUE(calls.timers.empty());
  for (unsigned char key = '1'; key <= '6'; key++) keyboardUp(key, 0, 0);
  for (int k = 0; k < 6; k++) EXPECT_EQ(appState.chordHeld[k], 0);
  // A release neither stops the sound nor asks for a frame.
  EXPECT_EQ(calls.sounds.size(), 6u);
  EXPECT_EQ(calls.redisplays, 6);

  pressKeys("7");
  keyboardUp('7', 0, 0);
  EXPECT_EQ(calls.sounds.size(), 6u);
}

TEST(GuitarTest, HiddenGuitarIgnoresPressAndRelease) {
  resetPlayer();
  appState.shown[Guitar] = 1;
  keyboard('3', 0, 0);
  appState.shown[Guitar] = 0;
  keyboardUp('3', 0, 0);
  keyboard('4', 0, 0);
  EXPECT_EQ(appState.chordHeld[2], 1);  // released while hidden: still held
  EXPECT_EQ(appState.chordHeld[3], 0);
  EXPECT_EQ(calls.sounds.size(), 1u);
}

TEST(ColorKeysTest, StepAndWrapWhateverIsShown) {
  resetPlayer();
  for (int i = 0; i < 9; i++) keyboard('8', 0, 0);
  EXPECT_EQ(appState.colorScheme[0], 9);
  keyboard('8', 0, 0);
  EXPECT_EQ(appState.colorScheme[0], 0);
  pressKeys("9900-");
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
  EXPECT_EQ(currentMaterial.specular[2], 0.773911f);
  EXPECT_EQ(currentMaterial.shininess, 89.6f);
  EXPECT_EQ(currentMaterial.ambient[0], 0.23125f);
  for (int c = 0; c < 4; c++) EXPECT_EQ(currentMaterial.emission[c], start.emission[c]);
  const CurrentMaterial before = currentMaterial;
  materialMenu(0);
  materialMenu(20);
  EXPECT_EQ(currentMaterial.shininess, before.shininess);
  EXPECT_EQ(calls.redisplays, 4);
  EXPECT_STREQ(materialNames[7], "Polished_Gold");
  EXPECT_EQ(materialTable[kPolishedGold - 1].shininess, 83.2f);
}

// Everything a key or note did that can be seen: the calls and the state.
static std::string observed() {
  std::string seen;
  for (const auto& sound : calls.sounds)
    seen +=
        (sound.stop ? std::string("stop") : sound.name) + "@" + std::to_string(sound.level) + " ";
  for (const auto& timer : calls.timers) seen += "timer" + std::to_string(timer.delay) + " ";
  seen += "frames" + std::to_string(calls.redisplays) + " keys";
  for (int i = 0; i < 17; i++) seen += " " + std::to_string(appState.whiteKeyAngle[i]);
  for (int i = 0; i < 12; i++) seen += " " + std::to_string(appState.blackKeyAngle[i]);
  for (const StickPose* s : {&appState.leftStick, &appState.rightStick})
    seen += " stick " + std::to_string(s->angle) + " " + std::to_string(s->axisY) + " " +
            std::to_string(s->x) + " " + std::to_string(s->z);
  return seen;
}

TEST(MidiKeysTest, NotesStandForTheirComputerKeys) {
  const int white[17] = {60, 62, 64, 65, 67, 69, 71, 72, 74, 76, 77, 79, 81, 83, 84, 86, 88};
  const int black[12] = {61, 63, 66, 68, 70, 73, 75, 78, 80, 82, 85, 87};
  std::map<int, int> piano, drums;
  for (int i = 0; i < 17; i++) piano[white[i]] = "zxcvbnmasdfghjkl;"[i];
  for (int i = 0; i < 12; i++) piano[black[i]] = "qwertyuiop[]"[i];
  for (int n : {41, 43, 45, 47, 48, 50}) drums[n] = GLUT_KEY_INSERT;
  for (int n : {38, 40}) drums[n] = GLUT_KEY_HOME;
  for (int n : {35, 36}) drums[n] = GLUT_KEY_PAGE_UP;
  for (int n : {42, 44, 46}) drums[n] = GLUT_KEY_END;
  for (int n : {49, 52, 55, 57}) drums[n] = GLUT_KEY_PAGE_DOWN;
  for (int channel : {0, 8, 9, 15})
    for (int note = 0; note < 128; note++) {
      const std::map<int, int>& map = channel == 9 ? drums : piano;
      const MidiKey key = midiKeyFor({uint8_t(channel), uint8_t(note), 100});
      const auto found = map.find(note);
      if (found == map.end()) {
        EXPECT_EQ(key.kind, MidiKey::NoKey) << channel << " " << note;
      } else {
        EXPECT_EQ(key.kind, channel == 9 ? MidiKey::Special : MidiKey::Character) << note;
        EXPECT_EQ(key.key, found->second) << channel << " " << note;
      }
    }
}

// Press and release, instruments shown or not, every note of the percussion
// channel and of another: a note does what its key does, nothing more.
TEST(MidiKeysTest, NoteOnAndOffDoWhatTheKeyDoes) {
  for (Flag shown : {0, 1})
    for (uint8_t channel : {0, 9})
      for (int note = 0; note < 128; note++) {
        const MidiNote on{channel, uint8_t(note), 127}, off{channel, uint8_t(note), 0};
        resetPlayer();
        for (Flag& s : appState.shown) s = shown;
        playMidiNote(on);
        std::string fromMidi = observed();
        playMidiNote(off);
        fromMidi += " | " + observed();

        resetPlayer();
        for (Flag& s : appState.shown) s = shown;
        const MidiKey key = midiKeyFor(on);
        if (key.kind == MidiKey::Character) keyboard(static_cast<unsigned char>(key.key), 0, 0);
        if (key.kind == MidiKey::Special) special(key.key, 0, 0);
        std::string fromKey = observed();
        if (key.kind == MidiKey::Character) keyboardUp(static_cast<unsigned char>(key.key), 0, 0);
        fromKey += " | " + observed();
        EXPECT_EQ(fromMidi, fromKey) << int(channel) << " " << note;
        if (key.kind == MidiKey::NoKey) {
          EXPECT_EQ(calls.redisplays, 0);
        }
      }
}

TEST(MidiKeysTest, VelocitySetsTheLevelOfItsOwnSoundOnly) {
  resetPlayer();
  appState.shown[Piano] = 1;
  appState.shown[Drum] = 1;
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
