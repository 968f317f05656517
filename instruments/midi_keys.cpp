#include "instruments/midi_keys.h"

#include <GL/freeglut.h>

#include "instruments/instruments.h"
#include "platform/sound.h"

namespace {

constexpr uint8_t kPercussionChannel = 9;  // channel 10, counted from 1

// Notes 60 to 88: the white keys C4 upwards, the black keys between them, each
// on the key of the computer keyboard's rows.
const char kPianoKeys[29] = {'z', 'q', 'x', 'w', 'c', 'v', 'e', 'b', 'r', 'n',
                             't', 'm', 'a', 'y', 's', 'u', 'd', 'f', 'i', 'g',
                             'o', 'h', 'p', 'j', 'k', '[', 'l', ']', ';'};

struct DrumNotes {
  int key;
  uint8_t notes[6];  // 0 ends the list
};
const DrumNotes kDrumNotes[] = {
    {GLUT_KEY_INSERT, {41, 43, 45, 47, 48, 50}},  // toms
    {GLUT_KEY_HOME, {38, 40}},                    // snares
    {GLUT_KEY_PAGE_UP, {35, 36}},                 // bass drums
    {GLUT_KEY_END, {42, 44, 46}},                 // hi-hats
    {GLUT_KEY_PAGE_DOWN, {49, 52, 55, 57}},       // crash, Chinese, splash, crash 2
};

}  // namespace

MidiKey midiKeyFor(const MidiNote& note) {
  if (note.channel != kPercussionChannel) {
    if (note.note >= 60 && note.note <= 88) return {MidiKey::Character, kPianoKeys[note.note - 60]};
    return {MidiKey::NoKey, 0};
  }
  for (const DrumNotes& drum : kDrumNotes)
    for (uint8_t n : drum.notes)
      if (n != 0 && n == note.note) return {MidiKey::Special, drum.key};
  return {MidiKey::NoKey, 0};
}

// MIDI has no key repeat, so no note goes through the computer keys' repeat
// filter: a second note-on is a new stroke, as on a drum pad that sends no
// note-off.
void playMidiNote(const MidiNote& note) {
  const MidiKey key = midiKeyFor(note);
  if (key.kind == MidiKey::NoKey) return;
  if (note.velocity == 0) {
    // The drum keys do nothing on release.
    if (key.kind == MidiKey::Character) keyboardUp(static_cast<unsigned char>(key.key), 0, 0);
    return;
  }
  soundSetLevel(note.velocity / 127.0f);
  if (key.kind == MidiKey::Character)
    keyboard(static_cast<unsigned char>(key.key), 0, 0);
  else
    special(key.key, 0, 0);
  soundSetLevel(1.0f);
}
