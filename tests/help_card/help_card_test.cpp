// The help card under X: the stand-in player as a child, read with Xlib, driven by xdotool.
// gtest first: Xlib's macros (None, Bool), from x_window.h, would break its templates.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "tests/resources/picture_util.h"
#include "tests/support/files.h"
#include "tests/support/x_window.h"

namespace {

const char kAboutTitle[] = "정보";
const Rgb kWhite{255, 255, 255}, kAboutGrey{240, 240, 240};

// Polls every 20 ms up to a generous limit against a stuck child; a failure
// names what did not happen.
testing::AssertionResult WaitUntil(const std::function<bool()>& done, const std::string& what) {
  for (int waited = 0; waited < 20000; waited += 20, usleep(20 * 1000))
    if (done()) return testing::AssertionSuccess();
  if (done()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << what << ": not within 20 s";
}

void Xdotool(const std::string& args) { ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0); }

// The mapped window titled title; or 0.
Window FindWindow(const std::string& title) {
  return searchWindow("--onlyvisible --name '^" + title + "$'");
}

// Left, top, width and height.
std::vector<int> BoxOf(Window window) {
  int w = 0, h = 0, l = -1, t = -1;
  geometry(window, &w, &h, &l, &t);
  return {l, t, w, h};
}

using Placed = std::tuple<const Image*, int, int>;  // picture, left, top

// How many pixels on screen differ from the pictures placed on the background.
int Differing(Window window, const std::vector<Placed>& pictures, Rgb back) {
  const Screenshot shot = grab(window);
  int differing = shot.rgb.empty() ? -1 : 0;
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x) {
      Rgb want = back;
      for (const auto& [picture, left, top] : pictures)
        if (unsigned(x - left) < picture->Width && unsigned(y - top) < picture->Height)
          want = PixelAt(*picture, x - left, y - top);
      const uint8_t* got = shot.at(x, y);
      differing += want == Rgb{got[0], got[1], got[2]} ? 0 : 1;
    }
  return differing;
}

class HelpCardWindow : public ::testing::Test {
 protected:
  void TearDown() override {
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
  }
  // Starts the stand-in player in directory; the card is moved fully on screen.
  void StartHost(const std::string& directory) {
    ASSERT_NE(testDisplay(), nullptr) << "these tests need an X server: set DISPLAY";
    std::fflush(nullptr);
    if ((pid_ = fork()) == 0) {
      if (chdir(directory.c_str()) == 0 && std::freopen(output_.c_str(), "w", stdout) &&
          dup2(fileno(stdout), 2) >= 0)
        execl(HELP_CARD_HOST, HELP_CARD_HOST, static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_TRUE(WaitUntil([&] { return (card_ = FindWindow("Plinkar")) != 0; }, "the help card"))
        << "no help card appeared; host said: " << readFile(output_);
    Xdotool("windowmove " + std::to_string(card_) + " 0 0");
    ASSERT_TRUE(WaitUntil([&] { return BoxOf(card_)[0] == 0; }, "the card moved"));
    ASSERT_TRUE(WaitUntil([&] { return (player_ = FindWindow("player stand-in")); }, "the player"));
  }
  // Expects a normal exit with status 0 and returns what the host said.
  std::string ExpectExit() {
    int status = -1;
    EXPECT_TRUE(WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, "the exit"));
    pid_ = 0;
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string said = readFile(output_);
    EXPECT_NE(said.find("foreign 0\n"), std::string::npos) << said;
    return said;
  }
  void ExpectShown(Window window, const std::vector<Placed>& pictures, Rgb background) {
    EXPECT_TRUE(WaitUntil([&] { return Differing(window, pictures, background) == 0; },
                          "the pictures shown on their background"));
  }
  // Clicks entry (0 = Exit, 1 = About...) in the card's right-button menu.
  void ChooseFromMenu(int entry) {
    Xdotool("mousemove 300 200 mousedown 3");
    Window menu = 0;
    ASSERT_TRUE(WaitUntil([&] { return (menu = FindWindow("freeglut menu")) != 0; }, "the menu"));
    Xdotool("mouseup 3");
    const std::vector<int> m = BoxOf(menu);
    Xdotool("mousemove " + std::to_string(m[0] + m[2] / 2) + " " +
            std::to_string(m[1] + m[3] * (2 * entry + 1) / 4) + " click 1");
    ASSERT_TRUE(WaitUntil([&] { return FindWindow("freeglut menu") == 0; }, "the menu closing"));
  }
  Window OpenAbout() {
    ChooseFromMenu(1);
    Window about = 0;
    EXPECT_TRUE(WaitUntil([&] { return (about = FindWindow(kAboutTitle)) != 0; }, "About"))
        << "no About window; host said: " << readFile(output_);
    return about;
  }
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
    ASSERT_TRUE(WaitUntil([&] { return BoxOf(card_)[2] == std::atoi(size); }, "the new size"));
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
    const std::vector<int> g = BoxOf(window);
    const int box[] = {(800 - 340) / 2, (600 - 150) / 2, 340, 150};
    for (int i = 0; i < 4; i++) EXPECT_EQ(g[i], box[i]) << "left, top, width, height: " << i;
    ExpectShown(window, placed, kAboutGrey);
    // Keys go to the window under the pointer on a bare X server.
    const bool ok = way == "click OK";
    if (way == "close")
      closeLikeWindowManager(window);
    else
      Xdotool("mousemove " + std::to_string(g[0] + (ok ? 236 + 42 : 100)) + " " +
              std::to_string(g[1] + 121) + (ok ? " click 1" : " " + way));
    EXPECT_TRUE(WaitUntil([&] { return FindWindow(kAboutTitle) == 0; }, "About closing"));
    EXPECT_NE(FindWindow("Plinkar"), 0u);
  }
  // A click beside OK and other keys leave it open; About... again raises it.
  const Window window = OpenAbout();
  const std::vector<int> g = BoxOf(window);
  Xdotool("mousemove " + std::to_string(g[0] + 150) + " " + std::to_string(g[1] + 121) +
          " click 1 key a");
  ChooseFromMenu(1);
  EXPECT_EQ(FindWindow(kAboutTitle), window);
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
  closeLikeWindowManager(about);
  EXPECT_TRUE(WaitUntil([&] { return FindWindow(kAboutTitle) == 0; }, "About closing"));
  closeLikeWindowManager(player_);
  const std::string said = ExpectExit();
  EXPECT_NE(said.find("Could not open file 'resources/backdrop.bmp'"), std::string::npos) << said;
}

}  // namespace
