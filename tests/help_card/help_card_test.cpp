// The help card under X: the stand-in player as a child, read with Xlib, driven by xdotool.
#include <gtest/gtest.h>

// After gtest: Xlib's macros (None, Bool) would break its templates.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/resources/picture_util.h"
#include "tests/support/files.h"
#include "tests/support/x_window.h"

namespace {

const char kAboutTitle[] = "정보";
const Rgb kWhite{255, 255, 255}, kAboutGrey{240, 240, 240};

// A generous limit against a stuck child; no result depends on it.
bool WaitUntil(const std::function<bool()>& done) {
  for (int waited = 0; waited < 20000; waited += 20, usleep(20 * 1000))
    if (done()) return true;
  return done();
}

void Xdotool(const std::string& args) { ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0); }

// The mapped top-level window whose _NET_WM_NAME, else WM_NAME, is title; or 0.
Window FindWindow(Display* display, const std::string& title) {
  Window root, parent, *children = nullptr, found = 0;
  unsigned int count = 0;
  XSync(display, False);
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  for (unsigned int i = 0; i < count && found == 0; ++i) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(display, children[i], &a) || a.map_state != IsViewable) continue;
    for (Atom name : {XInternAtom(display, "_NET_WM_NAME", False), Atom(XA_WM_NAME)}) {
      Atom type;
      int format;
      unsigned long n, after;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(display, children[i], name, 0, 256, False, AnyPropertyType, &type,
                             &format, &n, &after, &data) != Success ||
          !data)
        continue;
      const std::string got(reinterpret_cast<char*>(data), n);
      XFree(data);
      if (!got.empty()) {
        found = got == title ? children[i] : 0;
        break;
      }
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

struct Geometry {
  int X, Y, Width, Height;
};

Geometry GeometryOf(Display* display, Window window) {
  XWindowAttributes a;
  XGetWindowAttributes(display, window, &a);
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(display, window, a.root, 0, 0, &x, &y, &child);
  return {x, y, a.width, a.height};
}

struct Placed {
  const Image* Picture;
  int Left, Top;
};

// How many pixels on screen differ from the pictures placed on the background.
int Differing(Display* display, Window window, const std::vector<Placed>& pictures, Rgb back) {
  const Geometry g = GeometryOf(display, window);
  XImage* image = XGetImage(display, window, 0, 0, g.Width, g.Height, AllPlanes, ZPixmap);
  if (image == nullptr) return -1;
  int differing = 0;
  for (int y = 0; y < g.Height; ++y)
    for (int x = 0; x < g.Width; ++x) {
      Rgb want = back;
      for (const Placed& p : pictures)
        if (x >= p.Left && y >= p.Top && x < p.Left + int(p.Picture->Width) &&
            y < p.Top + int(p.Picture->Height))
          want = PixelAt(*p.Picture, x - p.Left, y - p.Top);
      const unsigned long v = XGetPixel(image, x, y);
      differing += want == Rgb{int(v >> 16 & 0xff), int(v >> 8 & 0xff), int(v & 0xff)} ? 0 : 1;
    }
  XDestroyImage(image);
  return differing;
}

// Failed requests fail the test, not the process; a window gone mid-walk is no fault.
int xErrors = 0;
int CountXError(Display*, XErrorEvent* error) {
  if (error->error_code != BadWindow) ++xErrors;
  return 0;
}

class HelpCardWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr) << "these tests need an X server: set DISPLAY";
    XSetErrorHandler(CountXError);
    xErrors = 0;
  }
  void TearDown() override {
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    if (display_ != nullptr) XCloseDisplay(display_);
    EXPECT_EQ(xErrors, 0) << "X requests failed";
  }
  // Starts the stand-in player in directory; the card is moved fully on screen.
  void StartHost(const std::string& directory) {
    std::fflush(nullptr);
    if ((pid_ = fork()) == 0) {
      if (chdir(directory.c_str()) == 0 && std::freopen(output_.c_str(), "w", stdout) &&
          dup2(fileno(stdout), 2) >= 0)
        execl(HELP_CARD_HOST, HELP_CARD_HOST, static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_TRUE(WaitUntil([&] { return (card_ = FindWindow(display_, "Plinkar")) != 0; }))
        << "no help card appeared; host said: " << readFile(output_);
    Xdotool("windowmove " + std::to_string(card_) + " 0 0");
    ASSERT_TRUE(WaitUntil([&] { return GeometryOf(display_, card_).X == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return (player_ = FindWindow(display_, "player stand-in")); }));
  }
  // Expects a normal exit with status 0 and returns what the host said.
  std::string ExpectExit() {
    int status = -1;
    EXPECT_TRUE(WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }));
    pid_ = 0;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string said = readFile(output_);
    EXPECT_NE(said.find("foreign 0\n"), std::string::npos) << said;
    return said;
  }
  void ExpectShown(Window window, const std::vector<Placed>& pictures, Rgb background) {
    WaitUntil([&] { return Differing(display_, window, pictures, background) == 0; });
    EXPECT_EQ(Differing(display_, window, pictures, background), 0);
  }
  // Clicks entry (0 = Exit, 1 = About...) in the card's right-button menu.
  void ChooseFromMenu(int entry) {
    Xdotool("mousemove 300 200 mousedown 3");
    Window menu = 0;
    ASSERT_TRUE(WaitUntil([&] { return (menu = FindWindow(display_, "freeglut menu")) != 0; }));
    Xdotool("mouseup 3");
    const Geometry m = GeometryOf(display_, menu);
    Xdotool("mousemove " + std::to_string(m.X + m.Width / 2) + " " +
            std::to_string(m.Y + m.Height * (2 * entry + 1) / 4) + " click 1");
    ASSERT_TRUE(WaitUntil([&] { return FindWindow(display_, "freeglut menu") == 0; }));
  }
  Window OpenAbout() {
    ChooseFromMenu(1);
    Window about = 0;
    EXPECT_TRUE(WaitUntil([&] { return (about = FindWindow(display_, kAboutTitle)) != 0; }))
        << "no About window; host said: " << readFile(output_);
    return about;
  }
  Display* display_ = nullptr;
  pid_t pid_ = 0;
  Window card_ = 0, player_ = 0;
  const std::string output_ = testDir() + "/host.out";
};

// The picture is never scaled; About sits centred on the card and closes four ways.
TEST_F(HelpCardWindow, CardAndAboutShowTheirPicturesAndClose) {
  StartHost(PLINKAR_SOURCE_DIR);
  const Image backdrop = LoadImage(ResourcePath("backdrop.bmp"));
  ASSERT_NE(backdrop.Pixels, nullptr);
  for (const char* size : {"900 700", "300 200", "800 600"}) {
    SCOPED_TRACE(size);
    Xdotool("windowsize " + std::to_string(card_) + " " + size);
    ASSERT_TRUE(WaitUntil([&] { return GeometryOf(display_, card_).Width == std::atoi(size); }));
    ExpectShown(card_, {{&backdrop, 0, 0}}, kWhite);
  }
  Image about[4];
  const char* names[4] = {"about_icon.bmp", "about_version.bmp", "about_note.bmp", "about_ok.bmp"};
  for (int i = 0; i < 4; i++) about[i] = LoadImage(ResourcePath(names[i]));
  const std::vector<Placed> placed = {
      {&about[0], 20, 20}, {&about[1], 84, 22}, {&about[2], 84, 50}, {&about[3], 236, 108}};
  for (const std::string way : {"close", "key Return", "key Escape", "click OK"}) {
    SCOPED_TRACE(way);
    const Window window = OpenAbout();
    ASSERT_NE(window, 0u);
    const Geometry g = GeometryOf(display_, window);
    EXPECT_EQ(std::vector<int>({g.X, g.Y, g.Width, g.Height}),
              std::vector<int>({(800 - 340) / 2, (600 - 150) / 2, 340, 150}));
    ExpectShown(window, placed, kAboutGrey);
    // Keys go to the window under the pointer on a bare X server.
    const bool ok = way == "click OK";
    if (way == "close")
      closeLikeWindowManager(display_, window);
    else
      Xdotool("mousemove " + std::to_string(g.X + (ok ? 236 + 42 : 100)) + " " +
              std::to_string(g.Y + 121) + (ok ? " click 1" : " " + way));
    EXPECT_TRUE(WaitUntil([&] { return FindWindow(display_, kAboutTitle) == 0; }));
    EXPECT_NE(FindWindow(display_, "Plinkar"), 0u);
  }
  // A click beside OK and other keys leave it open; About... again raises it.
  const Window window = OpenAbout();
  const Geometry g = GeometryOf(display_, window);
  Xdotool("mousemove " + std::to_string(g.X + 150) + " " + std::to_string(g.Y + 121) +
          " click 1 key a");
  ChooseFromMenu(1);
  EXPECT_EQ(FindWindow(display_, kAboutTitle), window);
  ChooseFromMenu(0);
  const std::string said = ExpectExit();
  EXPECT_EQ(said.find("idle 0 "), std::string::npos) << said;
}

// Closing About must not end the program; closing the player still does.
TEST_F(HelpCardWindow, WithoutThePicturesShowsPlainBackgroundsAndGoesOn) {
  StartHost(testDir());
  ExpectShown(card_, {}, kWhite);
  const Window about = OpenAbout();
  ASSERT_NE(about, 0u);
  ExpectShown(about, {}, kAboutGrey);
  closeLikeWindowManager(display_, about);
  EXPECT_TRUE(WaitUntil([&] { return FindWindow(display_, kAboutTitle) == 0; }));
  closeLikeWindowManager(display_, player_);
  const std::string said = ExpectExit();
  EXPECT_NE(said.find("Could not open file 'resources/backdrop.bmp'"), std::string::npos) << said;
}

}  // namespace
