// help_card.h: the help-card window "Plinkar" (800x600) with its Exit/About
// menu and About window, as GLUT windows beside the player's.
#ifndef PLINKAR_PLATFORM_HELP_CARD_H
#define PLINKAR_PLATFORM_HELP_CARD_H

// Opens the help-card window; it redraws whenever the window system asks.
void openHelpCard();

// The player's window: after its own callbacks the help card makes it current
// again, so that the player's idle redraw keeps going to the player window.
void setPlayerWindow(int window);

#endif  // PLINKAR_PLATFORM_HELP_CARD_H
