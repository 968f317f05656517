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

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/resources/picture_util.h"
#include "tests/support/x_window.h"

namespace {

const char kAboutTitle[] = "정보";

// Generous limits against a stuck child; no result depends on them.
constexpr int kPatienceMs = 20000;

bool WaitUntil(const std::function<bool()>& done) {
  for (int waited = 0; waited < kPatienceMs; waited += 20) {
    if (done()) return true;
    usleep(20 * 1000);
  }
  return done();
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Xdotool(const std::string& args) {
  const std::string command = "xdotool " + args;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The title a window manager would show: _NET_WM_NAME, else WM_NAME.
std::string WindowTitle(Display* display, Window window) {
  const Atom names[] = {XInternAtom(display, "_NET_WM_NAME", False), XA_WM_NAME};
  for (Atom name : names) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, name, 0, 256, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) == Success &&
        data != nullptr) {
      std::string title(reinterpret_cast<char*>(data), count);
      XFree(data);
      if (!title.empty()) return title;
    }
  }
  return "";
}

// The mapped top-level window with this title, or 0.
Window FindWindow(Display* display, const std::string& title) {
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  Window found = 0;
  XSync(display, False);
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return 0;
  for (unsigned int i = 0; i < count && found == 0; ++i) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, children[i], &attributes) &&
        attributes.map_state == IsViewable && WindowTitle(display, children[i]) == title)
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

// Pixels of the screen shown in the window, row by row from the top.
std::vector<Rgb> Grab(Display* display, Window window) {
  const Geometry g = GeometryOf(display, window);
  XImage* image = XGetImage(display, window, 0, 0, g.Width, g.Height, AllPlanes, ZPixmap);
  std::vector<Rgb> pixels;
  if (image == nullptr) return pixels;
  for (int y = 0; y < g.Height; ++y)
    for (int x = 0; x < g.Width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      pixels.push_back({static_cast<int>((p >> 16) & 0xff), static_cast<int>((p >> 8) & 0xff),
                        static_cast<int>(p & 0xff)});
    }
  XDestroyImage(image);
  return pixels;
}

// How many pixels of the picture placed at (left, top) differ on screen.
int Mismatches(const std::vector<Rgb>& shot, int shotWidth, const Image& picture, int left,
               int top) {
  int differing = 0;
  for (uint32_t y = 0; y < picture.Height; ++y)
    for (uint32_t x = 0; x < picture.Width; ++x) {
      const size_t at = (top + y) * shotWidth + left + x;
      if (at >= shot.size() || !(shot[at] == PixelAt(picture, x, y))) ++differing;
    }
  return differing;
}


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
    const char* name = std::getenv("DISPLAY");
    ASSERT_TRUE(name != nullptr && *name != '\0')
        << "The help-card window tests need an X server: set DISPLAY (scripts/test.sh starts "
           "an Xvfb for them).";
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr) << "cannot open X display " << name;
    XSetErrorHandler(CountXError);
    xErrors = 0;
    char dir[] = "/tmp/help_card_test.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    scratch_ = dir;
    output_ = scratch_ + "/host.out";
  }

  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (display_ != nullptr) XCloseDisplay(display_);
    EXPECT_EQ(xErrors, 0) << "X requests failed";
    if (!scratch_.empty()) std::system(("rm -rf '" + scratch_ + "'").c_str());
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
    ASSERT_TRUE(WaitUntil([&] { return FindWindow(display_, "Plinkar") != 0; }))
        << "no help card appeared; host said: " << ReadText(output_);
    card_ = FindWindow(display_, "Plinkar");
    // It opens clear of a player at the left, partly off a narrow screen;
    // these tests look at all of it.
    Xdotool("windowmove " + std::to_string(card_) + " 0 0");
    ASSERT_TRUE(WaitUntil([&] { return GeometryOf(display_, card_).X == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return FindWindow(display_, "player stand-in") != 0; }));
    player_ = FindWindow(display_, "player stand-in");
  }

  // The child's exit status, or -1 when it did not end normally.
  int WaitForExit() {
    int status = 0;
    const bool ended = WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
    if (!ended) return -1;
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  bool HostRunning() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

  // Opens the card's right-button menu and clicks entry (0 = Exit, 1 = About...).
  void ChooseFromMenu(int entry) {
    const Geometry card = GeometryOf(display_, card_);
    const int x = card.X + 300, y = card.Y + 200;
    Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " mousedown 3");
    Window menu = 0;
    ASSERT_TRUE(WaitUntil([&] { return (menu = FindWindow(display_, "freeglut menu")) != 0; }));
    Xdotool("mouseup 3");
    const Geometry m = GeometryOf(display_, menu);
    const int entryY = m.Y + m.Height * (2 * entry + 1) / 4;
    Xdotool("mousemove " + std::to_string(m.X + m.Width / 2) + " " + std::to_string(entryY) +
            " click 1");
    ASSERT_TRUE(WaitUntil([&] { return FindWindow(display_, "freeglut menu") == 0; }));
  }

  Window OpenAbout() {
    ChooseFromMenu(1);
    Window about = 0;
    EXPECT_TRUE(WaitUntil([&] { return (about = FindWindow(display_, kAboutTitle)) != 0; }))
        << "no About window; host said: " << ReadText(output_);
    return about;
  }

  bool AboutGone() {
    return WaitUntil([&] { return FindWindow(display_, kAboutTitle) == 0; });
  }

  // Ends the host through the menu's Exit and returns what it printed.
  std::string ExitThroughMenu() {
    ChooseFromMenu(0);
    EXPECT_EQ(WaitForExit(), 0);
    return ReadText(output_);
  }

  Display* display_ = nullptr;
  pid_t pid_ = 0;
  Window card_ = 0;
  Window player_ = 0;
  std::string scratch_;
  std::string output_;
};

TEST_F(HelpCardWindow, ShowsTheHelpCardUnscaledAtTheTopLeft) {
  StartHost(PLINKAR_SOURCE_DIR);
  const Geometry g = GeometryOf(display_, card_);
  EXPECT_EQ(g.Width, 800);
  EXPECT_EQ(g.Height, 600);

  const Image backdrop = LoadImage(ResourcePath("backdrop.bmp"));
  ASSERT_NE(backdrop.Pixels, nullptr);
  WaitUntil([&] { return Mismatches(Grab(display_, card_), 800, backdrop, 0, 0) == 0; });
  EXPECT_EQ(Mismatches(Grab(display_, card_), 800, backdrop, 0, 0), 0);

  // Bigger: the picture stays at the top-left at its own size, white beside it.
  Xdotool("windowmove " + std::to_string(card_) + " 0 0 windowsize " + std::to_string(card_) +
          " 900 700");
  const auto resized = [&] {
    const Geometry now = GeometryOf(display_, card_);
    return now.X == 0 && now.Width == 900;
  };
  ASSERT_TRUE(WaitUntil(resized));
  const Image white = [] {
    Image i;
    i.Width = 100;
    i.Height = 700;
    i.Owned.reset(static_cast<unsigned char*>(std::malloc(100 * 700 * 3)));
    for (int k = 0; k < 100 * 700 * 3; ++k) i.Owned.get()[k] = 255;
    i.Pixels = i.Owned.get();
    return i;
  }();
  const auto shown = [&] {
    const std::vector<Rgb> shot = Grab(display_, card_);
    return Mismatches(shot, 900, backdrop, 0, 0) + Mismatches(shot, 900, white, 800, 0);
  };
  WaitUntil([&] { return shown() == 0; });
  EXPECT_EQ(shown(), 0);

  // Smaller: still the picture's top-left corner, not a scaled copy.
  Xdotool("windowsize " + std::to_string(card_) + " 300 200");
  ASSERT_TRUE(WaitUntil([&] { return GeometryOf(display_, card_).Width == 300; }));
  const auto corner = [&] {
    const std::vector<Rgb> shot = Grab(display_, card_);
    int differing = 0;
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 300; ++x)
        differing +=
            shot.size() == 300 * 200 && shot[y * 300 + x] == PixelAt(backdrop, x, y) ? 0 : 1;
    return differing;
  };
  WaitUntil([&] { return corner() == 0; });
  EXPECT_EQ(corner(), 0);

  // Closing the help card ends the program normally.
  closeLikeWindowManager(display_, card_);
  EXPECT_EQ(WaitForExit(), 0);
}

TEST_F(HelpCardWindow, AboutOpensFromTheMenuAndClosesOnEnterEscapeAndOk) {
  StartHost(PLINKAR_SOURCE_DIR);
  const Image icon = LoadImage(ResourcePath("about_icon.bmp"));
  const Image version = LoadImage(ResourcePath("about_version.bmp"));
  const Image ok = LoadImage(ResourcePath("about_ok.bmp"));
  ASSERT_NE(icon.Pixels, nullptr);

  for (const std::string way : {"key Return", "key Escape", "click OK"}) {
    SCOPED_TRACE(way);
    const Window about = OpenAbout();
    ASSERT_NE(about, 0u);
    const Geometry g = GeometryOf(display_, about);
    EXPECT_EQ(g.Width, 340);
    EXPECT_EQ(g.Height, 150);
    const auto shown = [&] {
      const std::vector<Rgb> shot = Grab(display_, about);
      return Mismatches(shot, 340, icon, 20, 20) + Mismatches(shot, 340, version, 84, 22) +
             Mismatches(shot, 340, ok, 236, 108);
    };
    WaitUntil([&] { return shown() == 0; });
    EXPECT_EQ(shown(), 0);

    // Keys go to the window under the pointer on a bare X server.
    if (way == "click OK") {
      Xdotool("mousemove " + std::to_string(g.X + 236 + 42) + " " + std::to_string(g.Y + 121) +
              " click 1");
    } else {
      Xdotool("mousemove " + std::to_string(g.X + 100) + " " + std::to_string(g.Y + 100) + " " +
              way);
    }
    EXPECT_TRUE(AboutGone());
    EXPECT_NE(FindWindow(display_, "Plinkar"), 0u);
  }

  // A click beside OK and other keys leave it open.
  const Window about = OpenAbout();
  const Geometry g = GeometryOf(display_, about);
  Xdotool("mousemove " + std::to_string(g.X + 150) + " " + std::to_string(g.Y + 121) +
          " click 1 key a");
  ChooseFromMenu(1);  // a second About... raises the same window
  EXPECT_EQ(FindWindow(display_, kAboutTitle), about);

  // Every callback handed the current window back to the player.
  const std::string said = ExitThroughMenu();
  EXPECT_NE(said.find("foreign 0\n"), std::string::npos) << said;
  EXPECT_EQ(said.find("idle 0 "), std::string::npos) << said;
}

TEST_F(HelpCardWindow, WindowManagerCloseEndsOnlyTheAboutWindow) {
  StartHost(PLINKAR_SOURCE_DIR);
  Window about = OpenAbout();
  ASSERT_NE(about, 0u);
  closeLikeWindowManager(display_, about);
  EXPECT_TRUE(AboutGone());

  // Still running and answering: the About window opens again.
  about = OpenAbout();
  ASSERT_NE(about, 0u);
  EXPECT_TRUE(HostRunning());
  closeLikeWindowManager(display_, about);
  EXPECT_TRUE(AboutGone());

  // Closing the player's window still ends the program.
  closeLikeWindowManager(display_, player_);
  EXPECT_EQ(WaitForExit(), 0);
  EXPECT_NE(ReadText(output_).find("foreign 0\n"), std::string::npos) << ReadText(output_);
}

TEST_F(HelpCardWindow, WithoutThePictureShowsAPlainBackgroundAndGoesOn) {
  StartHost(scratch_);
  const auto allWhite = [&] {
    int other = 0;
    for (const Rgb& c : Grab(display_, card_)) other += c == Rgb{255, 255, 255} ? 0 : 1;
    return other;
  };
  WaitUntil([&] { return allWhite() == 0; });
  EXPECT_EQ(allWhite(), 0);
  ASSERT_NE(OpenAbout(), 0u);

  const std::string said = ExitThroughMenu();
  EXPECT_NE(said.find("Could not open file 'resources/backdrop.bmp'"), std::string::npos) << said;
}

}  // namespace
