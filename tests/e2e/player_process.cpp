#include "tests/e2e/player_process.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

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

void xdotool(const std::string& arguments) {
  const int status = std::system(("xdotool " + arguments + " 2>/dev/null").c_str());
  (void)status;  // a failure shows in the checks that follow
}

// A window of this process with exactly this title, once it is there.
static unsigned long findWindow(pid_t pid, const std::string& title) {
  FILE* p = popen(("timeout 10 xdotool search --sync --pid " + std::to_string(pid) + " --name '^" +
                   title + "$' 2>/dev/null")
                      .c_str(),
                  "r");
  unsigned long id = 0;
  if (p && fscanf(p, "%lu", &id) != 1) id = 0;
  if (p) pclose(p);
  return id;
}

static int tempFile(const char* what, std::string* path) {
  std::string pattern = std::string("/tmp/plinkar-e2e-") + what + "-XXXXXX";
  const int fd = mkstemp(&pattern[0]);
  *path = pattern;
  return fd;
}

bool startPlayer(PlayerProcess* player) {
  const int audioFd = tempFile("audio", &player->audioFile);
  const int logFd = tempFile("log", &player->logFile);
  if (audioFd < 0 || logFd < 0) return false;
  close(audioFd);
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
    setenv("SDL_DISKAUDIOFILE", player->audioFile.c_str(), 1);
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
  int status;
  return player.pid > 0 && waitpid(player.pid, &status, WNOHANG) == 0;
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
  if (player->pid > 0) {
    kill(player->pid, SIGTERM);
    if ((result = waitForExit(player, 5000)) == -2) {
      kill(player->pid, SIGKILL);
      waitForExit(player, 5000);
      result = -3;
    }
  }
  unlink(player->audioFile.c_str());
  unlink(player->logFile.c_str());
  return result;
}

std::string playerLog(const PlayerProcess& player) {
  std::ifstream in(player.logFile);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

long procField(const PlayerProcess& player, const char* file, const char* key, int field) {
  std::ifstream in("/proc/" + std::to_string(player.pid) + "/" + file);
  std::string word;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key, 0) == 0) {
      std::istringstream words(line);
      for (int i = 0; i < field && words >> word;) i++;
      return std::strtol(word.c_str(), nullptr, 10);
    }
  return -1;
}

bool geometry(unsigned long window, int* width, int* height, int* left, int* top) {
  XWindowAttributes attributes;
  Window child;
  if (!XGetWindowAttributes(display(), window, &attributes)) return false;
  *width = attributes.width;
  *height = attributes.height;
  return XTranslateCoordinates(display(), window, DefaultRootWindow(display()), 0, 0, left, top,
                               &child);
}

// Read from the root window: a window that hangs off the screen edge (the
// player opens at -1, -1 without a window manager) cannot be read directly.
Screenshot grab(unsigned long window) {
  Screenshot shot;
  Display* d = display();
  int width, height, left, top;
  if (!geometry(window, &width, &height, &left, &top)) return shot;
  const int x0 = std::max(0, -left), y0 = std::max(0, -top);
  const int x1 = std::min(width, DisplayWidth(d, DefaultScreen(d)) - left);
  const int y1 = std::min(height, DisplayHeight(d, DefaultScreen(d)) - top);
  if (x1 <= x0 || y1 <= y0) return shot;
  XImage* image =
      XGetImage(d, DefaultRootWindow(d), left + x0, top + y0, x1 - x0, y1 - y0, AllPlanes, ZPixmap);
  if (!image) return shot;
  shot.width = width;
  shot.height = height;
  shot.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) {
      const unsigned long pixel = XGetPixel(image, x - x0, y - y0);
      uint8_t* out = &shot.rgb[(static_cast<size_t>(y) * width + x) * 3];
      for (int c = 0; c < 3; c++) out[c] = (pixel >> (16 - 8 * c)) & 0xff;
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
