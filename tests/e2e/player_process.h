// The real player as a child process, and the X and xdotool plumbing the
// end-to-end tests drive it with.
#ifndef PLINKAR_TESTS_E2E_PLAYER_PROCESS_H
#define PLINKAR_TESTS_E2E_PLAYER_PROCESS_H

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct PlayerProcess {
  pid_t pid = -1;
  unsigned long playerWindow = 0;      // "Plinkar player", 500x500
  unsigned long helpCardWindow = 0;    // "Plinkar", 800x600
  std::string audioFile;               // what SDL's disk driver wrote
  std::string logFile;                 // its standard error
  std::string workDir;                 // where it is started
  std::vector<std::string> arguments;  // after the program's name
};

struct Screenshot {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // top-down rows
  const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Starts the player with sound going to a file, and waits for both of its
// windows. False when it did not come up. It is the build's player, started
// from the repository root, unless PLINKAR_E2E_PLAYER names another (an
// installed one) and PLINKAR_E2E_WORKDIR where to start it; a workDir set on
// the record wins. Its MIDI system is the JACK server JACK_DEFAULT_SERVER
// names, when one runs: never the ALSA sequencer or the machine's own server.
bool startPlayer(PlayerProcess* player);
// What the player wrote to standard error so far.
std::string playerLog(const PlayerProcess& player);
// Ends it (if still running) with SIGTERM and returns its exit status, -1
// when the signal ended it, -3 when it ignored the signal and was killed.
int stopPlayer(PlayerProcess* player);
// Waits up to timeout_ms for the process to end by itself; its exit status,
// or -2 when it is still running.
int waitForExit(PlayerProcess* player, int timeout_ms);
bool isRunning(const PlayerProcess& player);
long residentKilobytes(const PlayerProcess& player);
// User plus system CPU time it has used, in clock ticks.
long cpuTicks(const PlayerProcess& player);

// When the first sound at or after sample `from` reached the disk driver's
// output (steady_clock ns), waiting up to timeout_ms; -1 if none came. The
// driver writes through a 4 kB stdio buffer, so the time of a sample is worked
// out from when its 8-buffer block appeared and the pace of the blocks; that
// is when the audio callback gave it to the driver, within about 0.2 ms.
long long firstSoundWrittenNanos(const PlayerProcess& player, size_t from, int timeout_ms);
// Samples in the disk driver's output so far.
size_t outputSamples(const PlayerProcess& player);

// Runs an xdotool command line (arguments after "xdotool").
void xdotool(const std::string& arguments);
void sleepMs(int ms);

// The window's pixels as the X server has them.
Screenshot grab(unsigned long window);
// Size of a window and, when asked, where it sits on the screen.
bool windowSize(unsigned long window, int* width, int* height, int* left = nullptr,
                int* top = nullptr);

// What a window manager sends when the window's close button is used.
void closeLikeWindowManager(unsigned long window);

// Opens the right-button menu at (x, y) in the window and picks entry k
// (0 for the first).
void chooseMenuEntry(unsigned long window, int x, int y, int button, int entry);

#endif  // PLINKAR_TESTS_E2E_PLAYER_PROCESS_H
