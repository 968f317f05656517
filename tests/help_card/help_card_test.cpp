// The help-card window under a real X server: the stand-in player
// (help_card_host) runs as a child process; windows are found and read back
// with Xlib, and driven with real pointer and key events from xdotool.
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

// A generous limit against a stuck child; no result depends on it.
bool WaitUntil(const std::function<bool()>& done) {
  for (int waited = 0; waited < 20000; waited += 20, usleep(20 * 1000))
    if (done()) return true;
  return done();
}

void Xdotool(const std::string& args) { ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0); }

// The title a window manager would show: _NET_WM_NAME, else WM_NAME.
std::string WindowTitle(Display* display, Window window) {
  for (Atom name : {XInternAtom(display, "_NET_WM_NAME", False), Atom(XA_WM_NAME)}) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, name, 0, 256, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) != Success ||
        data == nullptr)
      continue;
    const std::string title(reinterpret_cast<char*>(data), count);
    XFree(data);
    if (!title.empty()) return title;
  }
  return "";
}

// The mapped top-level window with this title, or 0.
Window FindWindow(Display* display, const std::string& title) {
  Window root, parent, *children = nullptr, found = 0;
  unsigned int count = 0;
  XSync(display, False);
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  for (unsigned int i = 0; i < count && found == 0; ++i) {
    XWindowAttributes a;
    if (XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable &&
        WindowTitle(display, children[i]) == title)
      found = children[i];
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

// How many pixels on screen differ from the pictures at their places on the
// background.
int Differing(Display* display, Window window, const std::vector<Placed>& pictures,
              Rgb background) {
  const Geometry g = GeometryOf(display, window);
  XImage* image = XGetImage(display, window, 0, 0, g.Width, g.Height, AllPlanes, ZPixmap);
  if (image == nullptr) return -1;
  int differing = 0;
  for (int y = 0; y < g.Height; ++y)
    for (int x = 0; x < g.Width; ++x) {
      Rgb want = background;
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

const Rgb kWhite{255, 255, 255}, kAboutGrey{240, 240, 240};

// A failed request must fail the test, not end the process before the
// fixture has ended its child. A window that went away while the tree was
// being walked (the About window closing) is a race of the walk, not a fault.
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
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (display_ != nullptr) XCloseDisplay(display_);
    EXPECT_EQ(xErrors, 0) << "X requests failed";
  }

  // Starts the stand-in player in directory, its output going to output_.
  void StartHost(const std::string& directory) {
    std::fflush(nullptr);
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      if (chdir(directory.c_str()) != 0 || !std::freopen(output_.c_str(), "w", stdout) ||
          dup2(fileno(stdout), 2) < 0)
        _exit(126);
      execl(HELP_CARD_HOST, HELP_CARD_HOST, static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_TRUE(WaitUntil([&] { return (card_ = FindWindow(display_, "Plinkar")) != 0; }))
        << "no help card appeared; host said: " << readFile(output_);
    // It opens clear of a player at the left, partly off a narrow screen;
    // these tests look at all of it.
    Xdotool("windowmove " + std::to_string(card_) + " 0 0");
    ASSERT_TRUE(WaitUntil([&] { return GeometryOf(display_, card_).X == 0; }));
    ASSERT_TRUE(
        WaitUntil([&] { return (player_ = FindWindow(display_, "player stand-in")) != 0; }));
  }

  // The child's exit status, or -1 when it did not end normally.
  int WaitForExit() {
    int status = 0;
    if (!WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; })) return -1;
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void ExpectShown(Window window, const std::vector<Placed>& pictures, Rgb background) {
    WaitUntil([&] { return Differing(display_, window, pictures, background) == 0; });
    EXPECT_EQ(Differing(display_, window, pictures, background), 0);
  }

  // Opens the card's right-button menu and clicks entry (0 = Exit, 1 = About...).
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

  bool AboutGone() {
    return WaitUntil([&] { return FindWindow(display_, kAboutTitle) == 0; });
  }

  Display* display_ = nullptr;
  pid_t pid_ = 0;
  Window card_ = 0, player_ = 0;
  const std::string output_ = testDir() + "/host.out";
};

TEST_F(HelpCardWindow, ShowsTheHelpCardUnscaledAtTheTopLeft) {
  StartHost(PLINKAR_SOURCE_DIR);
  const Geometry g = GeometryOf(display_, card_);
  EXPECT_EQ(g.Width, 800);
  EXPECT_EQ(g.Height, 600);
  const Image backdrop = LoadImage(ResourcePath("backdrop.bmp"));
  ASSERT_NE(backdrop.Pixels, nullptr);
  ExpectShown(card_, {{&backdrop, 0, 0}}, kWhite);

  // Bigger, the picture stays at its own size with white beside it; smaller,
  // the window shows its top-left corner, not a scaled copy.
  for (const char* size : {"900 700", "300 200"}) {
    SCOPED_TRACE(size);
    Xdotool("windowsize " + std::to_string(card_) + " " + size);
    const int width = std::atoi(size);
    ASSERT_TRUE(WaitUntil([&] { return GeometryOf(display_, card_).Width == width; }));
    ExpectShown(card_, {{&backdrop, 0, 0}}, kWhite);
  }

  // Closing the help card ends the program normally.
  closeLikeWindowManager(display_, card_);
  EXPECT_EQ(WaitForExit(), 0);
}

TEST_F(HelpCardWindow, AboutOpensFromTheMenuAndClosesEveryWay) {
  StartHost(PLINKAR_SOURCE_DIR);
  const Image icon = LoadImage(ResourcePath("about_icon.bmp"));
  const Image version = LoadImage(ResourcePath("about_version.bmp"));
  const Image note = LoadImage(ResourcePath("about_note.bmp"));
  const Image ok = LoadImage(ResourcePath("about_ok.bmp"));
  ASSERT_NE(icon.Pixels, nullptr);

  for (const std::string way : {"close", "key Return", "key Escape", "click OK"}) {
    SCOPED_TRACE(way);
    const Window about = OpenAbout();
    ASSERT_NE(about, 0u);
    // Centred on the help card, as a dialog sits on its owner.
    const Geometry g = GeometryOf(display_, about);
    EXPECT_EQ(g.X, (800 - 340) / 2);
    EXPECT_EQ(g.Y, (600 - 150) / 2);
    EXPECT_EQ(g.Width, 340);
    EXPECT_EQ(g.Height, 150);
    ExpectShown(about, {{&icon, 20, 20}, {&version, 84, 22}, {&note, 84, 50}, {&ok, 236, 108}},
                kAboutGrey);
    // Keys go to the window under the pointer on a bare X server.
    if (way == "close") {
      closeLikeWindowManager(display_, about);
    } else {
      const bool ok = way == "click OK";
      Xdotool("mousemove " + std::to_string(g.X + (ok ? 236 + 42 : 100)) + " " +
              std::to_string(g.Y + 121) + (ok ? " click 1" : " " + way));
    }
    EXPECT_TRUE(AboutGone());
    EXPECT_NE(FindWindow(display_, "Plinkar"), 0u);
  }

  // A click beside OK and other keys leave it open; a second About... raises
  // the same window.
  const Window about = OpenAbout();
  const Geometry g = GeometryOf(display_, about);
  Xdotool("mousemove " + std::to_string(g.X + 150) + " " + std::to_string(g.Y + 121) +
          " click 1 key a");
  ChooseFromMenu(1);
  EXPECT_EQ(FindWindow(display_, kAboutTitle), about);

  // Exit in the menu ends the program normally, and every callback handed the
  // current window back to the player.
  ChooseFromMenu(0);
  EXPECT_EQ(WaitForExit(), 0);
  const std::string said = readFile(output_);
  EXPECT_NE(said.find("foreign 0\n"), std::string::npos) << said;
  EXPECT_EQ(said.find("idle 0 "), std::string::npos) << said;
}

// Closing the About window must not end the program; closing the player's
// still does afterwards.
TEST_F(HelpCardWindow, WithoutThePicturesShowsPlainBackgroundsAndGoesOn) {
  StartHost(testDir());
  ExpectShown(card_, {}, kWhite);
  const Window about = OpenAbout();
  ASSERT_NE(about, 0u);
  ExpectShown(about, {}, kAboutGrey);
  closeLikeWindowManager(display_, about);
  EXPECT_TRUE(AboutGone());
  closeLikeWindowManager(display_, player_);
  EXPECT_EQ(WaitForExit(), 0);
  const std::string said = readFile(output_);
  EXPECT_NE(said.find("Could not open file 'resources/backdrop.bmp'"), std::string::npos) << said;
  EXPECT_NE(said.find("foreign 0\n"), std::string::npos) << said;
}

}  // namespace
