// app_state.h: the one record of application state that every callback
// shares, and the routines that put its parts to their start or rest values.
#ifndef PLINKAR_APP_APP_STATE_H
#define PLINKAR_APP_APP_STATE_H

#include <cstdint>

#ifdef _WIN32
// The handle types alone, so that not every file pulls in <windows.h>; these
// are the same declarations <windows.h> makes.
struct HINSTANCE__;
struct HWND__;
struct HDC__;
struct HBITMAP__;
typedef HINSTANCE__* HINSTANCE;
typedef HWND__* HWND;
typedef HDC__* HDC;
typedef HBITMAP__* HBITMAP;
#endif

struct Model;

enum Instrument { Piano = 0, Drum = 1, Guitar = 2 };

// One drumstick: rotation in whole degrees about (axisX, axisY, 0), then the
// position offset the drawing adds to its base point.
struct StickPose {
  int32_t angle;
  int32_t axisX;
  int32_t axisY;
  float x, y, z;
};

// Flags are single bytes holding 0 or 1; readers compare them with 1.
typedef unsigned char Flag;

struct AppState {
  // Instruments and their models.
  Flag shown[3] = {0, 0, 0};
  Model* models[3] = {nullptr, nullptr, nullptr};
  int32_t drawMode = 10;  // MODE_SMOOTH + MODE_COLOR until an instrument loads

  // Piano.
  float whiteKeyX[17] = {};
  float blackKeyX[12] = {};
  Flag whiteKeyDown[17] = {};
  Flag blackKeyDown[12] = {};
  float whiteKeyAngle[17] = {};
  float blackKeyAngle[12] = {};

  // Drum kit: the left stick hits the drum and the cymbal, the right one the
  // snare and the hi-hat.
  StickPose leftStick = {0, 0, 0, 0.0f, 0.0f, 0.0f};
  StickPose rightStick = {0, 0, 0, 0.0f, 0.0f, 0.0f};

  // Guitar chords held (Am, C, D, E6, F, G7) and the colour scheme of each
  // drawn model (piano, drum kit, front guitar, back guitar).
  Flag chordHeld[6] = {};
  int32_t colorScheme[4] = {0, 0, 0, 0};

  // View, camera and mouse.
  float sceneRotX = 0.0f, sceneRotY = 0.0f, sceneRotZ = 0.0f;
  float eyeX = 0.0f, eyeY = 0.0f, eyeZ = 0.0f;
  float centerX = 0.0f, centerY = 0.0f, centerZ = 0.0f;
  float heading = 0.0f;  // radians; 0 looks along -z
  int32_t mouseX = 0, mouseY = 0;
  int32_t mouseState = 0;  // 0 down, -1 up
  int32_t mouseButton = 0;

  // View settings, fixed for the run.
  float turnStep = 0.125f;
  float moveStep = 0.5f;
  float sceneScale = 4.0f;

#ifdef _WIN32
  // The shell window and the device contexts that carry the backdrop.
  HINSTANCE instance = nullptr;
  HWND shellWindow = nullptr;
  wchar_t windowTitle[100] = {};
  wchar_t windowClassName[100] = {};
  HDC shellDC = nullptr;
  HDC backdropDC = nullptr;
  HBITMAP backdropBitmap = nullptr;
#else
  // Native shell-window handles. Linux shows the help card in a window of
  // its own, so these stay null there and the per-frame copy does nothing.
  void* instance = nullptr;
  void* shellWindow = nullptr;
  wchar_t windowTitle[100] = {};
  wchar_t windowClassName[100] = {};
  void* shellDC = nullptr;
  void* backdropDC = nullptr;
  void* backdropBitmap = nullptr;
#endif
};

extern AppState appState;

// Key positions, released keys and resting sticks.
void initAppState();
// Both sticks back to their rest pose.
void restStickPoses();
// Every pressed white key back up, in five steps of one degree.
void releasePianoKeys();
// The same for the black keys, which tilt like the white ones when played.
void releaseBlackKeys();
// GLUT timer callback: rest poses, then released keys. Never re-arms itself.
void resetTimer(int value);

#endif  // PLINKAR_APP_APP_STATE_H
