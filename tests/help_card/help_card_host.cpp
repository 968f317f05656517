// A stand-in player: the help card from the working directory, then a window
// whose idle callback redraws the current window, as the player's does.
#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>

#include "platform/glut_init.h"
#include "platform/help_card.h"

static int playerWindow = 0;
static long idle = 0, foreign = 0;  // idle calls, and those that found another window current

int main() {
  std::atexit([] { std::printf("idle %ld foreign %ld\n", idle, foreign); });
  openHelpCard();
  initGlutOnce();
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
  glutInitWindowPosition(0, 700);
  setPlayerWindow(playerWindow = glutCreateWindow("player stand-in"));
  glutDisplayFunc([] { glClear(GL_COLOR_BUFFER_BIT), glutSwapBuffers(); });
  glutIdleFunc([] { idle++, foreign += glutGetWindow() != playerWindow, glutPostRedisplay(); });
  glutMainLoop();
}
