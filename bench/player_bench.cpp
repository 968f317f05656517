// player_bench: frame time with all three instruments shown, the time an
// instrument-menu choice takes to reload every shown model, and the share of
// a core the idle player takes.
//
// Run from anywhere with an X display (Xvfb will do):
//   build/bench/player_bench
// It reads the shipped models from the source tree, draws 500x500 frames
// exactly as the player does, and prints medians.
#include <GL/freeglut.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "instruments/instruments.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/scene.h"
#include "tests/e2e/player_process.h"

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <typename F>
std::vector<double> timeMs(int runs, F&& f) {
  std::vector<double> ms;
  for (int i = 0; i < runs; i++) {
    const auto t0 = Clock::now();
    f();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  return ms;
}

// User plus system CPU time of a process, in clock ticks.
long cpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string field;
  long ticks = 0;
  for (int i = 1; i <= 15 && stat >> field; i++)
    if (i == 14 || i == 15) ticks += std::atol(field.c_str());
  return ticks;
}

// The real player left alone with these instruments shown (menu entries):
// the share of one core it takes over a few seconds.
double idlePlayerCpuPercent(const std::vector<int>& entries) {
  PlayerProcess player;
  if (!startPlayer(&player)) return -1;
  for (int entry : entries) chooseMenuEntry(player, player.playerWindow, 250, 420, 3, entry);
  usleep(1500 * 1000);
  const long before = cpuTicks(player.pid);
  const int seconds = 4;
  sleep(seconds);
  const long after = cpuTicks(player.pid);
  stopPlayer(&player);
  return 100.0 * static_cast<double>(after - before) / (seconds * sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "player_bench: needs an X display\n");
    return 1;
  }
  if (chdir(PLINKAR_SOURCE_DIR) != 0) return 1;
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(500, 500);
  glutCreateWindow("player_bench");
  glutDisplayFunc(display);
  initAppState();
  initLighting();
  for (int i = 0; i < 10; i++) glutMainLoopEvent();
  reshape(500, 500);

  instrumentMenu('1');
  instrumentMenu('2');
  instrumentMenu('3');
  // A value that is no entry toggles nothing and reloads all three.
  const std::vector<double> reload = timeMs(20, [] { instrumentMenu(0); });

  std::printf("instrument-menu choice reloading all three models: median %.1f ms, worst %.1f ms\n",
              median(reload), *std::max_element(reload.begin(), reload.end()));

  for (int i = 0; i < 10; i++) display();
  const std::vector<double> frame = timeMs(200, [] {
    display();
    glFinish();
  });
  std::printf("frame, all three instruments, 500x500: median %.2f ms, worst %.2f ms\n",
              median(frame), *std::max_element(frame.begin(), frame.end()));

  appState.shown[Piano] = 1;
  for (int i = 0; i < 17; i++) pressPianoKey(i);
  appState.chordHeld[0] = 1;
  const std::vector<double> busy = timeMs(100, [] {
    display();
    glFinish();
  });
  std::printf("frame, keys down and a chord held: median %.2f ms\n", median(busy));
  const struct {
    const char* what;
    std::vector<int> entries;
  } views[] = {{"nothing", {}},
               {"the piano", {0}},
               {"the drum kit", {1}},
               {"the guitar", {2}},
               {"all three", {0, 1, 2}}};
  for (const auto& view : views)
    std::printf("idle player showing %s: %.0f %% of a core\n", view.what,
                idlePlayerCpuPercent(view.entries));
  return 0;
}
