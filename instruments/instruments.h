// instruments.h: switching instruments on and off, and playing them from
// the keyboard.
#ifndef PLINKAR_INSTRUMENTS_INSTRUMENTS_H
#define PLINKAR_INSTRUMENTS_INSTRUMENTS_H

// GLUT menu callback of the instrument menu: 49 piano, 50 drum kit, 51 guitar.
void instrumentMenu(int value);
// Reads, fits and smooths the model of every shown instrument; drops the rest.
void loadInstruments(const char* const name[3]);

// GLUT keyboard callbacks: piano, guitar chords, colour-scheme keys.
void keyboard(unsigned char key, int x, int y);
void keyboardUp(unsigned char key, int x, int y);
// GLUT special-key callback: drum hits, then the camera.
void special(int key, int x, int y);

// Piano key index 0 to 16 is a white key, 17 to 28 a black key (no sound).
void playPianoKey(int index, const char* sound, int delay, int value);
// Tilts white key index (0 to 16) down by five one-degree steps.
void pressPianoKey(int index);
// The same for black key index (0 to 11).
void pressBlackKey(int index);

// The keyboard blocks of each instrument.
void playPiano(unsigned char key);
void playGuitar(unsigned char key);
void stepColorScheme(unsigned char key);

// The sound a piano, guitar or drum key plays (null: a black key, which stops
// the sound); false for any other key.
bool pianoKeySound(unsigned char key, const char** sound);
bool guitarKeySound(unsigned char key, const char** sound);
bool drumKeySound(int key, const char** sound);
// The chord a key holds, in chordHeld order (Am, C, D, E6, F, G7), or -1.
int guitarChord(unsigned char key);

#endif  // PLINKAR_INSTRUMENTS_INSTRUMENTS_H
