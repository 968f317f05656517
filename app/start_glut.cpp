#include "app/start_glut.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/freeglut.h>
#ifndef _WIN32
#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/keysym.h>
#endif

#include <cstring>

#include "app/app_state.h"
#include "instruments/instruments.h"
#include "platform/desktop_window.h"
#include "platform/glut_init.h"
#include "platform/help_card.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/scene.h"

#ifdef _WIN32
// Frames follow the display rate instead of spinning a core, where the driver
// lists the swap-control extension. False where it does not.
static bool syncToDisplay() {
  typedef const char*(WINAPI * ExtensionsString)();
  typedef BOOL(WINAPI * SwapInterval)(int);
  auto extensions = reinterpret_cast<ExtensionsString>(
      reinterpret_cast<void*>(wglGetProcAddress("wglGetExtensionsStringEXT")));
  if (!extensions) return false;
  const char* list = extensions();
  if (!list || !std::strstr(list, "WGL_EXT_swap_control")) return false;
  auto setInterval = reinterpret_cast<SwapInterval>(
      reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
  return setInterval && setInterval(1);  // TRUE on success
}
#else
// Frames follow the display rate instead of spinning a core. Mesa hands out
// entry points for any name, so the extension list decides. False where
// there is no swap control.
static bool syncToDisplay() {
  Display* display = glXGetCurrentDisplay();
  if (!display) return false;
  const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
  if (!extensions) return false;
  const GLubyte* name = nullptr;
  if (std::strstr(extensions, "GLX_MESA_swap_control"))
    name = reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA");
  else if (std::strstr(extensions, "GLX_SGI_swap_control"))
    name = reinterpret_cast<const GLubyte*>("glXSwapIntervalSGI");
  if (!name) return false;
  // Both take the interval and return 0 on success.
  typedef int (*SwapInterval)(int);
  auto setInterval = reinterpret_cast<SwapInterval>(glXGetProcAddressARB(name));
  return setInterval && setInterval(1) == 0;
}
#endif

void idle() { glutPostRedisplay(); }

static int playerWindow = 0;

int playerWindowId() { return playerWindow; }

// Without swap control the idle redraw would spin a core on frames no
// display shows; a timer brings them at about the display rate instead and
// freeglut sleeps in between. A key still posts its own redisplay at once.
static void paceFrames(int) {
  glutTimerFunc(16, paceFrames, 0);
  glutPostWindowRedisplay(playerWindow);
}

// Keys held down. The window system repeats a held key; the arrow keys walk
// on with every repeat, but a playing key plays once per press (a repeat
// would restart its sound many times a second). A key is known by where it
// is on the keyboard, not by its character: Shift pressed or let go while it
// is held changes the character of its repeats and release ('m', then 'M').
// Character keys sit at their key codes (0 to 255), or above 255 where a
// character has none; special keys above 511.
static unsigned char heldAs[1024];  // the character a held key went down as
static bool held[1024];
static int keySlot[256];  // of each character

#ifdef _WIN32
static int keyCode(unsigned char c) {
  const SHORT scan = VkKeyScanA(static_cast<CHAR>(c));
  return scan == -1 ? -1 : scan & 0xFF;
}
#else
static int keyCode(unsigned char c) {
  Display* display = glXGetCurrentDisplay();
  if (!display) return -1;
  // Latin-1 characters are their own key symbols; GLUT hands these control
  // keys over as characters.
  static const struct {
    unsigned char character;
    KeySym symbol;
  } controls[] = {
      {8, XK_BackSpace}, {9, XK_Tab}, {13, XK_Return}, {27, XK_Escape}, {127, XK_Delete}};
  KeySym symbol = c < 32 ? NoSymbol : c;
  for (const auto& control : controls)
    if (control.character == c) symbol = control.symbol;
  if (symbol == NoSymbol) return -1;
  const int code = XKeysymToKeycode(display, symbol);
  return code == 0 ? -1 : code;
}
#endif

// Once the window exists, under the keyboard layout in force.
static void mapKeySlots() {
  for (int c = 0; c < 256; c++) {
    const int code = keyCode(static_cast<unsigned char>(c));
    keySlot[c] = code >= 0 ? code : 256 + c;
  }
}

static bool walksOnRepeat(int key) {
  return key == GLUT_KEY_UP || key == GLUT_KEY_DOWN || key == GLUT_KEY_LEFT ||
         key == GLUT_KEY_RIGHT;
}

// True for a fresh press, false for a repeat of a held key.
static bool pressKey(int slot, unsigned char as) {
  if (slot < 0 || slot >= 1024) return true;
  const bool fresh = !held[slot];
  if (fresh) heldAs[slot] = as;
  held[slot] = true;
  return fresh;
}

// The character the key went down as; a release of a key not known to be
// held releases everything, so no key stays stuck as held.
static unsigned char releaseKey(int slot, unsigned char as) {
  if (slot >= 0 && slot < 1024 && held[slot]) {
    held[slot] = false;
    return heldAs[slot];
  }
  std::memset(held, 0, sizeof held);
  return as;
}

static void (*keyListener)(int, bool, bool) = nullptr;

void listenToKeys(void (*listener)(int key, bool special, bool down)) { keyListener = listener; }

static void tell(int key, bool isSpecial, bool down) {
  if (keyListener) keyListener(key, isSpecial, down);
}

static void keyPressed(unsigned char key, int x, int y) {
  if (!pressKey(keySlot[key], key)) return;
  keyboard(key, x, y);
  tell(key, false, true);
}

// A chord marker goes with its key whatever Shift did meanwhile.
static void keyReleased(unsigned char key, int x, int y) {
  const unsigned char pressed = releaseKey(keySlot[key], key);
  keyboardUp(pressed, x, y);
  tell(pressed, false, false);
}

static void specialPressed(int key, int x, int y) {
  const bool fresh = pressKey(512 + key, 0);
  if (fresh || walksOnRepeat(key)) special(key, x, y);
  if (fresh) tell(key, true, true);
}

static void specialReleased(int key, int, int) { releaseKey(512 + key, 0); }

// Repeats must arrive as presses alone. X sends a release before each
// repeated press unless told not to; where the server cannot, freeglut drops
// every repeat instead, as it always did, and held arrows take one step.
static void receiveKeyRepeats() {
#ifdef _WIN32
  glutIgnoreKeyRepeat(0);  // Windows repeats a key as presses alone
#else
  Bool detectable = False;
  Display* display = glXGetCurrentDisplay();
  if (display) XkbSetDetectableAutoRepeat(display, True, &detectable);
  glutIgnoreKeyRepeat(detectable ? 0 : 1);
#endif
}

void startGlut() {
  initGlutOnce();
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(500, 500);
  glutCreateWindow("Plinkar player");
#ifndef _WIN32
  describeWindowToDesktop();
#endif
  playerWindow = glutGetWindow();
  setPlayerWindow(playerWindow);
  const bool synced = syncToDisplay();
  receiveKeyRepeats();
  mapKeySlots();

  glutDisplayFunc(display);
  glutReshapeFunc(reshape);
  glutKeyboardFunc(keyPressed);
  glutKeyboardUpFunc(keyReleased);
  glutSpecialFunc(specialPressed);
  glutSpecialUpFunc(specialReleased);
  glutMouseFunc(mouse);
  glutMotionFunc(motion);

  glutCreateMenu(materialMenu);
  for (int k = 0; k < 19; k++) glutAddMenuEntry(materialNames[k], k + 1);
  glutAttachMenu(GLUT_MIDDLE_BUTTON);

  glutCreateMenu(instrumentMenu);
  glutAddMenuEntry("Piano", '1');
  glutAddMenuEntry("Drum", '2');
  glutAddMenuEntry("Guiter", '3');
  glutAttachMenu(GLUT_RIGHT_BUTTON);

  glutTimerFunc(40, resetTimer, 1);
  if (synced)
    glutIdleFunc(idle);
  else
    glutTimerFunc(16, paceFrames, 0);
  initLighting();
  glutMainLoop();
}
