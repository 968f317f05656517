// start_glut.h: the player window, its callbacks and menus, and the main loop.
#ifndef PLINKAR_APP_START_GLUT_H
#define PLINKAR_APP_START_GLUT_H

// Creates the 500x500 player window, registers every callback and both
// menus, arms the first reset timer, sets up lighting and enters the GLUT
// main loop. Never returns.
void startGlut();
// GLUT idle callback: keeps frames coming.
void idle();

#endif  // PLINKAR_APP_START_GLUT_H
