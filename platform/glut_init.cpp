#include "platform/glut_init.h"

#include <GL/freeglut.h>

namespace {
char programName[] = "plinkar";
char* defaultArgv[] = {programName, nullptr};
int defaultArgc = 1;
int* glutArgc = &defaultArgc;
char** glutArgv = defaultArgv;
}  // namespace

void setGlutArguments(int* argc, char** argv) {
  glutArgc = argc;
  glutArgv = argv;
}

void initGlutOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  glutInit(glutArgc, glutArgv);
}
