// The real player as a child process, driven with xdotool.
#ifndef PLINKAR_TESTS_E2E_PLAYER_PROCESS_H
#define PLINKAR_TESTS_E2E_PLAYER_PROCESS_H

#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct PlayerProcess {
  pid_t pid = -1;
  unsigned long playerWindow = 0;      // "Plinkar player", 500x500
  unsigned long helpCardWindow = 0;    // "Plinkar", 800x600
  std::string audioFile;               // what SDL's disk driver wrote
  std::string timesFile;               // when it wrote each buffer
  std::string logFile;                 // its standard error
  std::string workDir;                 // where it is started
  std::vector<std::string> arguments;  // after the program's name
};

// Starts PLINKAR_E2E_PLAYER or the build's in workDir, PLINKAR_E2E_WORKDIR or
// the sources, sound to a file, MIDI only JACK_DEFAULT_SERVER's; waits until
// both windows have drawn.
testing::AssertionResult startPlayer(PlayerProcess* player);
std::string playerLog(const PlayerProcess& player);
// steady_clock time (ns) at which the buffer holding this sample of the
// audio file was handed to the device, or -1 when not known (yet, or no more).
long long sampleTimeNanos(const PlayerProcess& player, size_t sample);
// Exit status, or -1 after a signal, -2 still running, -3 SIGTERM ignored.
int stopPlayer(PlayerProcess* player);
int waitForExit(PlayerProcess* player, int timeout_ms);
bool isRunning(const PlayerProcess& player);
long residentKb(const PlayerProcess& player);  // VmRSS, or -1

void xdotool(const std::string& arguments);
void sleepMs(int ms);
// Polls every 20 ms until done() holds; a failure saying what did not happen
// when it still does not after timeout_ms.
testing::AssertionResult waitFor(const std::function<bool()>& done, int timeout_ms,
                                 const std::string& what = "the awaited state");
// The window's picture once it has held still for 100 ms (six frames), and
// differs from *from when given; the last picture when that takes over 5 s.
struct Screenshot;
Screenshot grabSettled(unsigned long window, const Screenshot* from = nullptr);

// Opens the menu of `button` at (x, y) in the player's window and picks entry
// k from 0; returns once a frame after the choice is drawn or the window is gone.
testing::AssertionResult chooseMenuEntry(const PlayerProcess& player, unsigned long window, int x,
                                         int y, int button, int entry);

#endif  // PLINKAR_TESTS_E2E_PLAYER_PROCESS_H
