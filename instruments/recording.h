// recording.h: what is played, kept as MIDI events for --record. Everything
// runs on the player's thread; times are steady_clock nanoseconds.
#ifndef PLINKAR_INSTRUMENTS_RECORDING_H
#define PLINKAR_INSTRUMENTS_RECORDING_H

#include <vector>

#include "platform/midi.h"
#include "platform/song.h"

// A computer key went down (a fresh press, not a repeat) or up: its notes,
// when its instrument is shown. Piano keys are their notes of the MIDI map on
// channel 1 (note-on, and note-off when let go), drum keys the first General
// MIDI note of theirs on channel 10, chord keys the notes of the chord on
// channel 3, all at velocity 127, at songClockNanos. Other keys are not kept.
void recordKey(int key, bool special, bool down);

// A MIDI event heard, from MIDI input or a song, as it came.
void recordMidiEvent(const MidiEvent& event, long long nanos);

// Everything kept so far, timed from the first event.
std::vector<SongEvent> recordedEvents();

#endif  // PLINKAR_INSTRUMENTS_RECORDING_H
