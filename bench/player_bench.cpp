// player_bench: frame time with all three instruments shown, and the time an
// instrument-menu choice takes to reload every shown model.
//
// Run from anywhere with an X display (Xvfb will do):
//   build/bench/player_bench
// It reads the shipped models from the source tree, draws 500x500 frames
// exactly as the player does, and prints medians.
#include <GL/freeglut.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/app_state.h"
#include "instruments/instruments.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/scene.h"

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
  return 0;
}
