#include "platform/glut_init.h"

#include <GL/freeglut.h>

void initGlutOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  int argc = 1;
  char name[] = "plinkar";
  char* argv[] = {name, nullptr};
  glutInit(&argc, argv);
}
