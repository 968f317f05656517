#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/freeglut.h>

#include "app/app_state.h"
#include "glm/glm.h"
#include "scene/scene.h"

const float schemeColors[10][3][3] = {
    {{0.2f, 0.2f, 0.2f}, {0.4f, 0.2f, 0.2f}, {0.3f, 0.0f, 0.3f}},
    {{0.1f, 0.2f, 0.1f}, {0.1f, 0.2f, 0.1f}, {0.1f, 0.2f, 0.1f}},
    {{0.2f, 0.0f, 0.1f}, {0.2f, 0.0f, 0.1f}, {0.2f, 0.0f, 0.1f}},
    {{0.0f, 0.1f, 0.2f}, {0.0f, 0.1f, 0.2f}, {0.0f, 0.1f, 0.2f}},
    {{0.3f, 0.6f, 0.1f}, {0.3f, 0.6f, 0.1f}, {0.3f, 0.6f, 0.1f}},
    {{0.1f, 0.4f, 0.2f}, {0.1f, 0.4f, 0.2f}, {0.1f, 0.4f, 0.2f}},
    {{0.2f, 0.1f, 0.6f}, {0.2f, 0.1f, 0.6f}, {0.2f, 0.1f, 0.6f}},
    {{0.0f, 0.3f, 0.2f}, {0.0f, 0.3f, 0.2f}, {0.0f, 0.3f, 0.2f}},
    {{0.0f, 0.3f, 0.0f}, {0.0f, 0.3f, 0.0f}, {0.0f, 0.3f, 0.0f}},
    {{0.6f, 0.6f, 0.6f}, {0.6f, 0.6f, 0.6f}, {0.6f, 0.6f, 0.6f}},
};

// A scheme value outside 0 to 9 sets no colour: the model keeps the current one.
static void setSchemeColor(int scheme, int column) {
  if (scheme < 0 || scheme > 9) return;
  const float* c = schemeColors[scheme][column];
  glColor3f(c[0], c[1], c[2]);
}

static void drawPlaced(Model* model, int scheme, int column) {
  glPushMatrix();
  switch (column) {
    case 0:  // piano
      glRotatef(130.0f, 1.0f, 0.0f, 0.0f);
      break;
    case 1:  // drum kit
      glRotatef(130.0f, 1.0f, 0.0f, 0.0f);
      glRotatef(-90.0f, 0.0f, 1.0f, 0.0f);
      glTranslatef(-2.5f, 0.0f, 0.0f);
      break;
  }
  setSchemeColor(scheme, column);
  glmDraw(model, static_cast<GLuint>(appState.drawMode));
  glPopMatrix();
}

static void drawGuitarCopy(Model* model, float z, int scheme) {
  glPushMatrix();
  glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
  glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
  glTranslatef(0.0f, 0.0f, z);
  setSchemeColor(scheme, 2);
  glmDraw(model, static_cast<GLuint>(appState.drawMode));
  glPopMatrix();
}

void drawInstrumentModels() {
  const AppState& s = appState;
  if (s.models[Piano]) drawPlaced(s.models[Piano], s.colorScheme[0], 0);
  if (s.models[Drum]) drawPlaced(s.models[Drum], s.colorScheme[1], 1);
  if (s.models[Guitar]) {
    drawGuitarCopy(s.models[Guitar], 2.5f, s.colorScheme[2]);
    drawGuitarCopy(s.models[Guitar], -2.5f, s.colorScheme[3]);
  }
}

void display() {
  const AppState& s = appState;
#ifdef _WIN32
  // The shell window's picture is not kept anywhere else; a null handle
  // makes the copy do nothing.
  BitBlt(s.shellDC, 0, 0, 800, 600, s.backdropDC, 0, 0, SRCCOPY);
#else
  // The help card lives in a window of its own here (no shell device
  // contexts), so there is no backdrop to copy each frame.
#endif
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_DEPTH_TEST);
  glLoadIdentity();
  gluLookAt(s.eyeX, s.eyeY, s.eyeZ, s.centerX, s.centerY, s.centerZ, 0.0, 1.0, 0.0);
  glRotatef(s.sceneRotX, 1.0f, 0.0f, 0.0f);
  glRotatef(s.sceneRotY, 0.0f, 1.0f, 0.0f);
  glRotatef(s.sceneRotZ, 0.0f, 0.0f, 1.0f);
  glScalef(s.sceneScale, s.sceneScale, s.sceneScale);
  glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);

  if (s.shown[Piano] == 1) drawPianoKeys();
  if (s.shown[Drum] == 1) drawDrumsticks();
  if (s.shown[Guitar] == 1) drawGuitarOverlays();
  drawInstrumentModels();

  glFlush();
  glutSwapBuffers();
}
