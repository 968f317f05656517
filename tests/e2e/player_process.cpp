#include "tests/e2e/player_process.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/sound_internal.h"
#include "tests/support/files.h"
#include "tests/support/x_window.h"

void sleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

bool waitFor(const std::function<bool()>& done, int timeout_ms) {
  for (int waited = 0; waited < timeout_ms; waited += 20, sleepMs(20))
    if (done()) return true;
  return done();
}

void xdotool(const std::string& arguments) {  // a failure shows in the checks after
  if (std::system(("xdotool " + arguments + " 2>/dev/null").c_str())) return;
}

// A window of this process with exactly this title, once it is there.
static unsigned long findWindow(pid_t pid, const std::string& title) {
  return searchWindow("--sync --pid " + std::to_string(pid) + " --name '^" + title + "$'");
}

bool startPlayer(PlayerProcess* player) {
  player->audioFile = player->logFile = player->timesFile = "/tmp/plinkar-e2e-XXXXXX";
  const int audioFd = mkstemp(&player->audioFile[0]), logFd = mkstemp(&player->logFile[0]),
            timesFd = mkstemp(&player->timesFile[0]);
  if (audioFd < 0 || logFd < 0 || timesFd < 0) return false;
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
  if (player->pid < 0) return false;
  player->helpCardWindow = findWindow(player->pid, "Plinkar");
  player->playerWindow = findWindow(player->pid, "Plinkar player");
  sleepMs(300);  // first frames
  return player->helpCardWindow != 0 && player->playerWindow != 0;
}

bool isRunning(const PlayerProcess& player) {
  return player.pid > 0 && waitpid(player.pid, nullptr, WNOHANG) == 0;
}

int waitForExit(PlayerProcess* player, int timeout_ms) {
  for (int waited = 0; waited <= timeout_ms; waited += 20, sleepMs(20)) {
    int status;
    if (waitpid(player->pid, &status, WNOHANG) == player->pid) {
      player->pid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
  }
  return -2;
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

// freeglut lays a menu out down from the pointer, 26 pixels an entry.
void chooseMenuEntry(unsigned long window, int x, int y, int button, int entry) {
  const std::string w = " --window " + std::to_string(window) + " ";
  xdotool("mousemove" + w + std::to_string(x) + " " + std::to_string(y) + " sleep 0.1 click " +
          std::to_string(button) + " sleep 0.3 mousemove" + w + std::to_string(x + 12) + " " +
          std::to_string(y + 13 + 26 * entry) + " sleep 0.15 click 1 sleep 0.3");
}
