// Start values, the reset timer, and the camera and mouse callbacks.
#include "app/app_state.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>

#include "instruments/instruments.h"
#include "scene/camera.h"
#include "tests/player/fake_platform.h"

TEST(AppStateTest, StartValues) {
  appState = AppState();
  initAppState();
  const AppState& s = appState;
  // Summed in single precision from -0.75, not scaled from the index.
  EXPECT_EQ(s.whiteKeyX[0], -0.85f);
  float x = -0.75f;
  for (int i = 1; i < 17; i++, x += 0.1f) EXPECT_EQ(s.whiteKeyX[i], x) << i;
  const float black[12] = {-0.8f, -0.7f, -0.5f, -0.4f, -0.3f, -0.1f,
                           0.0f,  0.2f,  0.3f,  0.4f,  0.6f,  0.7f};
  for (int j = 0; j < 12; j++) EXPECT_EQ(s.blackKeyX[j], black[j]);
  EXPECT_EQ(s.drawMode, 10);
  EXPECT_EQ(s.turnStep, 0.125f);
  EXPECT_EQ(s.moveStep, 0.5f);
  EXPECT_EQ(s.sceneScale, 4.0f);
  for (int i = 0; i < 3; i++) EXPECT_TRUE(s.shown[i] == 0 && s.models[i] == nullptr) << i;
  EXPECT_EQ(pose(s.leftStick), "90 1 0 0.000000 -0.200000 0.500000");
  EXPECT_EQ(pose(s.rightStick), "90 1 0 0.100000 -0.200000 0.500000");
  // Flags are single bytes, as every reader compares them with 1.
  EXPECT_EQ(sizeof s.shown[0], 1u);
  EXPECT_EQ(sizeof s.chordHeld, 6u);
}

TEST(ResetTimerTest, RestsSticksAndReleasesKeysWhoeverArmedIt) {
  resetPlayer(true, true);
  keyboard('c', 0, 0);
  keyboard('q', 0, 0);
  special(GLUT_KEY_INSERT, 0, 0);
  special(GLUT_KEY_END, 0, 0);
  ASSERT_EQ(calls.timers.size(), 4u);
  calls.timers[3].callback(1);  // the hi-hat's timer
  EXPECT_EQ(appState.whiteKeyDown[2] + appState.blackKeyDown[0], 0);
  EXPECT_EQ(pose(appState.leftStick), "90 1 0 0.000000 -0.200000 0.500000");
  EXPECT_EQ(pose(appState.rightStick), "90 1 0 0.100000 -0.200000 0.500000");
}

// Five one-degree steps that always all run, on keys that are down only; the
// flag clears once the angle reaches 0.
TEST(ResetTimerTest, ReleaseStepsKeysThatAreDown) {
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
    EXPECT_EQ(angle[r.index], r.angleAfter);
    EXPECT_EQ(down[r.index], r.downAfter);
  }
}

// The look-at point stays one unit ahead of the eye; a resize puts the eye
// back ten units but keeps sideways walk and turn; a zero height changes
// nothing at all; other keys only recompute the look-at point.
TEST(CameraTest, TurnWalkAndResize) {
  const int kResize = -1, kFlatten = -2, kMoveEye = -3;
  const struct {
    int key;
    float eyeX, eyeZ, centerX, centerZ, heading;
  } steps[] = {
      {kResize, 0, 10, 0, 9, 0},
      {GLUT_KEY_RIGHT, 0, 10, 0.1247f, 9.0078f, 0.125f},
      {GLUT_KEY_RIGHT, 0, 10, 0.2474f, 9.0311f, 0.25f},
      {GLUT_KEY_UP, 0.1237f, 9.5155f, 0.3711f, 8.5466f, 0.25f},
      {GLUT_KEY_DOWN, 0, 10, 0.2474f, 9.0311f, 0.25f},
      {GLUT_KEY_LEFT, 0, 10, 0.1247f, 9.0078f, 0.125f},
      {GLUT_KEY_LEFT, 0, 10, 0, 9, 0},
      {GLUT_KEY_LEFT, 0, 10, -0.1247f, 9.0078f, -0.125f},  // never wrapped
      {kMoveEye, 1, 3, -0.1247f, 9.0078f, -0.125f},
      {GLUT_KEY_F1, 1, 3, 0.8753f, 2.0078f, -0.125f},
      {kResize, 1, 10, 0.8753f, 9.0078f, -0.125f},
      {GLUT_KEY_UP, 0.9377f, 9.5039f, 0.8130f, 8.5117f, -0.125f},
      {kFlatten, 0.9377f, 9.5039f, 0.8130f, 8.5117f, -0.125f},
  };
  resetPlayer();
  for (const auto& step : steps) {
    SCOPED_TRACE(step.key);
    if (step.key == kResize) reshape(800, 400);
    if (step.key == kFlatten) reshape(640, 0);
    if (step.key == kMoveEye) appState.eyeX = 1, appState.eyeZ = 3;
    if (step.key >= 0) special(step.key, 0, 0);
    EXPECT_NEAR(appState.eyeX, step.eyeX, 1e-4f);
    EXPECT_NEAR(appState.eyeZ, step.eyeZ, 1e-4f);
    EXPECT_NEAR(appState.centerX, step.centerX, 1e-4f);
    EXPECT_NEAR(appState.centerZ, step.centerZ, 1e-4f);
    EXPECT_EQ(appState.heading, step.heading);
  }
  EXPECT_EQ(appState.eyeY + appState.centerY, 0.0f);
  EXPECT_EQ(calls.redisplays, 9);
  EXPECT_TRUE(calls.sounds.empty());
}

TEST(MouseTest, LeftDragTurnsTheSceneOneDegreePerFivePixelsWithoutLimit) {
  resetPlayer();
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
  EXPECT_EQ(calls.redisplays, 1);
  motion(90, 100);
  EXPECT_EQ(appState.sceneRotY, -2.0f);
  motion(90, 107);
  EXPECT_FLOAT_EQ(appState.sceneRotX, 1.4f);
  mouse(GLUT_LEFT_BUTTON, GLUT_UP, 50, 50);
  EXPECT_EQ(appState.mouseState, -1);
  EXPECT_EQ(appState.mouseX, 90);  // a release keeps the position
  EXPECT_EQ(appState.mouseY, 107);
  EXPECT_EQ(calls.redisplays, 4);
  // Released, or with the menu buttons, motion does nothing.
  motion(0, 0);
  mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 5, 5);
  mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 5, 5);
  motion(10, 10);
  EXPECT_EQ(appState.sceneRotY, -2.0f);
  EXPECT_EQ(appState.mouseState, -1);
  EXPECT_EQ(calls.redisplays, 4);

  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0);
  for (int x = 10; x <= 1000; x += 10) motion(x, 0);
  EXPECT_FLOAT_EQ(appState.sceneRotY, 198.0f);
}
