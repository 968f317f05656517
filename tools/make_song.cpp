// make_song: writes the demo song, data/songs/demo.mid: eight bars of a
// melody on the piano over a drum beat, 100 beats a minute, made of the notes
// the player has. The same bytes on every run.
//   build/tools/make_song data/songs/demo.mid
#include <cstdio>
#include <string>
#include <vector>

#include "platform/song.h"

namespace {

constexpr long long kBeat = 600000000;  // ns at 100 beats a minute
constexpr long long kEighth = kBeat / 2;

void note(std::vector<SongEvent>* events, long long at, long long length, uint8_t channel,
          uint8_t pitch, uint8_t velocity) {
  events->push_back({at, {uint8_t(0x90 | channel), pitch, velocity}, 3});
  events->push_back({at + length, {uint8_t(0x80 | channel), pitch, 0}, 3});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_song FILE.mid\n");
    return 2;
  }
  // The melody in eighths, 0 a rest: C major, inside the piano's white keys.
  const uint8_t melody[] = {
      60, 64, 67, 72, 71, 67, 64, 67, 65, 69, 72, 77, 76, 72, 69, 72, 67, 71, 74, 79, 77, 74,
      71, 74, 72, 67, 64, 60, 64, 67, 72, 0,  64, 67, 72, 76, 74, 72, 71, 72, 65, 69, 72, 76,
      74, 72, 69, 65, 67, 71, 74, 77, 76, 74, 72, 71, 72, 67, 64, 67, 72, 0,  0,  0,
  };
  std::vector<SongEvent> events;
  for (size_t i = 0; i < sizeof melody; i++) {
    if (melody[i] == 0) continue;
    const bool downbeat = i % 8 == 0;
    note(&events, i * kEighth, kEighth - 30000000, 0, melody[i], downbeat ? 110 : 84);
  }
  // Bass drum on one and three, snare on two and four, hi-hat on the eighths,
  // a crash at the start and on the last bar.
  const int bars = 8;
  for (int beat = 0; beat < bars * 4; beat++) {
    const long long at = beat * kBeat;
    note(&events, at, kEighth, 9, beat % 2 == 0 ? 36 : 38, 100);
    note(&events, at, kEighth / 2, 9, 42, 70);
    note(&events, at + kEighth, kEighth / 2, 9, 42, 60);
  }
  note(&events, 0, kBeat, 9, 49, 110);
  note(&events, (bars - 1) * 4 * kBeat, kBeat, 9, 49, 110);
  std::string error;
  if (!songWrite(argv[1], events, &error)) {
    std::fprintf(stderr, "make_song: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  return 0;
}
