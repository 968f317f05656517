// midi_latency_bench: from a MIDI note-on sent to the player to its sound's
// first sample in SDL's disk driver output, through a JACK server of its own
// (dummy backend, 128-frame periods at 48 kHz) and the real player with
// --midi-connect. Needs an X display (Xvfb will do) and jackd.
//   build/bench/midi_latency_bench [notes]
#include <RtMidi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
