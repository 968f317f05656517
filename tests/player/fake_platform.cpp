#include "tests/player/fake_platform.h"

#include <GL/freeglut.h>

#include "app/app_state.h"
#include "platform/sound.h"

PlatformCalls calls;

void glutPostRedisplay() { calls.redisplays++; }

void glutTimerFunc(unsigned delay, void (*callback)(int), int value) {
  calls.timers.push_back({delay, callback, value});
}

int sndPlaySoundA(const char* name, unsigned) {
  calls.sounds.push_back({name == nullptr, name ? name : "", calls.level});
  return 1;
}

void soundSetLevel(float level) { calls.level = level; }

void fireTimers() {
  std::vector<PlatformCalls::Timer> pending;
  pending.swap(calls.timers);
  for (const auto& timer : pending) timer.callback(timer.value);
}

void resetPlayer(bool piano, bool drum, bool guitar) {
  appState = AppState();
  initAppState();
  calls = PlatformCalls();
  appState.shown[Piano] = piano;
  appState.shown[Drum] = drum;
  appState.shown[Guitar] = guitar;
}

std::string pose(const StickPose& s) {
  return std::to_string(s.angle) + " " + std::to_string(s.axisX) + " " + std::to_string(s.axisY) +
         " " + std::to_string(s.x) + " " + std::to_string(s.y) + " " + std::to_string(s.z);
}
