#include "tests/e2e/player_process.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

static Display* display() {
  static Display* d = XOpenDisplay(nullptr);
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
  player->pid = fork();
  if (player->pid == 0) {
    if (chdir(SOURCE_DIR) != 0) _exit(127);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", audio, 1);
    execl(PLINKAR_PATH, PLINKAR_PATH, static_cast<char*>(nullptr));
    _exit(127);
  }
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
      result = -1;
    }
  }
  if (!player->audioFile.empty()) unlink(player->audioFile.c_str());
  return result;
}

long residentKilobytes(const PlayerProcess& player) {
  std::ifstream status("/proc/" + std::to_string(player.pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

bool windowSize(unsigned long window, int* width, int* height) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display(), window, &attributes)) return false;
  *width = attributes.width;
  *height = attributes.height;
  return true;
}

Screenshot grab(unsigned long window) {
  Screenshot shot;
  int width, height;
  if (!windowSize(window, &width, &height)) return shot;
  XImage* image = XGetImage(display(), window, 0, 0, width, height, AllPlanes, ZPixmap);
  if (!image) return shot;
  shot.width = width;
  shot.height = height;
  shot.rgb.resize(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      const unsigned long pixel = XGetPixel(image, x, y);
      uint8_t* out = &shot.rgb[(static_cast<size_t>(y) * width + x) * 3];
      out[0] = (pixel >> 16) & 0xff;
      out[1] = (pixel >> 8) & 0xff;
      out[2] = pixel & 0xff;
    }
  XDestroyImage(image);
  return shot;
}

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
