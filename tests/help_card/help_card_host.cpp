// A stand-in player for the help-card tests: opens the help card from the
// working directory, then a "player" window whose idle callback redraws the
// current window, as the real player's does. At exit it prints how often the
// idle callback found another window current.
#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>

#include "platform/glut_init.h"
#include "platform/help_card.h"

namespace {

int playerWindow = 0;
long idleCalls = 0, foreignCurrent = 0;

void Idle() {
  ++idleCalls;
  if (glutGetWindow() != playerWindow) ++foreignCurrent;
  glutPostRedisplay();
}

void Display() {
  glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glutSwapBuffers();
}

void Report() {
  std::printf("idle %ld foreign %ld\n", idleCalls, foreignCurrent);
  std::fflush(stdout);
}

}  // namespace

int main() {
  std::atexit(Report);
  openHelpCard();
  initGlutOnce();
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
  glutInitWindowPosition(0, 700);
  glutInitWindowSize(200, 200);
  playerWindow = glutCreateWindow("player stand-in");
  setPlayerWindow(playerWindow);
  glutDisplayFunc(Display);
  glutIdleFunc(Idle);
  glutMainLoop();
  return 0;
}
