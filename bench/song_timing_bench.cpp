// song_timing_bench: how close to their times a song's notes sound. Writes a
// song of piano notes at uneven times (each cut by a black key, so that each
// is a sound of its own), plays it with --play on the real
// player with all three instruments shown, and compares where each note's
// first sample went out (by the player's record of its buffers, and the
// sample's place in its buffer) with the note's time. Needs an X display.
//   build/bench/song_timing_bench [notes]
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/song.h"
#include "tests/e2e/player_process.h"
#include "tests/support/wav_read.h"

int main(int argc, char** argv) {
  const int notes = argc > 1 ? std::max(2, std::atoi(argv[1])) : 200;
  // 2 s of quiet first, while the guitar is brought out too.
  std::vector<SongEvent> song;
  std::vector<long long> due;
  long long at = 2000000000;
  unsigned seed = 7;
  for (int i = 0; i < notes; i++) {
    const uint8_t white[] = {60, 62, 64, 65, 67, 69, 71, 72};
    song.push_back({at, {0x90, white[i % 8], 127}, 3});
    song.push_back({at + 60000000, {0x90, 61, 1}, 3});
    due.push_back(at);
    seed = seed * 1103515245u + 12345u;
    at += 150000000 + (seed >> 8) % 150000000;  // 150 to 300 ms apart
  }
  const std::string path = "/tmp/plinkar-song-bench-" + std::to_string(getpid()) + ".mid";
  std::string error;
  if (!songWrite(path.c_str(), song, &error)) {
    std::fprintf(stderr, "song_timing_bench: %s\n", error.c_str());
    return 1;
  }
  PlayerProcess player;
  player.arguments = {"--play", path};
  if (!startPlayer(&player)) {
    std::fprintf(stderr, "song_timing_bench: the player did not start:\n%s",
                 playerLog(player).c_str());
    return 1;
  }
  chooseMenuEntry(player, player.playerWindow, 250, 420, 3, 2);  // the guitar
  sleepMs(static_cast<int>((at + 1000000000) / 1000000));
  const std::vector<int16_t> output = ReadRawSamples(player.audioFile);
  std::vector<long long> heard;
  for (size_t i = 0, zeros = 64; i < output.size(); i++) {
    if (output[i] == 0) {
      zeros++;
      continue;
    }
    if (zeros >= 64) {
      // The buffer's time, and the sample's place in it at the device's pace.
      const size_t first = i - i % 128;
      const long long buffer = sampleTimeNanos(player, first);
      if (buffer > 0) heard.push_back(buffer + static_cast<long long>((i - first) * 1e9 / 44100));
    }
    zeros = 0;
  }
  stopPlayer(&player);
  unlink(path.c_str());
  if (heard.size() != due.size()) {
    std::fprintf(stderr, "song_timing_bench: %zu notes heard of %zu\n", heard.size(), due.size());
    return 1;
  }
  std::vector<double> off;  // ms, against the first note
  for (size_t i = 1; i < heard.size(); i++)
    off.push_back(std::fabs((heard[i] - heard[0]) - (due[i] - due[0])) / 1e6);
  std::sort(off.begin(), off.end());
  auto q = [&](double p) { return off[static_cast<size_t>(p * (off.size() - 1))]; };
  std::printf(
      "song notes against their times (%zu notes, all three instruments shown)\n"
      "  |error| median %.2f  p95 %.2f  max %.2f ms\n",
      heard.size(), q(0.5), q(0.95), off.back());
  return 0;
}
