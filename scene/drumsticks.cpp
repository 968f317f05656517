#include <GL/freeglut.h>

#include "app/app_state.h"
#include "scene/scene.h"

// One quadric for the whole run, made on first use.
static GLUquadric* stickQuadric() {
  static GLUquadric* quadric = nullptr;
  if (!quadric) {
    quadric = gluNewQuadric();
    gluQuadricDrawStyle(quadric, GLU_FILL);
  }
  return quadric;
}

// The sticks set no colour: they take whatever colour was set last.
static void drawStick(GLUquadric* quadric, const StickPose& pose) {
  glPushMatrix();
  glTranslatef(pose.x, pose.y + 2.0f, pose.z + 1.8f);
  glRotatef(static_cast<float>(pose.angle), static_cast<float>(pose.axisX),
            static_cast<float>(pose.axisY), 0.0f);
  gluCylinder(quadric, 0.01, 0.01, 0.4, 10, 3);
  glPopMatrix();
}

void drawDrumsticks() {
  GLUquadric* quadric = stickQuadric();
  drawStick(quadric, appState.leftStick);
  drawStick(quadric, appState.rightStick);
}
