#include "app/start_glut.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/freeglut.h>
#ifndef _WIN32
#include <GL/glx.h>
#endif

#include <cstring>

#include "app/app_state.h"
#include "instruments/instruments.h"
#include "platform/glut_init.h"
#include "platform/help_card.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/scene.h"

#ifdef _WIN32
// Frames follow the display rate instead of spinning a core, where the driver
// lists the swap-control extension.
static void syncToDisplay() {
  typedef const char*(WINAPI * ExtensionsString)();
  typedef BOOL(WINAPI * SwapInterval)(int);
  auto extensions = reinterpret_cast<ExtensionsString>(
      reinterpret_cast<void*>(wglGetProcAddress("wglGetExtensionsStringEXT")));
  if (!extensions) return;
  const char* list = extensions();
  if (!list || !std::strstr(list, "WGL_EXT_swap_control")) return;
  auto setInterval = reinterpret_cast<SwapInterval>(
      reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
  if (setInterval) setInterval(1);
}
#else
// Frames follow the display rate instead of spinning a core. Mesa hands out
// entry points for any name, so the extension list decides.
static void syncToDisplay() {
  Display* display = glXGetCurrentDisplay();
  if (!display) return;
  const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
  if (!extensions) return;
  const GLubyte* name = nullptr;
  if (std::strstr(extensions, "GLX_MESA_swap_control"))
    name = reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA");
  else if (std::strstr(extensions, "GLX_SGI_swap_control"))
    name = reinterpret_cast<const GLubyte*>("glXSwapIntervalSGI");
  if (!name) return;
  // Both take the interval and return 0 on success.
  typedef int (*SwapInterval)(int);
  auto setInterval = reinterpret_cast<SwapInterval>(glXGetProcAddressARB(name));
  if (setInterval) setInterval(1);
}
#endif

void idle() { glutPostRedisplay(); }

void startGlut() {
  initGlutOnce();
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(500, 500);
  glutCreateWindow("Plinkar player");
  setPlayerWindow(glutGetWindow());
  syncToDisplay();
  // A held key is one press and one release; repeats would restart sounds.
  glutIgnoreKeyRepeat(1);

  glutDisplayFunc(display);
  glutReshapeFunc(reshape);
  glutKeyboardFunc(keyboard);
  glutKeyboardUpFunc(keyboardUp);
  glutSpecialFunc(special);
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
  glutIdleFunc(idle);
  initLighting();
  glutMainLoop();
}
