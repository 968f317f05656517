#include "tests/e2e/player_process.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/x_window.h"

// A failed request fails the check that made it, not the whole test run.
static int ignoreXError(Display*, XErrorEvent*) { return 0; }

static Display* display() {
  static Display* d = [] {
    XSetErrorHandler(ignoreXError);
    return XOpenDisplay(nullptr);
  }();
  return d;
}

void sleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

static std::string run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, p)) out += buffer;
  pclose(p);
  return out;
}

void xdotool(const std::string& arguments) { run("xdotool " + arguments + " 2>/dev/null"); }

// The newest window of this process with exactly this title.
static unsigned long findWindow(pid_t pid, const std::string& title) {
  for (int attempt = 0; attempt < 100; attempt++) {
    const std::string ids = run("xdotool search --pid " + std::to_string(pid) + " --name '^" +
                                title + "$' 2>/dev/null");
    if (!ids.empty()) return std::strtoul(ids.c_str(), nullptr, 10);
    sleepMs(100);
  }
  return 0;
}

bool startPlayer(PlayerProcess* player) {
  char audio[] = "/tmp/plinkar-e2e-audio-XXXXXX";
  const int fd = mkstemp(audio);
  if (fd < 0) return false;
  close(fd);
  player->audioFile = audio;
  char log[] = "/tmp/plinkar-e2e-log-XXXXXX";
  const int logFd = mkstemp(log);
  if (logFd < 0) return false;
  player->logFile = log;
  const char* program = std::getenv("PLINKAR_E2E_PLAYER");
  if (!program) program = PLINKAR_PATH;
  if (player->workDir.empty()) {
    const char* dir = std::getenv("PLINKAR_E2E_WORKDIR");
    player->workDir = dir ? dir : SOURCE_DIR;
  }
  player->pid = fork();
  if (player->pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives a test run that died
    dup2(logFd, 2);
    if (chdir(player->workDir.c_str()) != 0) _exit(127);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", audio, 1);
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

size_t outputSamples(const PlayerProcess& player) {
  struct stat info;
  return stat(player.audioFile.c_str(), &info) == 0 ? static_cast<size_t>(info.st_size) / 2 : 0;
}

static long long nowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

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

bool isRunning(const PlayerProcess& player) {
  int status;
  return player.pid > 0 && waitpid(player.pid, &status, WNOHANG) == 0;
}

int waitForExit(PlayerProcess* player, int timeout_ms) {
  for (int waited = 0; waited <= timeout_ms; waited += 20) {
    int status;
    const pid_t done = waitpid(player->pid, &status, WNOHANG);
    if (done == player->pid) {
      player->pid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    sleepMs(20);
  }
  return -2;
}

int stopPlayer(PlayerProcess* player) {
  int result = -1;
  if (player->pid > 0) {
    kill(player->pid, SIGTERM);
    result = waitForExit(player, 5000);
    if (result == -2) {
      kill(player->pid, SIGKILL);
      waitForExit(player, 5000);
      result = -3;
    }
  }
  if (!player->audioFile.empty()) unlink(player->audioFile.c_str());
  if (!player->logFile.empty()) unlink(player->logFile.c_str());
  return result;
}

std::string playerLog(const PlayerProcess& player) {
  std::ifstream in(player.logFile);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

long residentKilobytes(const PlayerProcess& player) {
  std::ifstream status("/proc/" + std::to_string(player.pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

long cpuTicks(const PlayerProcess& player) {
  std::ifstream stat("/proc/" + std::to_string(player.pid) + "/stat");
  std::string field;
  long ticks = 0;
  for (int i = 1; i <= 15 && stat >> field; i++)
    if (i == 14 || i == 15) ticks += std::strtol(field.c_str(), nullptr, 10);
  return ticks;
}

bool windowSize(unsigned long window, int* width, int* height, int* left, int* top) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display(), window, &attributes)) return false;
  *width = attributes.width;
  *height = attributes.height;
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(display(), window, DefaultRootWindow(display()), 0, 0, &x, &y, &child);
  if (left) *left = x;
  if (top) *top = y;
  return true;
}

// Read from the root window: a window that hangs off the screen edge (the
// player opens at -1, -1 without a window manager) cannot be read directly.
Screenshot grab(unsigned long window) {
  Screenshot shot;
  int width, height;
  if (!windowSize(window, &width, &height)) return shot;
  Display* d = display();
  const Window root = DefaultRootWindow(d);
  int left, top;
  Window child;
  if (!XTranslateCoordinates(d, window, root, 0, 0, &left, &top, &child)) return shot;
  const int x0 = left < 0 ? -left : 0, y0 = top < 0 ? -top : 0;
  const int x1 = std::min(width, DisplayWidth(d, DefaultScreen(d)) - left);
  const int y1 = std::min(height, DisplayHeight(d, DefaultScreen(d)) - top);
  if (x1 <= x0 || y1 <= y0) return shot;
  XImage* image = XGetImage(d, root, left + x0, top + y0, x1 - x0, y1 - y0, AllPlanes, ZPixmap);
  if (!image) return shot;
  shot.width = width;
  shot.height = height;
  shot.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) {
      const unsigned long pixel = XGetPixel(image, x - x0, y - y0);
      uint8_t* out = &shot.rgb[(static_cast<size_t>(y) * width + x) * 3];
      out[0] = (pixel >> 16) & 0xff;
      out[1] = (pixel >> 8) & 0xff;
      out[2] = pixel & 0xff;
    }
  XDestroyImage(image);
  return shot;
}

void closeLikeWindowManager(unsigned long window) { closeLikeWindowManager(display(), window); }

// freeglut lays a menu out downwards from the pointer, one entry per
// 26 pixels in its default font.
void chooseMenuEntry(unsigned long window, int x, int y, int button, int entry) {
  const std::string w = std::to_string(window);
  xdotool("mousemove --window " + w + " " + std::to_string(x) + " " + std::to_string(y));
  sleepMs(100);
  xdotool("click " + std::to_string(button));
  sleepMs(300);
  xdotool("mousemove --window " + w + " " + std::to_string(x + 12) + " " +
          std::to_string(y + 13 + 26 * entry));
  sleepMs(150);
  xdotool("click 1");
  sleepMs(300);
}
