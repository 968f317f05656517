// What the player asked of GLUT and of the sound call, recorded instead of
// done, so that its state changes can be tested without a window.
#ifndef PLINKAR_TESTS_PLAYER_FAKE_PLATFORM_H
#define PLINKAR_TESTS_PLAYER_FAKE_PLATFORM_H

#include <string>
#include <vector>

#include "app/app_state.h"

struct PlatformCalls {
  struct Sound {
    bool stop;         // a null name
    std::string name;  // the bytes passed, as given
    float level;       // as set by soundSetLevel
  };
  struct Timer {
    unsigned delay;
    void (*callback)(int);
    int value;
  };
  std::vector<Sound> sounds;
  std::vector<Timer> timers;
  int redisplays = 0;
  float level = 1.0f;
};
extern PlatformCalls calls;

// Fires the pending timers in the order they were armed and forgets them.
void fireTimers();
// A fresh run: start state, nothing recorded; shows the instruments given.
void resetPlayer(bool piano = false, bool drum = false, bool guitar = false);
// "angle axisX axisY x y z", floats with six decimals.
std::string pose(const StickPose& stick);

#endif  // PLINKAR_TESTS_PLAYER_FAKE_PLATFORM_H
