#include <GL/freeglut.h>

#include "app/app_state.h"
#include "instruments/instruments.h"
#include "platform/sound.h"
#include "scene/camera.h"

struct DrumHit {
  int key;
  StickPose AppState::*stick;  // null: the bass drum moves no stick
  int32_t angle, axisY;
  float x, y, z;
  const char* sound;
};

static const DrumHit drumHits[5] = {
    {GLUT_KEY_INSERT, &AppState::leftStick, 135, 0, -0.4f, 0.3f, 0.5f, "wav\\drum\\drum.wav"},
    {GLUT_KEY_HOME, &AppState::rightStick, 135, 0, 0.4f, 0.3f, 0.55f, "wav\\drum\\snare.wav"},
    {GLUT_KEY_PAGE_UP, nullptr, 0, 0, 0.0f, 0.0f, 0.0f, "wav\\drum\\base.wav"},
    {GLUT_KEY_END, &AppState::rightStick, 135, 5, 0.4f, 0.0f, 1.0f, "wav\\drum\\hat.wav"},
    {GLUT_KEY_PAGE_DOWN, &AppState::leftStick, 135, -5, -0.4f, 0.0f, 0.9f, "wav\\drum\\sim.wav"},
};

void special(int key, int, int) {
  AppState& s = appState;
  if (s.shown[Drum] == 1) {
    for (const DrumHit& hit : drumHits) {
      if (key != hit.key) continue;
      if (hit.stick) {
        // axisX keeps its rest value 1.
        StickPose& stick = s.*hit.stick;
        stick.x = hit.x;
        stick.y = hit.y;
        stick.z = hit.z;
        stick.angle = hit.angle;
        stick.axisY = hit.axisY;
      }
      sndPlaySoundA(hit.sound, SND_ASYNC);
      if (hit.stick) glutTimerFunc(140, resetTimer, 1);
    }
  }
  updateCamera(key);
  glutPostRedisplay();
}

bool drumKeySound(int key, const char** sound) {
  for (const DrumHit& hit : drumHits) {
    if (key != hit.key) continue;
    *sound = hit.sound;
    return true;
  }
  return false;
}
