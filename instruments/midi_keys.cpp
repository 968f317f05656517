#include "instruments/midi_keys.h"

#include <GL/freeglut.h>

#include <atomic>
#include <cstdio>

#include "app/app_state.h"
#include "instruments/instruments.h"
#include "platform/lockfree_queue.h"
#include "platform/song.h"
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

// appState.shown as the MIDI thread may read it: bit 0 piano, bit 1 drum kit.
std::atomic<unsigned> g_shown{0};

void (*g_midiHeard)(const MidiEvent& event, long long nanos) = nullptr;

// Events on their way to the player's thread, from MIDI input and songs.
struct QueuedEvent {
  MidiEvent event;
  long long nanos;  // steady_clock, when it came
};
LockFreeQueue<QueuedEvent, 1024> g_toShow;
std::atomic<unsigned long> g_dropped{0};

}  // namespace

MidiKey midiKeyFor(const MidiEvent& event) {
  if (event.kind == MidiEvent::Pedal) return {MidiKey::NoKey, 0};
  if (event.channel != kPercussionChannel) {
    if (event.note >= 60 && event.note <= 88)
      return {MidiKey::Character, kPianoKeys[event.note - 60]};
    return {MidiKey::NoKey, 0};
  }
  for (const DrumNotes& drum : kDrumNotes)
    for (uint8_t n : drum.notes)
      if (n != 0 && n == event.note) return {MidiKey::Special, drum.key};
  return {MidiKey::NoKey, 0};
}

bool midiNoteForPianoKey(unsigned char key, uint8_t* note) {
  for (int i = 0; i < 29; i++) {
    if (kPianoKeys[i] != key) continue;
    *note = static_cast<uint8_t>(60 + i);
    return true;
  }
  return false;
}

bool midiNoteForDrumKey(int key, uint8_t* note) {
  for (const DrumNotes& drum : kDrumNotes) {
    if (drum.key != key) continue;
    *note = drum.notes[0];
    return true;
  }
  return false;
}

// MIDI has no key repeat, so no note goes through the computer keys' repeat
// filter: a second note-on is a new stroke, as on a drum pad that sends no
// note-off.
void hearMidiEvent(const MidiEvent& event) {
  if (!queuePush(&g_toShow, QueuedEvent{event, songClockNanos()}))
    g_dropped.fetch_add(1, std::memory_order_relaxed);
  if (event.kind == MidiEvent::Pedal) {
    soundSustain(event.channel, event.value >= 64);
    return;
  }
  const MidiKey key = midiKeyFor(event);
  if (key.kind == MidiKey::NoKey) return;
  const bool piano = key.kind == MidiKey::Character;
  const int note = piano ? mixerNote(event.channel, event.note) : kMixerNoNote;
  if (event.kind == MidiEvent::NoteOff) {
    if (piano) soundNoteOff(note);
  } else if (g_shown.load(std::memory_order_relaxed) & (piano ? 1u : 2u)) {
    const char* sound = nullptr;
    const bool found = piano ? pianoKeySound(static_cast<unsigned char>(key.key), &sound)
                             : drumKeySound(key.key, &sound);
    if (found) soundPlay(sound, event.value / 127.0f, note);
  }
}

void onMidiShown(void (*heard)(const MidiEvent& event, long long nanos)) { g_midiHeard = heard; }

void showMidiEvents() {
  g_shown.store((appState.shown[Piano] == 1 ? 1u : 0u) | (appState.shown[Drum] == 1 ? 2u : 0u),
                std::memory_order_relaxed);
  soundMuteThisThread(true);
  QueuedEvent queued;
  while (queuePop(&g_toShow, &queued)) {
    const MidiEvent& event = queued.event;
    if (g_midiHeard) g_midiHeard(event, queued.nanos);
    const MidiKey key = midiKeyFor(event);
    if (key.kind == MidiKey::NoKey) continue;
    if (event.kind == MidiEvent::NoteOff) {
      // The drum keys do nothing on release.
      if (key.kind == MidiKey::Character) keyboardUp(static_cast<unsigned char>(key.key), 0, 0);
    } else if (key.kind == MidiKey::Character) {
      keyboard(static_cast<unsigned char>(key.key), 0, 0);
    } else {
      special(key.key, 0, 0);
    }
  }
  soundMuteThisThread(false);
  // Said at most once a second: a dense song could overflow every frame.
  static unsigned long dropped = 0;
  static long long saidAt = 0;
  const unsigned long now = g_dropped.load(std::memory_order_relaxed);
  if (now != dropped && songClockNanos() - saidAt >= 1000000000) {
    std::fprintf(stderr,
                 "plinkar: %lu MIDI notes not shown on the instruments: more came at once than "
                 "fit the queue (all were heard)\n",
                 now - dropped);
    dropped = now;
    saidAt = songClockNanos();
  }
}
