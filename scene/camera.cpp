#include "scene/camera.h"

#include <GL/freeglut.h>

#include <cmath>

#include "app/app_state.h"

// Double-precision results narrowed to float, so the walk does not depend on
// how the float overloads round.
static float cosOf(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }
static float sinOf(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }

void reshape(int width, int height) {
  if (height == 0) return;  // keeps the aspect ratio defined
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(60.0, static_cast<double>(width) / height, 0.01, 1000.0);
  appState.eyeZ = 10.0f;
  updateCamera(0);
  glEnable(GL_DEPTH_TEST);
}

void updateCamera(int key) {
  AppState& s = appState;
  const float move = s.moveStep;
  switch (key) {
    case GLUT_KEY_UP:
      s.eyeZ = s.eyeZ - cosOf(s.heading) * move;
      s.eyeX = sinOf(s.heading) * move + s.eyeX;
      break;
    case GLUT_KEY_DOWN:
      s.eyeZ = cosOf(s.heading) * move + s.eyeZ;
      s.eyeX = s.eyeX - sinOf(s.heading) * move;
      break;
    case GLUT_KEY_LEFT:
      s.heading = s.heading - s.turnStep;
      break;
    case GLUT_KEY_RIGHT:
      s.heading = s.heading + s.turnStep;
      break;
    default:
      break;
  }
  s.centerZ = s.eyeZ - cosOf(s.heading);
  s.centerX = sinOf(s.heading) + s.eyeX;
}

void mouse(int button, int state, int x, int y) {
  AppState& s = appState;
  if (button != GLUT_LEFT_BUTTON) return;
  if (state == GLUT_DOWN) {
    s.mouseState = state;
    s.mouseButton = button;
    s.mouseX = x;
    s.mouseY = y;
    glutPostRedisplay();
  } else if (state == GLUT_UP) {
    s.mouseState = -1;
    glutPostRedisplay();
  }
}

void motion(int x, int y) {
  AppState& s = appState;
  if (s.mouseButton != 0 || s.mouseState != 0) return;
  s.sceneRotY = static_cast<float>(s.sceneRotY - (s.mouseX - x) / 5.0);
  s.sceneRotX = static_cast<float>(s.sceneRotX - (s.mouseY - y) / 5.0);
  glutPostRedisplay();
  s.mouseX = x;
  s.mouseY = y;
}
