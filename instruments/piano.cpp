#include <GL/freeglut.h>

#include "app/app_state.h"
#include "instruments/instruments.h"
#include "platform/sound.h"

struct PianoKey {
  unsigned char key;
  const char* sound;  // null for the black keys
};

// White keys 0 to 16 from left to right, then black keys 17 to 28.
static const PianoKey pianoKeys[29] = {
    {'z', "wav\\piano\\do.wav"},
    {'x', "wav\\piano\\re.wav"},
    {'c', "wav\\piano\\me.wav"},
    {'v', "wav\\piano\\pa.wav"},
    {'b', "wav\\piano\\sol.wav"},
    {'n', "wav\\piano\\ra.wav"},
    {'m', "wav\\piano\\si.wav"},
    {'a', "wav\\piano\\ddo.wav"},
    {'s', "wav\\piano\\re.wav"},
    {'d', "wav\\piano\\me.wav"},
    {'f', "wav\\piano\\pa.wav"},
    {'g', "wav\\piano\\sol.wav"},
    {'h', "wav\\piano\\ra.wav"},
    {'j', "wav\\piano\\si.wav"},
    {'k', "wav\\piano\\ddo.wav"},
    {'l', "wav\\piano\\re.wav"},
    {';', "wav\\piano\\mi.wav"},
    {'q', nullptr},
    {'w', nullptr},
    {'e', nullptr},
    {'r', nullptr},
    {'t', nullptr},
    {'y', nullptr},
    {'u', nullptr},
    {'i', nullptr},
    {'o', nullptr},
    {'p', nullptr},
    {'[', nullptr},
    {']', nullptr},
};

// Five one-degree steps once started; a key already down does not move.
static void pressKey(Flag& down, float& angle) {
  if (down != 0) return;
  for (int step = 0; step < 5; step++) {
    angle += 1.0f;
    if (angle >= 5.0f) down = 1;
  }
}

void pressPianoKey(int index) {
  pressKey(appState.whiteKeyDown[index], appState.whiteKeyAngle[index]);
}

void pressBlackKey(int index) {
  pressKey(appState.blackKeyDown[index], appState.blackKeyAngle[index]);
}

void playPianoKey(int index, const char* sound, int delay, int value) {
  if (index < 17)
    pressPianoKey(index);
  else
    pressBlackKey(index - 17);
  // A black key has no sound: the call only stops what is playing.
  sndPlaySoundA(sound, SND_ASYNC);
  glutTimerFunc(static_cast<unsigned>(delay), resetTimer, value);
}

void playPiano(unsigned char key) {
  for (int i = 0; i < 29; i++)
    if (key == pianoKeys[i].key) playPianoKey(i, pianoKeys[i].sound, 140, 1);
}

bool pianoKeySound(unsigned char key, const char** sound) {
  for (const PianoKey& k : pianoKeys) {
    if (key != k.key) continue;
    *sound = k.sound;
    return true;
  }
  return false;
}
