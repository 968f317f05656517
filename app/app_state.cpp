#include "app/app_state.h"

AppState appState;

void initAppState() {
  AppState& s = appState;
  // Summed step by step in single precision, as the key drawing expects.
  s.whiteKeyX[0] = -0.85f;
  s.whiteKeyX[1] = -0.75f;
  for (int i = 2; i < 17; i++) s.whiteKeyX[i] = s.whiteKeyX[i - 1] + 0.1f;

  static const float blackX[12] = {-0.8f, -0.7f, -0.5f, -0.4f, -0.3f, -0.1f,
                                   0.0f,  0.2f,  0.3f,  0.4f,  0.6f,  0.7f};
  for (int j = 0; j < 12; j++) s.blackKeyX[j] = blackX[j];

  for (Flag& down : s.whiteKeyDown) down = 0;
  for (Flag& down : s.blackKeyDown) down = 0;
  restStickPoses();
}

void restStickPoses() {
  appState.leftStick = {90, 1, 0, 0.0f, -0.2f, 0.5f};
  appState.rightStick = {90, 1, 0, 0.1f, -0.2f, 0.5f};
}

// Five one-degree steps; the flag is looked at only before the first, so a
// key at 5 degrees ends at exactly 0 with its flag cleared.
static void releaseKeys(Flag* down, float* angle, int count) {
  for (int i = 0; i < count; i++) {
    if (down[i] != 1) continue;
    for (int step = 0; step < 5; step++) {
      angle[i] -= 1.0f;
      if (angle[i] <= 0.0f) down[i] = 0;
    }
  }
}

void releasePianoKeys() { releaseKeys(appState.whiteKeyDown, appState.whiteKeyAngle, 17); }

void releaseBlackKeys() { releaseKeys(appState.blackKeyDown, appState.blackKeyAngle, 12); }

void resetTimer(int) {
  restStickPoses();
  releasePianoKeys();
  releaseBlackKeys();
}
