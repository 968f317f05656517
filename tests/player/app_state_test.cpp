#include "app/app_state.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include "instruments/instruments.h"
#include "tests/player/fake_platform.h"

TEST(AppStateTest, StartValues) {
  resetPlayer();
  const AppState& s = appState;
  // Summed in single precision from -0.75, not scaled from the index.
  float x = -0.75f;
  EXPECT_EQ(s.whiteKeyX[0], -0.85f);
  for (int i = 1; i < 17; i++) {
    EXPECT_EQ(s.whiteKeyX[i], x) << i;
    x += 0.1f;
  }
  EXPECT_NEAR(s.whiteKeyX[16], 0.75f, 1e-6f);
  const float black[12] = {-0.8f, -0.7f, -0.5f, -0.4f, -0.3f, -0.1f,
                           0.0f,  0.2f,  0.3f,  0.4f,  0.6f,  0.7f};
  for (int j = 0; j < 12; j++) EXPECT_EQ(s.blackKeyX[j], black[j]);

  EXPECT_EQ(s.drawMode, 10);
  EXPECT_EQ(s.turnStep, 0.125f);
  EXPECT_EQ(s.moveStep, 0.5f);
  EXPECT_EQ(s.sceneScale, 4.0f);
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(s.shown[i], 0);
    EXPECT_EQ(s.models[i], nullptr);
  }
  EXPECT_EQ(s.leftStick.angle, 90);
  EXPECT_EQ(s.leftStick.axisX, 1);
  EXPECT_EQ(s.leftStick.axisY, 0);
  EXPECT_EQ(s.leftStick.y, -0.2f);
  EXPECT_EQ(s.rightStick.x, 0.1f);
  EXPECT_EQ(s.rightStick.z, 0.5f);
  // Flags are single bytes, as every reader compares them with 1.
  EXPECT_EQ(sizeof s.shown[0], 1u);
  EXPECT_EQ(sizeof s.chordHeld, 6u);
}

TEST(ResetTimerTest, FirstTimerReleasesEveryKeyPressedBeforeIt) {
  resetPlayer();
  appState.shown[Piano] = 1;
  keyboard('z', 0, 0);
  keyboard('m', 0, 0);
  ASSERT_EQ(calls.timers.size(), 2u);
  EXPECT_EQ(calls.timers[0].delay, 140u);
  EXPECT_EQ(calls.timers[0].value, 1);
  EXPECT_EQ(appState.whiteKeyAngle[0], 5.0f);
  EXPECT_EQ(appState.whiteKeyAngle[6], 5.0f);

  // The first timer brings both back; the second finds nothing to do.
  calls.timers[0].callback(calls.timers[0].value);
  for (int i : {0, 6}) {
    EXPECT_EQ(appState.whiteKeyAngle[i], 0.0f);
    EXPECT_EQ(appState.whiteKeyDown[i], 0);
  }
  calls.timers[1].callback(calls.timers[1].value);
  EXPECT_EQ(appState.whiteKeyAngle[0], 0.0f);
  EXPECT_EQ(appState.whiteKeyDown[0], 0);
}

TEST(ResetTimerTest, RestsSticksAndReleasesKeysWhoeverArmedIt) {
  resetPlayer();
  appState.shown[Piano] = 1;
  appState.shown[Drum] = 1;
  keyboard('c', 0, 0);
  special(GLUT_KEY_INSERT, 0, 0);
  special(GLUT_KEY_END, 0, 0);
  ASSERT_EQ(calls.timers.size(), 3u);

  // The drum's timer releases the piano key too, and vice versa.
  calls.timers[2].callback(1);
  EXPECT_EQ(appState.whiteKeyDown[2], 0);
  EXPECT_EQ(appState.leftStick.angle, 90);
  EXPECT_EQ(appState.leftStick.x, 0.0f);
  EXPECT_EQ(appState.rightStick.angle, 90);
  EXPECT_EQ(appState.rightStick.axisY, 0);
  EXPECT_EQ(appState.rightStick.x, 0.1f);
}

TEST(ResetTimerTest, WithNothingDownChangesNoKey) {
  resetPlayer();
  appState.whiteKeyAngle[3] = 2.0f;  // not down: the release walks past it
  resetTimer(1);
  EXPECT_EQ(appState.whiteKeyAngle[3], 2.0f);
  EXPECT_EQ(appState.leftStick.angle, 90);
}

TEST(ResetTimerTest, KeyHeldAtAnOddAngleStillEndsUp) {
  resetPlayer();
  // The five steps always all run; the flag clears once the angle reaches 0.
  appState.whiteKeyDown[4] = 1;
  appState.whiteKeyAngle[4] = 3.0f;
  releasePianoKeys();
  EXPECT_EQ(appState.whiteKeyAngle[4], -2.0f);
  EXPECT_EQ(appState.whiteKeyDown[4], 0);
}
