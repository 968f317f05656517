// start_glut.h: the player window, its callbacks and menus, and the main loop.
#ifndef PLINKAR_APP_START_GLUT_H
#define PLINKAR_APP_START_GLUT_H

// Creates the 500x500 player window, registers every callback and both
// menus, arms the first reset timer, sets up lighting and enters the GLUT
// main loop. Never returns.
void startGlut();
// Has every fresh press and every release of a key (a character, or a GLUT
// special key) reported to listener after it played; null: none. Repeats
// are not reported.
void listenToKeys(void (*listener)(int key, bool special, bool down));
// The player window's GLUT number, once startGlut has made it; else 0.
int playerWindowId();
// GLUT idle callback: keeps frames coming.
void idle();

#endif  // PLINKAR_APP_START_GLUT_H
