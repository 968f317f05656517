// midi_latency_bench: from a MIDI note-on sent to the player to its sound's
// first sample in SDL's disk driver output, through a JACK server of its own
// (dummy backend, 128-frame periods at 48 kHz) and the real player with
// --midi-connect. Needs an X display (Xvfb will do) and jackd.
//   build/bench/midi_latency_bench [notes]
#include <RtMidi.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/jack_server.h"
#include "tests/e2e/player_process.h"

namespace {

long long nowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Samples in the disk driver's output so far.
size_t outputSamples(const PlayerProcess& player) {
  struct stat info;
  return stat(player.audioFile.c_str(), &info) == 0 ? static_cast<size_t>(info.st_size) / 2 : 0;
}

// When the first sound at or after sample `from` reached the disk driver's
// output (steady_clock ns), waiting up to timeout_ms; -1 if none came. The
// driver writes through a 4 kB stdio buffer, so the time of a sample is worked
// out from when its 8-buffer block appeared and the pace of the blocks; that
// is when the audio callback gave it to the driver, within about 0.2 ms.
long long firstSoundWrittenNanos(const PlayerProcess& player, size_t from, int timeout_ms) {
  constexpr size_t kBlock = 2048;  // samples: 8 buffers of 256
  std::ifstream in(player.audioFile, std::ios::binary);
  const long long deadline = nowNanos() + timeout_ms * 1000000LL;
  size_t seen = outputSamples(player);
  long long jumpAt = -1, foundBlockAt = -1;
  size_t foundBlockEnd = 0;
  double perBuffer = -1;  // ns
  long found = -1;
  while (nowNanos() < deadline) {
    const size_t samples = outputSamples(player);
    if (samples == seen) {
      usleep(100);
      continue;
    }
    const long long now = nowNanos();
    if (samples - seen == kBlock && jumpAt >= 0) perBuffer = (now - jumpAt) / 8.0;
    jumpAt = now;
    const size_t start = std::max(seen, from);
    seen = samples;
    if (found < 0 && samples > start) {
      std::vector<int16_t> block(samples - start);
      in.clear();
      in.seekg(static_cast<std::streamoff>(start * 2));
      in.read(reinterpret_cast<char*>(block.data()),
              static_cast<std::streamsize>(block.size() * 2));
      for (size_t i = 0; i < block.size() && found < 0; i++)
        if (block[i] != 0) found = static_cast<long>(start + i);
      if (found >= 0) {
        foundBlockAt = now;
        foundBlockEnd = samples;
      }
    }
    if (found >= 0 && perBuffer > 0) {
      // stdio writes a full buffer out when the next write comes: the block
      // appears with the first buffer after it.
      const long buffersAfter = static_cast<long>(foundBlockEnd / 256) - found / 256;
      return foundBlockAt - static_cast<long long>(buffersAfter * perBuffer);
    }
  }
  return -1;
}

void send(RtMidiOut* out, std::vector<unsigned char> bytes) { out->sendMessage(&bytes); }

// Note 60 after silence (a black key's note stops every sound), at times
// spread over the audio and JACK periods.
std::vector<double> measure(RtMidiOut* keyboard, int voices, int notes) {
  PlayerProcess player;
  player.arguments = {"--voices", std::to_string(voices), "--midi-connect", "plinkar-bench:keys"};
  if (!startPlayer(&player)) {
    std::fprintf(stderr, "midi_latency_bench: the player did not start:\n%s",
                 playerLog(player).c_str());
    std::exit(1);
  }
  chooseMenuEntry(player.playerWindow, 250, 420, 3, 0);  // "Piano"
  std::vector<double> ms;
  unsigned seed = 1;
  for (int i = 0; i < notes; i++) {
    send(keyboard, {0x90, 61, 100});
    seed = seed * 1103515245u + 12345u;
    sleepMs(150 + static_cast<int>((seed >> 8) % 40));
    const size_t from = outputSamples(player);
    const long long sent = nowNanos();
    send(keyboard, {0x90, 60, 127});
    const long long heard = firstSoundWrittenNanos(player, from, 1000);
    if (heard > 0) ms.push_back((heard - sent) / 1e6);
    send(keyboard, {0x80, 60, 0});
  }
  stopPlayer(&player);
  return ms;
}

void report(const char* what, std::vector<double> ms) {
  if (ms.empty()) {
    std::printf("%s: no note was heard\n", what);
    return;
  }
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) { return ms[static_cast<size_t>(q * (ms.size() - 1))]; };
  std::printf("%s (%zu notes)\n  min %6.2f  median %6.2f  p95 %6.2f  max %6.2f ms\n", what,
              ms.size(), ms.front(), at(0.5), at(0.95), ms.back());
}

}  // namespace

int main(int argc, char** argv) {
  const int notes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "midi_latency_bench: needs an X display\n");
    return 1;
  }
  JackServer jack;
  if (!startJackServer(&jack)) {
    std::fprintf(stderr, "midi_latency_bench: jackd -d dummy did not start\n");
    return 1;
  }
  {
    RtMidiOut keyboard(RtMidi::UNIX_JACK, "plinkar-bench");
    keyboard.openVirtualPort("keys");
    report("note-on to first sample written, 1 voice", measure(&keyboard, 1, notes));
    report("note-on to first sample written, 4 voices", measure(&keyboard, 4, notes));
  }
  stopJackServer(&jack);
  return 0;
}
