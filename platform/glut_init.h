// glut_init.h: GLUT's one initialisation, shared by every window that needs it.
#ifndef PLINKAR_PLATFORM_GLUT_INIT_H
#define PLINKAR_PLATFORM_GLUT_INIT_H

// The program's command line, for glutInit to take X's options from. Without
// it glutInit sees the program's name alone.
void setGlutArguments(int* argc, char** argv);

// glutInit, at most once per process (the help card opens before the player
// window, and both need it).
void initGlutOnce();

#endif  // PLINKAR_PLATFORM_GLUT_INIT_H
