#include <GL/freeglut.h>

#include "app/app_state.h"
#include "scene/scene.h"

// Marker colours per chord (Am, C, D, E6, F, G7): at (2, 0, 0), then at
// (-3, 0, 0). Unclamped; Am's first marker is the dimmer one.
static const float markerColors[6][2][3] = {
    {{1, 0, 0}, {3, 0, 0}}, {{0, 3, 0}, {0, 3, 0}}, {{0, 0, 2}, {0, 0, 2}},
    {{3, 3, 0}, {3, 3, 0}}, {{0, 3, 3}, {0, 3, 3}}, {{3, 0, 3}, {3, 0, 3}},
};

static const float stringZ[7] = {0.0f, 0.01f, 0.02f, 0.03f, 0.04f, 0.05f, 0.06f};

static void drawStringSet(float x) {
  glPushMatrix();
  glTranslatef(x, -0.1f, -0.02f);
  for (float z : stringZ) {
    glBegin(GL_LINES);
    glColor3f(0.4f, 0.4f, 0.4f);
    glVertex3f(0.0f, 0.0f, z);
    glVertex3f(1.5f, 0.0f, z);
    glEnd();
  }
  glPopMatrix();
}

static void drawMarker(float x, const float color[3]) {
  glPushMatrix();
  glTranslatef(x, 0.0f, 0.0f);
  glColor3f(color[0], color[1], color[2]);
  glutSolidSphere(0.1, 3, 3);
  glPopMatrix();
}

void drawGuitarOverlays() {
  drawStringSet(1.6f);
  drawStringSet(-3.4f);
  for (int k = 0; k < 6; k++) {
    if (appState.chordHeld[k] != 1) continue;
    drawMarker(2.0f, markerColors[k][0]);
    drawMarker(-3.0f, markerColors[k][1]);
    return;  // only the first held chord is marked
  }
}
