// help_card.cpp: the help-card window "Plinkar" and its About window, drawn
// from BMP pictures with glDrawPixels. Both redraw only when the window system
// asks; the player's idle redraw must never land on them.
#include "platform/help_card.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/bmp.h"
#include "platform/desktop_window.h"
#include "platform/glut_init.h"

namespace {

constexpr int kCardWidth = 800;
constexpr int kCardHeight = 600;
constexpr int kAboutWidth = 340;
constexpr int kAboutHeight = 150;
constexpr int kPlayerWidth = 500;
constexpr int kGap = 10;  // room for a window frame between the two

// The card's plain background where no picture covers it; the About window's
// matches the background its pictures were drawn on.
constexpr GLfloat kCardBackground[3] = {1.0f, 1.0f, 1.0f};
constexpr GLfloat kAboutBackground[3] = {240 / 255.0f, 240 / 255.0f, 240 / 255.0f};

enum MenuItem { kMenuExit = 1, kMenuAbout = 2 };

// A picture and where its top-left corner sits in its window.
struct Picture {
  const char* Path;
  int X;
  int Y;
  BmpImage Image;
};

enum AboutPiece { kAboutIcon, kAboutVersion, kAboutNote, kAboutOk, kAboutPieces };

struct HelpCardState {
  int PlayerWindow = 0;
  int CardWindow = 0;
  int AboutWindow = 0;
  bool OkPressed = false;
  // While an About window closes, freeglut must not take the close for the
  // end of the program; the previous action comes back on the next timer tick.
  bool CloseActionSaved = false;
  int SavedCloseAction = GLUT_ACTION_EXIT;
  Picture Backdrop = {"resources/backdrop.bmp", 0, 0, {}};
  Picture About[kAboutPieces] = {
      {"resources/about_icon.bmp", 20, 20, {}},
      {"resources/about_version.bmp", 84, 22, {}},
      {"resources/about_note.bmp", 84, 50, {}},
      {"resources/about_ok.bmp", 236, 108, {}},
  };
};

HelpCardState state;

// What glutInit* set before a window of ours was made, so the player's
// window is made exactly as if ours did not exist.
struct InitSettings {
  int Mode, X, Y, Width, Height;
};

InitSettings SaveInitSettings() {
  return {glutGet(GLUT_INIT_DISPLAY_MODE), glutGet(GLUT_INIT_WINDOW_X), glutGet(GLUT_INIT_WINDOW_Y),
          glutGet(GLUT_INIT_WINDOW_WIDTH), glutGet(GLUT_INIT_WINDOW_HEIGHT)};
}

void RestoreInitSettings(const InitSettings& s) {
  glutInitDisplayMode(static_cast<unsigned int>(s.Mode));
  glutInitWindowPosition(s.X, s.Y);
  glutInitWindowSize(s.Width, s.Height);
}

// freeglut leaves the window of the last callback current; the player's idle
// callback redraws "the current window", which must stay the player's.
void ReturnToPlayer() {
  if (state.PlayerWindow != 0) glutSetWindow(state.PlayerWindow);
}

void LoadPicture(Picture* picture) {
  picture->Image.Pixels = nullptr;  // stays null when the reader fails
  ReadBmpImage(picture->Path, &picture->Image);
}

// freeglut stores titles as Latin-1 text; the window manager gets the UTF-8
// name through the current window's own X drawable.
void SetUtf8Title(const char* title) {
  Display* display = glXGetCurrentDisplay();
  const Window window = glXGetCurrentDrawable();
  if (display == nullptr || window == 0) return;
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  const auto* bytes = reinterpret_cast<const unsigned char*>(title);
  const int length = static_cast<int>(std::strlen(title));
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8,
                  PropModeReplace, bytes, length);
  XChangeProperty(display, window, XA_WM_NAME, utf8, 8, PropModeReplace, bytes, length);
  XFlush(display);
}

// Window coordinates with the origin at the bottom-left, one unit a pixel,
// whatever the window's size: pictures are never scaled.
void BeginDrawing(const GLfloat background[3]) {
  const int width = glutGet(GLUT_WINDOW_WIDTH);
  const int height = glutGet(GLUT_WINDOW_HEIGHT);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, 0, height, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // the reader's rows are packed
  glClearColor(background[0], background[1], background[2], 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}

// The reader hands every image back bottom row first, the order
// glDrawPixels wants. The raster position starts at the always-visible origin
// and is moved with an empty glBitmap, so a window smaller than the picture
// still shows its top-left part.
void DrawPicture(const Picture& picture) {
  const BmpImage& image = picture.Image;
  if (image.Pixels == nullptr || image.Width == 0 || image.Height == 0) return;
  const int height = glutGet(GLUT_WINDOW_HEIGHT);
  const int bottom = height - picture.Y - static_cast<int>(image.Height);
  glRasterPos2i(0, 0);
  glBitmap(0, 0, 0, 0, static_cast<GLfloat>(picture.X), static_cast<GLfloat>(bottom), nullptr);
  glDrawPixels(static_cast<GLsizei>(image.Width), static_cast<GLsizei>(image.Height), GL_RGB,
               GL_UNSIGNED_BYTE, image.Pixels);
}

void DisplayCard() {
  BeginDrawing(kCardBackground);
  DrawPicture(state.Backdrop);
  glutSwapBuffers();
  ReturnToPlayer();
}

void DisplayAbout() {
  BeginDrawing(kAboutBackground);
  for (const Picture& piece : state.About) DrawPicture(piece);
  glutSwapBuffers();
  ReturnToPlayer();
}

// freeglut has already posted the redraw a new size needs.
void ReshapeAny(int, int) { ReturnToPlayer(); }

void RestoreCloseAction(int) {
  if (state.CloseActionSaved) {
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, state.SavedCloseAction);
    state.CloseActionSaved = false;
  }
  ReturnToPlayer();
}

// Runs for every way the About window goes: OK, keys, or the window manager.
// freeglut reads the close action just after this returns, once per close.
void AboutClosed() {
  state.AboutWindow = 0;
  state.OkPressed = false;
  if (!state.CloseActionSaved) {
    state.SavedCloseAction = glutGet(GLUT_ACTION_ON_WINDOW_CLOSE);
    state.CloseActionSaved = true;
    glutTimerFunc(0, RestoreCloseAction, 0);
  }
  glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
}

void CloseAbout() {
  if (state.AboutWindow != 0) glutDestroyWindow(state.AboutWindow);
  state.AboutWindow = 0;
}

void AboutKey(unsigned char key, int, int) {
  if (key == '\r' || key == '\n' || key == 27) CloseAbout();
  ReturnToPlayer();
}

bool OnOkButton(int x, int y) {
  const Picture& ok = state.About[kAboutOk];
  const int width = ok.Image.Pixels != nullptr ? static_cast<int>(ok.Image.Width) : 84;
  const int height = ok.Image.Pixels != nullptr ? static_cast<int>(ok.Image.Height) : 26;
  return x >= ok.X && x < ok.X + width && y >= ok.Y && y < ok.Y + height;
}

// Like a push button: it acts when released over itself after a press there.
void AboutMouse(int button, int buttonState, int x, int y) {
  if (button == GLUT_LEFT_BUTTON) {
    if (buttonState == GLUT_DOWN) {
      state.OkPressed = OnOkButton(x, y);
    } else if (state.OkPressed) {
      state.OkPressed = false;
      if (OnOkButton(x, y)) CloseAbout();
    }
  }
  ReturnToPlayer();
}

void OpenAbout() {
  if (state.AboutWindow != 0) {
    glutSetWindow(state.AboutWindow);
    glutShowWindow();
    glutPopWindow();
    return;
  }
  // Centred on the help card, as a dialog sits on its owner.
  const int x = glutGet(GLUT_WINDOW_X) + (kCardWidth - kAboutWidth) / 2;
  const int y = glutGet(GLUT_WINDOW_Y) + (kCardHeight - kAboutHeight) / 2;
  const InitSettings saved = SaveInitSettings();
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
  glutInitWindowPosition(x > 0 ? x : 0, y > 0 ? y : 0);
  glutInitWindowSize(kAboutWidth, kAboutHeight);
  state.AboutWindow = glutCreateWindow("About");
  RestoreInitSettings(saved);
  describeWindowToDesktop();
  SetUtf8Title("정보");
  glutDisplayFunc(DisplayAbout);
  glutReshapeFunc(ReshapeAny);
  glutKeyboardFunc(AboutKey);
  glutMouseFunc(AboutMouse);
  glutCloseFunc(AboutClosed);
}

void MenuChosen(int item) {
  if (item == kMenuExit) std::exit(0);
  if (item == kMenuAbout) OpenAbout();
  ReturnToPlayer();
}

// Closing the help card ends the program whatever close action the player
// has chosen for its own window: freeglut reads the action just after this
// returns and exits with 0. This also runs from freeglut's exit handler while
// exit() is under way, so it must not call exit() itself: re-entering it is
// undefined, and glibc lets the second status replace a failure's 1.
void CardClosed() { glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_EXIT); }

}  // namespace

void openHelpCard() {
  initGlutOnce();
  if (state.CardWindow != 0) return;
  LoadPicture(&state.Backdrop);
  for (Picture& piece : state.About) LoadPicture(&piece);

  // Along the screen's right edge, but never over the player window at the
  // top left: on a narrow screen its blank right margin goes off the edge.
  const int x = std::max(glutGet(GLUT_SCREEN_WIDTH) - kCardWidth, kPlayerWidth + kGap);
  const InitSettings saved = SaveInitSettings();
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
  glutInitWindowPosition(x > 0 ? x : 0, 0);
  glutInitWindowSize(kCardWidth, kCardHeight);
  state.CardWindow = glutCreateWindow("Plinkar");
  RestoreInitSettings(saved);
  describeWindowToDesktop();
  glutDisplayFunc(DisplayCard);
  glutReshapeFunc(ReshapeAny);
  glutCloseFunc(CardClosed);
  glutCreateMenu(MenuChosen);
  glutAddMenuEntry("Exit", kMenuExit);
  glutAddMenuEntry("About...", kMenuAbout);
  glutAttachMenu(GLUT_RIGHT_BUTTON);
  ReturnToPlayer();
}

void setPlayerWindow(int window) { state.PlayerWindow = window; }
