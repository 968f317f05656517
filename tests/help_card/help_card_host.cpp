// A stand-in player: the help card from the working directory, then a window
// whose idle callback redraws the current window, as the player's does.
#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>

#include "platform/glut_init.h"
#include "platform/help_card.h"

namespace {
int playerWindow = 0;
long idleCalls = 0, foreignCurrent = 0;  // idle calls that found another window current
}  // namespace

int main() {
  std::atexit([] { std::printf("idle %ld foreign %ld\n", idleCalls, foreignCurrent); });
  openHelpCard();
  initGlutOnce();
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
  glutInitWindowPosition(0, 700);
  glutInitWindowSize(200, 200);
  playerWindow = glutCreateWindow("player stand-in");
  setPlayerWindow(playerWindow);
  glutDisplayFunc([] {
    glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glutSwapBuffers();
  });
  glutIdleFunc([] {
    ++idleCalls;
    if (glutGetWindow() != playerWindow) ++foreignCurrent;
    glutPostRedisplay();
  });
  glutMainLoop();
}
