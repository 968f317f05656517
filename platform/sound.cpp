// Placeholder until the SDL2 implementation lands.
#include "platform/sound.h"

int sndPlaySoundA(const char*, unsigned) { return 0; }
