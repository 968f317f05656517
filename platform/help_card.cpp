// Placeholder until the help-card window lands.
#include "platform/help_card.h"

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

void openHelpCard() { initGlutOnce(); }

void setPlayerWindow(int) {}
