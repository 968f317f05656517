#include <GL/freeglut.h>

#include "app/app_state.h"
#include "scene/scene.h"

// Colours passed unclamped: 10 saturates the ambient term, so white faces and
// black edges show full white whatever their orientation.
static const int whiteKeyFill[3] = {10, 10, 10};
static const int whiteKeyEdge[3] = {0, 0, 0};
static const int blackKeyEdge[3] = {10, 10, 10};
static const int blackKeyFill[3] = {0, 0, 0};

// The six faces of a key box from (0, 0, 0) to (0.1, 0.1, d), corners in
// drawing order; a corner's z is 0 or d, picked by its third field.
static const float faceCorners[6][4][3] = {
    {{0, 0, 0}, {0, 0.1f, 0}, {0.1f, 0.1f, 0}, {0.1f, 0, 0}},
    {{0, 0, 1}, {0, 0.1f, 1}, {0.1f, 0.1f, 1}, {0.1f, 0, 1}},
    {{0, 0.1f, 1}, {0, 0.1f, 0}, {0, 0, 0}, {0, 0, 1}},
    {{0.1f, 0.1f, 1}, {0.1f, 0.1f, 0}, {0.1f, 0, 0}, {0.1f, 0, 1}},
    {{0, 0, 1}, {0, 0, 0}, {0.1f, 0, 0}, {0.1f, 0, 1}},
    {{0, 0.1f, 1}, {0, 0.1f, 0}, {0.1f, 0.1f, 0}, {0.1f, 0.1f, 1}},
};

static void drawKey(GLenum primitive, const int color[3], float angle, float x, float y,
                    float depth) {
  glDisable(GL_CULL_FACE);
  glPushMatrix();
  glColor3f(static_cast<float>(color[0]), static_cast<float>(color[1]),
            static_cast<float>(color[2]));
  glRotatef(130.0f + angle, 1.0f, 0.0f, 0.0f);
  glTranslatef(x, y, 0.05f);
  for (const auto& face : faceCorners) {
    glBegin(primitive);
    for (const auto& c : face) glVertex3f(c[0], c[1], c[2] * depth);
    glEnd();
  }
  glPopMatrix();
}

void drawPianoKeys() {
  const AppState& s = appState;
  for (int i = 0; i < 17; i++)
    drawKey(GL_POLYGON, whiteKeyFill, s.whiteKeyAngle[i], s.whiteKeyX[i], 0.3f, 0.2f);
  for (int i = 0; i < 17; i++)
    drawKey(GL_LINE_STRIP, whiteKeyEdge, s.whiteKeyAngle[i], s.whiteKeyX[i], 0.3f, 0.2f);
  for (int j = 0; j < 12; j++)
    drawKey(GL_LINE_STRIP, blackKeyEdge, s.blackKeyAngle[j], s.blackKeyX[j], 0.32f, 0.12f);
  for (int j = 0; j < 12; j++)
    drawKey(GL_POLYGON, blackKeyFill, s.blackKeyAngle[j], s.blackKeyX[j], 0.32f, 0.12f);
}
