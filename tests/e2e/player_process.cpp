#include "tests/e2e/player_process.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/sound_internal.h"
#include "tests/support/files.h"
#include "tests/support/x_window.h"

void sleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

testing::AssertionResult waitFor(const std::function<bool()>& done, int timeout_ms,
                                 const std::string& what) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done())
    if (std::chrono::steady_clock::now() < end)
      sleepMs(20);
    else
      return testing::AssertionFailure() << what << ": not within " << timeout_ms << " ms";
  return testing::AssertionSuccess();
}

Screenshot grabSettled(unsigned long window, const Screenshot* from) {
  using Clock = std::chrono::steady_clock;
  Screenshot last = grab(window);
  Clock::time_point since = Clock::now();
  waitFor(
      [&] {
        Screenshot shot = grab(window);
        if (shot.rgb != last.rgb || (from && !shot.rgb.empty() && countChanged(*from, shot) <= 20))
          since = Clock::now(), last = std::move(shot);
        return Clock::now() - since >= std::chrono::milliseconds(100);
      },
      5000);
  return last;
}

void xdotool(const std::string& arguments) {  // a failure shows in the checks after
  if (std::system(("xdotool " + arguments + " 2>/dev/null").c_str())) return;
}

// A shown window of this process with exactly this title, or 0 (--all: both
// conditions, not either).
static unsigned long findWindow(pid_t pid, const std::string& title) {
  return searchWindow("--all --onlyvisible --pid " + std::to_string(pid) + " --name '^" + title +
                      "$'");
}

// Xvfb shows a window black until its program draws into it.
static bool drawn(const Screenshot& shot) {
  return std::any_of(shot.rgb.begin(), shot.rgb.end(), [](uint8_t c) { return c != 0; });
}

testing::AssertionResult startPlayer(PlayerProcess* player) {
  player->audioFile = player->logFile = player->timesFile = "/tmp/plinkar-e2e-XXXXXX";
  const int audioFd = mkstemp(&player->audioFile[0]), logFd = mkstemp(&player->logFile[0]),
            timesFd = mkstemp(&player->timesFile[0]);
  if (audioFd < 0 || logFd < 0 || timesFd < 0) return testing::AssertionFailure() << "mkstemp";
  close(audioFd);
  close(timesFd);
  auto env = [](const char* name, const char* otherwise) {
    return std::getenv(name) ? std::getenv(name) : otherwise;
  };
  const char* program = env("PLINKAR_E2E_PLAYER", PLINKAR_PATH);
  if (player->workDir.empty()) player->workDir = env("PLINKAR_E2E_WORKDIR", SOURCE_DIR);
  player->pid = fork();
  if (player->pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives a test run that died
    dup2(logFd, 2);
    if (chdir(player->workDir.c_str()) != 0) _exit(127);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", player->audioFile.c_str(), 1);
    setenv("PLINKAR_AUDIO_TIMES", player->timesFile.c_str(), 1);
    setenv("ALSA_CONFIG_PATH", "/dev/null", 1);  // no sequencer
    if (!std::getenv("JACK_DEFAULT_SERVER")) setenv("JACK_DEFAULT_SERVER", "plinkar-e2e-none", 1);
    std::vector<char*> argv{const_cast<char*>(program)};
    for (std::string& argument : player->arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    execv(program, argv.data());
    _exit(127);
  }
  close(logFd);
  if (player->pid < 0) return testing::AssertionFailure() << "fork";
  const auto shown = [player](unsigned long* window, const std::string& title) {
    return waitFor([=] { return drawn(grab(*window = findWindow(player->pid, title))); }, 20000,
                   "the window \"" + title + "\" shown and drawn");
  };
  const testing::AssertionResult card = shown(&player->helpCardWindow, "Plinkar");
  return card ? shown(&player->playerWindow, "Plinkar player") : card;
}

bool isRunning(const PlayerProcess& player) {
  return player.pid > 0 && waitpid(player.pid, nullptr, WNOHANG) == 0;
}

int waitForExit(PlayerProcess* player, int timeout_ms) {
  int status = 0;
  if (!waitFor([&] { return waitpid(player->pid, &status, WNOHANG) == player->pid; }, timeout_ms))
    return -2;
  player->pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int stopPlayer(PlayerProcess* player) {
  int result = -1;
  if (player->pid > 0 && kill(player->pid, SIGTERM) == 0 &&
      (result = waitForExit(player, 5000)) == -2) {
    kill(player->pid, SIGKILL);
    waitForExit(player, 5000);
    result = -3;
  }
  unlink(player->audioFile.c_str());
  unlink(player->logFile.c_str());
  unlink(player->timesFile.c_str());
  return result;
}

std::string playerLog(const PlayerProcess& player) { return readFile(player.logFile); }

long long sampleTimeNanos(const PlayerProcess& player, size_t sample) {
  const std::string bytes = readFile(player.timesFile);
  if (bytes.size() < sizeof(SoundTimesFile)) return -1;
  const SoundTimesFile* times = reinterpret_cast<const SoundTimesFile*>(bytes.data());
  const uint32_t count = times->count.load(), frames = std::max(1u, times->frames);
  const size_t buffer = sample / frames;
  if (buffer >= count || count - buffer > SoundTimesFile::kSize) return -1;
  return times->buffers[buffer % SoundTimesFile::kSize].nanos;
}

long residentKb(const PlayerProcess& player) {
  std::ifstream in("/proc/" + std::to_string(player.pid) + "/status");
  long kb = -1;
  for (std::string word; in >> word;)
    if (word == "VmRSS:") return in >> kb, kb;
  return kb;
}

// freeglut lays a menu out down from the pointer, 27 pixels an entry, and
// paints the entry under the pointer white. Where the menu was, the window
// keeps its picture until the program draws a frame, after the choice.
testing::AssertionResult chooseMenuEntry(const PlayerProcess& player, unsigned long window, int x,
                                         int y, int button, int entry) {
  const std::string w = " --window " + std::to_string(window) + " ",
                    search = "--onlyvisible --name '^freeglut menu$'";  // no process id on menus
  unsigned long menu = 0;
  xdotool("mousemove" + w + std::to_string(x) + " " + std::to_string(y) + " click " +
          std::to_string(button));
  testing::AssertionResult done =
      waitFor([&] { return (menu = searchWindow(search)) != 0 || !isRunning(player); }, 10000,
              "the menu opening");
  if (!done) return done;
  if (menu == 0) return testing::AssertionFailure() << "the player ended before its menu opened";
  int width = 0, height = 0, left = 0, top = 0, windowWidth, windowHeight, windowLeft = 0;
  geometry(menu, &width, &height, &left, &top);
  geometry(window, &windowWidth, &windowHeight, &windowLeft, &top);
  left -= windowLeft;
  const int row = y + 13 + 27 * entry;
  xdotool("mousemove" + w + std::to_string(x + 12) + " " + std::to_string(row));
  Screenshot open;
  const auto lit = [&] {  // over half the entry's row white
    int white = 0;
    for (int i = std::max(0, left); i < std::min(open.width, left + width) && row < open.height;
         i++)
      white += open.at(i, row)[0] == 255 && open.at(i, row)[2] == 255;
    return white > width / 2;
  };
  if (!(done = waitFor([&] { return open = grab(window), lit(); }, 10000, "the entry lit")))
    return done;
  xdotool("click 1");
  if (!(done = waitFor([&] { return searchWindow(search) == 0; }, 10000, "the menu closing")))
    return done;
  return waitFor(
      [&] {
        const Screenshot now = grab(window);
        return now.rgb.empty() || countChanged(open, now) > width * height / 2;
      },
      10000, "a frame drawn where the menu was");
}
