#include "scene/camera.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>

#include "app/app_state.h"
#include "instruments/instruments.h"
#include "tests/player/fake_platform.h"

TEST(CameraTest, ReshapePutsTheEyeTenUnitsBack) {
  resetPlayer();
  reshape(500, 500);
  EXPECT_EQ(appState.eyeZ, 10.0f);
  EXPECT_EQ(appState.centerZ, 9.0f);
  EXPECT_EQ(appState.centerX, 0.0f);
  EXPECT_EQ(calls.redisplays, 0);
}

TEST(CameraTest, TurnAndWalk) {
  resetPlayer();
  reshape(500, 500);
  special(GLUT_KEY_RIGHT, 0, 0);
  special(GLUT_KEY_RIGHT, 0, 0);
  EXPECT_EQ(appState.heading, 0.25f);
  EXPECT_NEAR(appState.centerX, 0.2474f, 1e-4f);
  EXPECT_NEAR(appState.centerZ, 9.0311f, 1e-4f);
  EXPECT_EQ(appState.centerY, 0.0f);

  special(GLUT_KEY_UP, 0, 0);
  EXPECT_NEAR(appState.eyeX, 0.1237f, 1e-4f);
  EXPECT_NEAR(appState.eyeZ, 9.5155f, 1e-4f);
  EXPECT_EQ(appState.eyeY, 0.0f);
  // Still one unit ahead of the eye.
  EXPECT_NEAR(appState.centerX - appState.eyeX, 0.2474f, 1e-4f);

  special(GLUT_KEY_DOWN, 0, 0);
  EXPECT_NEAR(appState.eyeX, 0.0f, 1e-6f);
  EXPECT_NEAR(appState.eyeZ, 10.0f, 1e-6f);
  EXPECT_EQ(calls.redisplays, 4);

  special(GLUT_KEY_LEFT, 0, 0);
  special(GLUT_KEY_LEFT, 0, 0);
  special(GLUT_KEY_LEFT, 0, 0);
  EXPECT_EQ(appState.heading, -0.125f);  // never wrapped
}

TEST(CameraTest, ResizeKeepsSidewaysWalkAndTurnButNotForwardWalk) {
  resetPlayer();
  reshape(500, 500);
  special(GLUT_KEY_RIGHT, 0, 0);
  special(GLUT_KEY_UP, 0, 0);
  special(GLUT_KEY_UP, 0, 0);
  const float eyeX = appState.eyeX;
  reshape(800, 400);
  EXPECT_EQ(appState.eyeZ, 10.0f);
  EXPECT_EQ(appState.eyeX, eyeX);
  EXPECT_EQ(appState.heading, 0.125f);
  EXPECT_NEAR(appState.centerZ, 10.0f - std::cos(0.125f), 1e-6f);

  // A zero height changes nothing at all.
  special(GLUT_KEY_UP, 0, 0);
  const AppState before = appState;
  reshape(640, 0);
  EXPECT_EQ(appState.eyeZ, before.eyeZ);
  EXPECT_EQ(appState.centerZ, before.centerZ);
}

TEST(CameraTest, OtherSpecialKeysOnlyRecomputeTheLookAtPoint) {
  resetPlayer();
  appState.eyeX = 1.0f;
  appState.eyeZ = 3.0f;
  special(GLUT_KEY_F1, 0, 0);
  special(GLUT_KEY_SHIFT_L, 0, 0);
  EXPECT_EQ(appState.eyeX, 1.0f);
  EXPECT_EQ(appState.eyeZ, 3.0f);
  EXPECT_EQ(appState.centerX, 1.0f);
  EXPECT_EQ(appState.centerZ, 2.0f);
  EXPECT_EQ(calls.redisplays, 2);
  EXPECT_TRUE(calls.sounds.empty());
}

TEST(MouseTest, DragTurnsTheSceneOneDegreePerFivePixels) {
  resetPlayer();
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
  EXPECT_EQ(calls.redisplays, 1);
  motion(90, 100);
  EXPECT_EQ(appState.sceneRotY, -2.0f);
  motion(90, 107);
  EXPECT_FLOAT_EQ(appState.sceneRotX, 1.4f);
  EXPECT_EQ(appState.mouseX, 90);
  EXPECT_EQ(appState.mouseY, 107);
  mouse(GLUT_LEFT_BUTTON, GLUT_UP, 50, 50);
  EXPECT_EQ(appState.mouseState, -1);
  EXPECT_EQ(appState.mouseX, 90);  // a release keeps the position
  EXPECT_EQ(calls.redisplays, 4);

  // After the release motion does nothing until the next press.
  motion(0, 0);
  EXPECT_EQ(appState.sceneRotY, -2.0f);
  EXPECT_EQ(calls.redisplays, 4);

  // The menu buttons never reach the camera.
  mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 5, 5);
  mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 5, 5);
  EXPECT_EQ(appState.mouseState, -1);
  EXPECT_EQ(calls.redisplays, 4);
}

TEST(MouseTest, RotationsAccumulateWithoutLimit) {
  resetPlayer();
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0);
  for (int x = 10; x <= 1000; x += 10) motion(x, 0);
  EXPECT_FLOAT_EQ(appState.sceneRotY, 200.0f);
  mouse(GLUT_LEFT_BUTTON, GLUT_UP, 1000, 0);
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 1000, 0);
  mouse(GLUT_LEFT_BUTTON, GLUT_UP, 1000, 0);
  EXPECT_FLOAT_EQ(appState.sceneRotY, 200.0f);  // a click alone turns nothing
}
