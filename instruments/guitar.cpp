#include "app/app_state.h"
#include "instruments/instruments.h"
#include "platform/sound.h"

// The Korean word in the file names is in code page 949, as the program
// hands it to the sound call (C5 EB B1 E2 C5 B8).
#define TONGGITA "\xC5\xEB\xB1\xE2\xC5\xB8"

struct Chord {
  unsigned char key;
  const char* sound;
};

// In chordHeld order: Am, C, D, E6, F, G7.
static const Chord chords[6] = {
    {'1', "wav\\gita\\" TONGGITA "Am.wav"}, {'2', "wav\\gita\\" TONGGITA "C.wav"},
    {'3', "wav\\gita\\" TONGGITA "D.wav"},  {'4', "wav\\gita\\" TONGGITA "E6.wav"},
    {'5', "wav\\gita\\" TONGGITA "F.wav"},  {'6', "wav\\gita\\" TONGGITA "G7.wav"},
};

int guitarChord(unsigned char key) {
  for (int k = 0; k < 6; k++)
    if (chords[k].key == key) return k;
  return -1;
}

void playGuitar(unsigned char key) {
  const int k = guitarChord(key);
  if (k < 0) return;
  sndPlaySoundA(chords[k].sound, SND_ASYNC);
  appState.chordHeld[k] = 1;
}

// The sound plays on; the marker follows the key.
void keyboardUp(unsigned char key, int, int) {
  if (appState.shown[Guitar] != 1) return;
  const int k = guitarChord(key);
  if (k >= 0) appState.chordHeld[k] = 0;
}

bool guitarKeySound(unsigned char key, const char** sound) {
  const int k = guitarChord(key);
  if (k >= 0) *sound = chords[k].sound;
  return k >= 0;
}
