// midi_latency_bench: from a MIDI note-on sent to the player to the first
// loud buffer its audio callback hands to the device, through a JACK server
// of its own (dummy backend, 128-frame periods at 48 kHz) and the real player
// with --midi-connect and all three instruments shown; then the same from a
// computer key pressed with XTEST. The player records when it wrote each
// buffer (PLINKAR_AUDIO_TIMES), so the times are the buffers' own, not
// guessed from the output file's growth. SDL's disk driver asks for a
// 128-frame buffer every 2.1 ms where a device would every 2.9 ms, so on a
// device add up to 0.8 ms. Needs an X display (Xvfb will do) and jackd.
//   build/bench/midi_latency_bench [notes]
// clang-format off
// Before Xlib, whose None macro the player helpers' gtest header trips on.
#include <gtest/gtest.h>
// clang-format on
#include <RtMidi.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/sound_internal.h"
#include "tests/e2e/jack_server.h"
#include "tests/e2e/player_process.h"

namespace {

long long nowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

const SoundTimesFile* mapTimes(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return nullptr;
  void* mapped = mmap(nullptr, sizeof(SoundTimesFile), PROT_READ, MAP_SHARED, fd, 0);
  close(fd);
  return mapped == MAP_FAILED ? nullptr : static_cast<const SoundTimesFile*>(mapped);
}

// When the first loud buffer after `sent` was written, or -1 after a second.
long long firstLoudBuffer(const SoundTimesFile* times, uint32_t from, long long sent) {
  const long long deadline = sent + 1000000000LL;
  for (uint32_t next = from; nowNanos() < deadline;) {
    const uint32_t count = times->count.load(std::memory_order_acquire);
    for (; next < count; next++) {
      const SoundBufferTime& buffer = times->buffers[next % SoundTimesFile::kSize];
      if (buffer.nanos >= sent && buffer.peak > 2000) return buffer.nanos;
    }
    usleep(100);
  }
  return -1;
}

// Strokes after silence (`stop` cuts every sound), at times spread over the
// audio and JACK periods.
std::vector<double> measure(const SoundTimesFile* times, int notes,
                            const std::function<void()>& stop,
                            const std::function<void()>& strike) {
  std::vector<double> ms;
  unsigned seed = 1;
  for (int i = 0; i < notes; i++) {
    stop();
    seed = seed * 1103515245u + 12345u;
    sleepMs(120 + static_cast<int>((seed >> 8) % 40));
    const uint32_t from = times->count.load(std::memory_order_acquire);
    const long long sent = nowNanos();
    strike();
    const long long heard = firstLoudBuffer(times, from, sent);
    if (heard > 0) ms.push_back((heard - sent) / 1e6);
  }
  return ms;
}

void report(const char* what, std::vector<double> ms) {
  if (ms.empty()) {
    std::printf("%s: nothing was heard\n", what);
    return;
  }
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) { return ms[static_cast<size_t>(q * (ms.size() - 1))]; };
  std::printf("%s (%zu)\n  min %6.2f  median %6.2f  p95 %6.2f  max %6.2f ms\n", what, ms.size(),
              ms.front(), at(0.5), at(0.95), ms.back());
}

void send(RtMidiOut* out, std::vector<unsigned char> bytes) { out->sendMessage(&bytes); }

void run(RtMidiOut* keyboard, Display* display, int voices, int notes) {
  PlayerProcess player;
  player.arguments = {"--voices", std::to_string(voices), "--midi-connect", "plinkar-bench:keys"};
  if (!startPlayer(&player)) {
    std::fprintf(stderr, "midi_latency_bench: the player did not start:\n%s",
                 playerLog(player).c_str());
    std::exit(1);
  }
  for (int entry = 0; entry < 3; entry++)  // piano, drum kit, guitar
    chooseMenuEntry(player, player.playerWindow, 250, 420, 3, entry);
  const SoundTimesFile* times = mapTimes(player.timesFile);
  if (!times) {
    std::fprintf(stderr, "midi_latency_bench: the player wrote no buffer times\n");
    std::exit(1);
  }
  const std::string label = std::to_string(voices) + (voices == 1 ? " voice" : " voices");
  report(("MIDI note-on to first loud buffer, " + label).c_str(),
         measure(
             times, notes,
             [&] {
               send(keyboard, {0x90, 61, 100});
             },
             [&] {
               send(keyboard, {0x90, 60, 127});
             }));

  xdotool("windowfocus --sync " + std::to_string(player.playerWindow));
  const KeyCode z = XKeysymToKeycode(display, XK_z), q = XKeysymToKeycode(display, XK_q);
  auto tap = [display](KeyCode key) {
    XTestFakeKeyEvent(display, key, True, 0);
    XTestFakeKeyEvent(display, key, False, 0);
    XFlush(display);
  };
  report(("XTEST key press to first loud buffer, " + label).c_str(),
         measure(
             times, notes / 2, [&] { tap(q); }, [&] { tap(z); }));
  munmap(const_cast<SoundTimesFile*>(times), sizeof(SoundTimesFile));
  stopPlayer(&player);
}

}  // namespace

int main(int argc, char** argv) {
  const int notes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
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
    for (int voices : {1, 8}) run(&keyboard, display, voices, notes);
  }
  stopJackServer(&jack);
  XCloseDisplay(display);
  return 0;
}
