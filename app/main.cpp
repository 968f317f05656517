// The player on Linux: the help card opens first, then the player window.
#include "app/app_state.h"
#include "app/start_glut.h"
#include "platform/help_card.h"

int main() {
  initAppState();
  openHelpCard();
  startGlut();
  return 0;
}
