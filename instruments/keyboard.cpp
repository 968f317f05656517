#include <GL/freeglut.h>

#include "app/app_state.h"
#include "instruments/instruments.h"

void stepColorScheme(unsigned char key) {
  static const unsigned char keys[4] = {'-', '0', '9', '8'};
  static const int entry[4] = {3, 2, 1, 0};
  for (int k = 0; k < 4; k++) {
    if (key != keys[k]) continue;
    int32_t& scheme = appState.colorScheme[entry[k]];
    scheme += 1;
    if (scheme > 9) scheme = 0;
    return;
  }
}

void keyboard(unsigned char key, int, int) {
  if (appState.shown[Piano] == 1) playPiano(key);
  if (appState.shown[Guitar] == 1) playGuitar(key);
  stepColorScheme(key);
  glutPostRedisplay();
}
