// song.h: Standard MIDI Files, read and written, and played on a thread of
// their own as if they came from a MIDI keyboard. Paths are UTF-8, on
// Windows too.
#ifndef PLINKAR_PLATFORM_SONG_H
#define PLINKAR_PLATFORM_SONG_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/midi.h"

// The clock songs and recordings keep time by: steady_clock, in ns.
inline long long songClockNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// One channel message at its time from the song's start.
struct SongEvent {
  long long nanos;
  uint8_t bytes[3];
  uint8_t length;  // 1 to 3
};

// Every channel message of the file (format 0 or 1, any division) in time
// order, timed by its tempo map; meta events and sysex are left out. Format
// 2's tracks are each timed from the start by their own tempo events. False,
// with *error saying what is wrong, when the file cannot be read, is not
// MIDI or is damaged (a truncated track included).
bool songRead(const char* path, std::vector<SongEvent>* events, std::string* error);

// Writes the events as a format-0 file, 480 ticks a beat at 120 beats a
// minute, through a temporary file in the same folder renamed over path, so
// that a failure leaves no half-written file. False, with *error.
bool songWrite(const char* path, const std::vector<SongEvent>& events, std::string* error);

// Ticks at 480 a beat and 120 beats a minute for a time from the start.
int songTicks(long long nanos);

// Plays the events from start (songClockNanos) on a thread of its own: each
// is read like MIDI input and handed to handler at its time, by the clock.
void songPlay(std::vector<SongEvent> events, long long start, MidiHandler handler);
// Stops the song; runs at exit.
void songStop();

#endif  // PLINKAR_PLATFORM_SONG_H
