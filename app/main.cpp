// The player on Linux: the help card opens first, then the player window.
#include "app/app_state.h"
#include "app/start_glut.h"
#include "platform/help_card.h"
#include "platform/sound.h"

int main() {
  initAppState();
  soundStart();
  openHelpCard();
  startGlut();
  return 0;
}
