// The real player, played the way a user plays it.
#include <RtMidi.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <tuple>

#include "platform/song.h"
#include "tests/e2e/jack_server.h"
#include "tests/e2e/player_process.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/wav_read.h"
#include "tests/support/x_window.h"

namespace {

using Samples = std::vector<int16_t>;

// A shipped stereo sound as the mono device plays it at this velocity.
Samples monoWav(const char* name, int velocity = 127) {
  WavSound wav;
  std::string error;
  EXPECT_TRUE(ReadWav(std::string(SOURCE_DIR "/wav/") + name, &wav, &error)) << error;
  const int32_t gain = static_cast<int32_t>(std::lround(velocity / 127.0 * 32768));
  Samples mono;
  for (size_t i = 0; i + 1 < wav.samples.size(); i += 2)
    mono.push_back(
        static_cast<int16_t>((((wav.samples[i] + wav.samples[i + 1]) / 2) * gain) >> 15));
  return mono;
}

// Where the sound starts in the output, by its first loud 256 samples, or -1;
// *end is where in the sound the output stops following it.
long placeOf(const Samples& output, const Samples& sound, size_t* end = nullptr) {
  size_t loud = 0;
  while (loud + 256 < sound.size() && std::abs(sound[loud]) < 2000) loud++;
  for (size_t o = 0; loud + 256 < sound.size() && o + 256 <= output.size(); o++) {
    size_t k = 0;
    while (loud + k < sound.size() && o + k < output.size() &&
           std::abs(output[o + k] - sound[loud + k]) <= 2)
      k++;
    if (k < 256) continue;
    if (end) *end = loud + k;
    return static_cast<long>(o - loud);
  }
  return -1;
}

// The first frame that differs from rest: a key is down for only 140 ms.
Screenshot grabChanged(unsigned long window, const Screenshot& rest) {
  Screenshot shot;
  waitFor([&] { return countChanged(rest, shot = grab(window)) > 20; }, 10000);
  return shot;
}

// Sounds in the output: from a first sample that is not 0 to the last one
// before 64 zeros or more.
std::vector<std::pair<size_t, size_t>> soundsIn(const Samples& output) {
  std::vector<std::pair<size_t, size_t>> sounds;
  size_t zeros = 64;
  for (size_t i = 0; i < output.size(); i++) {
    if (output[i] == 0) {
      zeros++;
      continue;
    }
    if (zeros >= 64) sounds.push_back({i, i});
    sounds.back().second = i + 1;
    zeros = 0;
  }
  return sounds;
}

// What SDL's disk driver has written once done(it) holds; a failure naming
// what did not happen when it still does not after 10 s.
Samples outputOnce(const PlayerProcess& player, const std::function<bool(const Samples&)>& done,
                   const std::string& what) {
  Samples output;
  EXPECT_TRUE(
      waitFor([&] { return done(output = ReadRawSamples(player.audioFile)); }, 10000, what));
  return output;
}

// For outputOnce: n sounds or more, the last one ended.
std::function<bool(const Samples&)> soundsEnded(size_t n) {
  return [n](const Samples& output) {
    const auto sounds = soundsIn(output);
    return sounds.size() >= n && output.size() >= sounds.back().second + 64;
  };
}

// The piano's leftmost key went down in `down`: the changes centre on it.
void expectLeftmostKeyDown(const Screenshot& rest, const Screenshot& down) {
  double cx = 0, cy = 0;
  EXPECT_GT(countChanged(rest, down, &cx, &cy), 20) << "the key did not move";
  // White key 0's centre turned 130 degrees about x, seen from the start view.
  EXPECT_NEAR(cx, 89, 30) << "not the leftmost key";
  EXPECT_NEAR(cy, 215, 40);
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "these tests need an X display";
    ASSERT_TRUE(startPlayer(&player_)) << "the player did not open its two windows; it said:\n"
                                       << playerLog(player_);
  }
  void TearDown() override { EXPECT_NE(stopPlayer(&player_), -3) << "SIGTERM was ignored"; }
  void keys(const std::string& names) { xdotool("key --window " + window() + " " + names); }
  void choose(int entry) {
    EXPECT_TRUE(chooseMenuEntry(player_, player_.playerWindow, 250, 420, 3, entry));
  }
  std::string window() const { return std::to_string(player_.playerWindow); }

  PlayerProcess player_;
};

enum { kPiano, kDrum, kGuitar };

// Xvfb offers no swap control: frames must come, but not as fast as a core can draw.
TEST_F(PlayerTest, WindowsOpenAtTheirSizesShowTheBackdropAndIdleCalmly) {
  auto ticks = [&] {  // user and system time, fields 14 and 15 of /proc/PID/stat
    std::ifstream stat("/proc/" + std::to_string(player_.pid) + "/stat");
    std::string field;
    for (int i = 1; i < 14; i++) stat >> field;
    long user = 0, system = 0;
    stat >> user >> system;
    return user + system;
  };
  const long before = ticks();
  sleepMs(1000);  // the span measured
  EXPECT_LT(ticks() - before, sysconf(_SC_CLK_TCK) / 2) << "over half a core while idle";

  int w = 0, h = 0, playerLeft = 0, cardLeft = 0, top;
  ASSERT_TRUE(geometry(player_.playerWindow, &w, &h, &playerLeft, &top));
  EXPECT_EQ(w, 500);
  EXPECT_EQ(h, 500);
  ASSERT_TRUE(geometry(player_.helpCardWindow, &w, &h, &cardLeft, &top));
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  EXPECT_GE(cardLeft, playerLeft + 500) << "the help card overlaps the player";

  const Screenshot empty = grab(player_.playerWindow);  // nothing chosen: the clear colour
  ASSERT_EQ(empty.width, 500);
  EXPECT_EQ(empty.at(250, 250)[0], 64);
  EXPECT_EQ(empty.at(250, 250)[2], 64);
  const Screenshot card = grab(player_.helpCardWindow);
  ASSERT_EQ(card.height, 600);
  const uint8_t* margin = card.at(400, 590);  // the backdrop's yellow margin
  EXPECT_GT(margin[0], 200) << "no yellow backdrop";
  EXPECT_GT(margin[1], 180) << "no yellow backdrop";
  EXPECT_LT(margin[2], 120) << "no yellow backdrop";
}

// A taskbar ties both windows to the menu entry by class and shows the
// program's icon: 16, 32 and 48 pixels, each as width, height, then pixels.
TEST_F(PlayerTest, BothWindowsCarryTheEntrysClassThePidAndTheIcon) {
  std::ifstream entry(std::string(PLINKAR_SOURCE_DIR) +
                      "/packaging/io.github.plinkar.Plinkar.desktop");
  std::string line, startupClass;
  while (std::getline(entry, line))
    if (line.rfind("StartupWMClass=", 0) == 0) startupClass = line.substr(15);
  ASSERT_FALSE(startupClass.empty()) << "the desktop entry names no StartupWMClass";
  for (const unsigned long window : {player_.playerWindow, player_.helpCardWindow}) {
    SCOPED_TRACE(window == player_.playerWindow ? "player window" : "help card");
    const std::vector<std::string> names = windowClass(window);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "plinkar");
    EXPECT_EQ(names[1], startupClass);
    const std::vector<unsigned long> pid = cardinalProperty(window, "_NET_WM_PID");
    ASSERT_EQ(pid.size(), 1u);
    EXPECT_EQ(pid[0], static_cast<unsigned long>(player_.pid));
    const std::vector<unsigned long> icon = cardinalProperty(window, "_NET_WM_ICON");
    ASSERT_EQ(icon.size(), 6u + 16 * 16 + 32 * 32 + 48 * 48);
    EXPECT_EQ(icon[0], 16u);
    EXPECT_EQ(icon[2 + 16 * 16], 32u);
    EXPECT_EQ(icon[2 + 16 * 16 + 2 + 32 * 32], 48u);
    EXPECT_EQ(icon[2] >> 24, 0u) << "the 16-pixel icon's corner is not transparent";
    EXPECT_EQ(icon[2 + 8 * 16 + 8] >> 24, 255u) << "the 16-pixel icon's middle is not opaque";
  }
}

// Real held keys, auto-repeating: a piano key plays once, a chord key's marker
// shows while held; an arrow walks on.
TEST_F(PlayerTest, HeldKeysPlayOnceShowTheirChordWhileHeldAndAHeldArrowWalksOn) {
  choose(kPiano);
  xdotool("windowfocus --sync " + window());
  const Screenshot rest = grab(player_.playerWindow);
  xdotool("keydown z");
  const Screenshot down = grabChanged(player_.playerWindow, rest);
  xdotool("sleep 1.2 keyup z");  // held long enough to repeat
  expectLeftmostKeyDown(rest, down);
  EXPECT_TRUE(waitFor([&] { return countChanged(rest, grab(player_.playerWindow)) < 10; }, 10000,
                      "the key coming back"));
  const Samples doWav = monoWav("piano/do.wav");
  size_t end = 0;
  const Samples output = outputOnce(
      player_, [&](const Samples& out) { return placeOf(out, doWav, &end) >= 0 && end > 44100; },
      "do.wav heard whole for a second");
  EXPECT_GE(placeOf(output, doWav, &end), 0) << "not heard";
  EXPECT_GT(end, 44100u) << "the held key restarted its note";

  for (int instrument : {kPiano, kGuitar}) choose(instrument);  // the guitar alone
  const Screenshot guitar = grab(player_.playerWindow);
  keys("Right Right Right Right Right");  // towards the front guitar copy
  const Screenshot before = grabSettled(player_.playerWindow, &guitar);
  xdotool("keydown 1");
  Screenshot held;
  waitFor([&] { return countChanged(before, held = grab(player_.playerWindow)) > 30; }, 10000);
  xdotool("keyup 1");
  EXPECT_GT(countChanged(before, held), 30) << "no Am marker while held";
  EXPECT_TRUE(waitFor([&] { return countChanged(before, grab(player_.playerWindow)) < 10; }, 10000,
                      "the marker going"));

  xdotool("keydown Left sleep 1.2 keyup Left key Right");  // held long enough to walk on
  EXPECT_GT(countChanged(before, grabSettled(player_.playerWindow)), 1000)
      << "one Right undid a held Left: it turned one step only";

  // All that without a MIDI system, which one line says.
  std::string log = playerLog(player_);
  log.erase(0, log.find("plinkar:"));  // past SDL's disk driver announcing itself
  EXPECT_EQ(log, "plinkar: no MIDI input: no ALSA sequencer and no JACK server\n");
}

// Shift pressed or let go while a key is held changes the character of its
// repeats and release ('m' to 'M', '1' to '!'); the key is still the same.
TEST_F(PlayerTest, ShiftChangedWhileAKeyIsHeldSwallowsNoPressAndLeavesNoMarker) {
  for (int instrument : {kPiano, kGuitar}) choose(instrument);
  xdotool("windowfocus --sync " + window());
  const Screenshot guitars = grab(player_.playerWindow);
  keys("Right Right Right Right Right");  // towards the front guitar copy
  const Screenshot rest = grabSettled(player_.playerWindow, &guitars);
  // Held past the repeat delay with and without Shift; the played timing.
  xdotool(
      "keydown m sleep 0.9 keydown Shift_L sleep 0.5 keyup m sleep 0.1 keyup Shift_L sleep 0.2 "
      "key m");
  const Samples si = monoWav("piano/si.wav");
  const auto nextM = [&](const Samples& output, long first) {  // one second after the first
    return placeOf(
        Samples(output.begin() + std::min(output.size(), size_t(first) + 44100), output.end()), si);
  };
  const Samples output = outputOnce(
      player_,
      [&](const Samples& out) {
        return placeOf(out, si) >= 0 && nextM(out, placeOf(out, si)) >= 0;
      },
      "the m after Shift heard");
  const long first = placeOf(output, si);
  ASSERT_GE(first, 0) << "the held m was not heard";
  EXPECT_GE(nextM(output, first), 0) << "the next m after Shift played nothing";

  xdotool("keydown 1 sleep 0.9 keydown Shift_L sleep 0.5");  // the played timing
  const Screenshot held = grab(player_.playerWindow);
  xdotool("keyup 1 sleep 0.1 keyup Shift_L");
  EXPECT_GT(countChanged(rest, held), 30) << "no Am marker while held";
  EXPECT_TRUE(waitFor([&] { return countChanged(rest, grab(player_.playerWindow)) < 10; }, 10000,
                      "the Am marker going"));
}

// The build's player with these arguments, no MIDI system but JACK_DEFAULT_SERVER's.
RunResult runPlayer(const std::string& arguments) {
  setenv("ALSA_CONFIG_PATH", "/dev/null", 1);
  setenv("JACK_DEFAULT_SERVER", "plinkar-e2e-none", 0);
  std::vector<std::string> argv{PLINKAR_PATH};
  std::istringstream words(arguments);
  for (std::string word; words >> word;) argv.push_back(word);
  return runProgram(argv);
}

TEST(PlayerCommandLine, VoicesAndMidiOptions) {
  // Standard error: a part of it, or nothing at all.
  const std::tuple<const char*, int, const char*> cases[] = {
      {"--voices 0", 2, "plinkar: --voices takes a number from 1 to 32, not 0\nusage: plinkar"},
      {"--voices 33", 2, "not 33\nusage: plinkar"},
      {"--voices x", 2, "not x\nusage: plinkar"},
      {"--voices 4x", 2, "not 4x\nusage: plinkar"},
      {"--voices", 2, "plinkar: --voices needs a value\nusage: plinkar"},
      {"--midi-connect", 2, "plinkar: --midi-connect needs a value\nusage: plinkar"},
      {"--voices 1 --version", 0, ""},
      {"--voices 32 --midi-connect x --version", 0, ""},
      {"--midi-list", 0, "plinkar: no MIDI input: no ALSA sequencer and no JACK server\n"},
      {"--help", 0, ""},
  };
  for (const auto& [arguments, status, says] : cases) {
    SCOPED_TRACE(arguments);
    const RunResult run = runPlayer(arguments);
    EXPECT_EQ(run.status, status);
    EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
    EXPECT_TRUE(*says || run.err.empty()) << run.err;
    EXPECT_TRUE(status != 2 || run.out.empty()) << run.out;
  }
  EXPECT_NE(runPlayer("--help").out.find("[--voices N] [--midi-connect NAME] [--midi-list]\n"),
            std::string::npos);
}

// An unreadable model ends with 1 though closing the windows runs a callback.
TEST(PlayerEnding, EachWayOutEndsWithItsStatus) {
  const std::string empty = testDir() + "/ending", data = empty + "/data";
  std::filesystem::create_directories(data);
  symlink(SOURCE_DIR "/data/piano.obj", (data + "/piano.obj").c_str());
  // What, started where only the piano's model is, how it ends, status, said.
  const std::tuple<const char*, bool, void (*)(const PlayerProcess&), int, const char*> cases[] = {
      {"Drum chosen without data/drum.obj", true,
       [](const PlayerProcess& p) {
         EXPECT_TRUE(chooseMenuEntry(p, p.playerWindow, 250, 420, 3, kDrum));
       },
       1, "glmReadOBJ() failed: can't open data file \"data/drum.obj\".\n"},
      {"Exit in the help card's menu", false,
       [](const PlayerProcess& p) {
         EXPECT_TRUE(chooseMenuEntry(p, p.helpCardWindow, 300, 200, 3, 0));
       },
       0, ""},
      {"the help card closed", false,
       [](const PlayerProcess& p) { closeLikeWindowManager(p.helpCardWindow); }, 0, ""},
      {"the player window closed", false,
       [](const PlayerProcess& p) { closeLikeWindowManager(p.playerWindow); }, 0, ""},
  };
  for (const auto& [what, withoutData, act, status, says] : cases) {
    SCOPED_TRACE(what);
    PlayerProcess player;
    if (withoutData) player.workDir = empty;
    ASSERT_TRUE(startPlayer(&player)) << playerLog(player);
    act(player);
    EXPECT_EQ(waitForExit(&player, 10000), status);
    EXPECT_NE(playerLog(player).find(says), std::string::npos) << playerLog(player);
    stopPlayer(&player);
  }
}

TEST_F(PlayerTest, ThousandsOfRandomInputsLeaveItRunningAtRestAndFlat) {
  for (int instrument : {kPiano, kDrum, kGuitar}) choose(instrument);
  const long startKb = residentKb(player_);
  std::mt19937 random(12345);
  const char* const keyNames[] = {
      "z",    "x",  "a",    "semicolon", "q",     "bracketright", "1",       "2",     "5",
      "6",    "8",  "9",    "0",         "minus", "Insert",       "Home",    "Prior", "End",
      "Next", "Up", "Down", "Left",      "Right", "F1",           "Shift_L", "Z"};
  const std::string w = window();
  for (int batch = 0; batch < 40; batch++) {
    std::string line;
    for (int i = 0; i < 60; i++) {
      const int what = random() % 10;
      if (what < 7) {
        line += " key --delay 0 --window " + w + " " + keyNames[random() % std::size(keyNames)];
      } else if (what < 9) {
        const int x = 50 + random() % 400, y = 50 + random() % 400;
        line += " mousemove --window " + w + " " + std::to_string(x) + " " + std::to_string(y) +
                " mousedown 1 mousemove_relative -- " + std::to_string(int(random() % 41) - 20) +
                " " + std::to_string(int(random() % 41) - 20) + " mouseup 1";
      } else {
        line += " mousedown --window " + w + " 2 mouseup --window " + w + " 2 key --delay 0 Escape";
      }  // the material menu opened and closed
    }
    if (batch % 16 == 15)  // an instrument's menu entry clicked, unchecked as the rest
      line += " mousemove --window " + w + " 250 420 click 3 mousemove --window " + w + " 262 " +
              std::to_string(433 + 27 * int(random() % 3)) + " click 1";
    xdotool(line);
    ASSERT_TRUE(isRunning(player_)) << "the player ended during batch " << batch;
  }
  // At rest: chord keys and a piano key (its timer releases all) change nothing.
  const Screenshot a = grabSettled(player_.playerWindow);
  EXPECT_TRUE(isRunning(player_));
  keys("1 2 3 4 5 6 z Insert");
  sleepMs(300);  // for nothing to stay down: twice the 140 ms a piano key shows down
  EXPECT_LT(countChanged(a, grab(player_.playerWindow)), 10) << "something was stuck down";
  const long endKb = residentKb(player_);
#ifdef __SANITIZE_ADDRESS__
  const long limitKb = 48 * 1024;  // freed memory waits in AddressSanitizer's quarantine
#else
  const long limitKb = 20 * 1024;
#endif
  EXPECT_LT(endKb - startKb, limitKb) << startKb << " kB grew to " << endKb << " kB";
}

// A MIDI keyboard on a JACK server of the test's own, connected with eight voices.
class MidiKeyboardTest : public PlayerTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(startJackServer(&jack_)) << "jackd -d dummy did not start";
    openKeyboard();
    player_.arguments = {"--voices", "8", "--midi-connect", "plinkar-e2e:keyboard"};
    PlayerTest::SetUp();
  }
  void TearDown() override {
    PlayerTest::TearDown();
    keyboard_.reset();
    stopJackServer(&jack_);
  }
  void openKeyboard() {
    keyboard_.reset(new RtMidiOut(RtMidi::UNIX_JACK, "plinkar-e2e"));
    keyboard_->openVirtualPort("keyboard");
  }
  void send(std::vector<unsigned char> bytes) { keyboard_->sendMessage(&bytes); }
  bool logSays(const std::string& text) {
    return playerLog(player_).find(text) != std::string::npos;
  }

  JackServer jack_;
  std::unique_ptr<RtMidiOut> keyboard_;
};

TEST_F(MidiKeyboardTest, NotesPlayThePianoAtTheirVelocityAndRingTogether) {
  EXPECT_EQ(playerLog(player_).find("MIDI"), std::string::npos) << playerLog(player_);
  const RunResult list = runPlayer("--midi-list");
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.out.find("JACK: plinkar-e2e:keyboard\n"), std::string::npos) << list.out;
  choose(kPiano);
  const Screenshot rest = grab(player_.playerWindow);
  send({0x90, 60, 127});
  expectLeftmostKeyDown(rest, grabChanged(player_.playerWindow, rest));
  send({0x80, 60, 0});
  sleepMs(300);           // the played timing, as are the sleeps after
  send({0x90, 61, 100});  // a black key: silence
  sleepMs(300);
  send({0x90, 62, 64});  // half velocity; the second note in running status
  sleepMs(50);
  send({64, 64});

  // After the silence note 62, and taking it away leaves note 64 about 50 ms
  // later, both at half level: both ring, neither cut off.
  const Samples re = monoWav("piano/re.wav", 64), me = monoWav("piano/me.wav", 64);
  size_t end = 0;
  const auto miAfterRe = [&](const Samples& output, long reAt) {
    Samples left(output.begin() + std::max(0L, reAt), output.end());
    for (size_t i = 0; i < left.size() && i < re.size(); i++) left[i] -= re[i];
    return placeOf(left, me, &end);
  };
  const Samples output = outputOnce(
      player_,
      [&](const Samples& out) { return miAfterRe(out, placeOf(out, re)) >= 0 && end > 22050; },
      "note 64 heard for half a second");
  const long doAt = placeOf(output, monoWav("piano/do.wav"));
  ASSERT_GE(doAt, 0) << "note 60 did not play do.wav at the key's level";
  const long reAt = placeOf(output, re);
  ASSERT_GT(reAt, doAt) << "note 62 did not play at half level";
  const long miAt = miAfterRe(output, reAt);
  EXPECT_GE(miAt, 0) << "the output is not note 62 and note 64 added, at half level";
  EXPECT_LT(miAt, 4410) << "the notes did not start about 50 ms apart";
  EXPECT_GT(end, 22050u) << "cut off";
}

// A black key stops every sound: at whatever phase it comes, the note fades
// out instead of jumping to silence.
TEST_F(MidiKeyboardTest, AStoppedNoteEndsNearZeroAtAnyPhase) {
  choose(kPiano);
  for (int ms : {137, 203, 251, 317, 389}) {
    send({0x90, 60, 127});
    sleepMs(ms);
    send({0x90, 61, 100});
    sleepMs(150);  // the gap between the sounds
  }
  const Samples played = outputOnce(player_, soundsEnded(5), "five sounds ended");
  const auto sounds = soundsIn(played);
  ASSERT_EQ(sounds.size(), 5u);
  for (const auto& [begin, end] : sounds) {
    EXPECT_GT(end - begin, 4410u) << "shorter than 100 ms";
    EXPECT_LE(std::abs(played[end - 1]), 300) << "cut off at " << played[end - 1];
  }
}

TEST_F(MidiKeyboardTest, EightNotesAtFullVelocityStayBelowFullScale) {
  choose(kPiano);
  for (unsigned char note : {60, 62, 64, 65, 67, 69, 71, 72}) send({0x90, note, 127});
  int peak = 0;
  for (int16_t sample : outputOnce(player_, soundsEnded(1), "the chord ended"))
    peak = std::max(peak, std::abs(int(sample)));
  EXPECT_LT(peak, 32767) << "clipped";
  EXPECT_GT(peak, 26000) << "the chord was not heard at its level";
}

long long nowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// do.wav rings 1.5 s when left alone. Times are the wall clock's: when a
// message was sent, when the buffer that ends the sound went to the device.
TEST_F(MidiKeyboardTest, ANoteOffDampsTheNoteAndThePedalHoldsItUntilLifted) {
  choose(kPiano);
  send({0x90, 60, 127});
  sleepMs(300);  // the played timing, as are the sleeps after
  const long long off = nowNanos();
  send({0x80, 60, 0});
  sleepMs(700);
  send({0xB0, 64, 127});
  send({0x90, 60, 127});
  sleepMs(200);
  const long long heldOff = nowNanos();
  send({0x80, 60, 0});
  sleepMs(600);
  const long long lift = nowNanos();
  send({0xB0, 64, 0});
  const auto sounds = soundsIn(outputOnce(player_, soundsEnded(2), "two sounds ended"));
  ASSERT_EQ(sounds.size(), 2u);
  const long long dampedEnd = sampleTimeNanos(player_, sounds[0].second),
                  heldEnd = sampleTimeNanos(player_, sounds[1].second);
  ASSERT_GT(dampedEnd, 0);
  ASSERT_GT(heldEnd, 0);
  EXPECT_GT(dampedEnd, off);
  EXPECT_LT(dampedEnd - off, 400000000) << "not damped within 400 ms of its note-off";
  EXPECT_GT(heldEnd - heldOff, 550000000) << "damped though the pedal was down";
  EXPECT_GT(heldEnd, lift);
  EXPECT_LT(heldEnd - lift, 400000000) << "not damped within 400 ms of the pedal lifting";
}

// The server goes and comes back, and so does the keyboard's port: the
// player opens its port again, connects the keyboard, and plays on.
TEST_F(MidiKeyboardTest, MidiComesBackWhenTheJackServerDoes) {
  choose(kPiano);
  keyboard_.reset();
  stopJackServer(&jack_);
  ASSERT_TRUE(waitFor([&] { return logSays("plinkar: MIDI input lost: "); }, 5000))
      << playerLog(player_);
  ASSERT_TRUE(startJackServer(&jack_));
  EXPECT_TRUE(waitFor(
      [] {
        return runProgram({"/usr/bin/jack_lsp"}).out.find("Plinkar:Plinkar\n") != std::string::npos;
      },
      5000))
      << "the player's port did not come back:\n"
      << runProgram({"/usr/bin/jack_lsp"}).out << playerLog(player_);
  openKeyboard();  // connected as the port comes back, or once it is back
  ASSERT_TRUE(waitFor(
      [&] {
        return logSays("connected to plinkar-e2e:keyboard\n") ||
               logSays("MIDI source plinkar-e2e:keyboard connected to port");
      },
      5000))
      << playerLog(player_);
  const size_t before = ReadRawSamples(player_.audioFile).size();
  send({0x90, 60, 127});
  const Samples doWav = monoWav("piano/do.wav");
  const auto heard = [&](const Samples& out) {
    return placeOf(Samples(out.begin() + std::min(before, out.size()), out.end()), doWav);
  };
  const Samples played = outputOnce(
      player_, [&](const Samples& out) { return heard(out) >= 0; },
      "do.wav heard after the server came back");
  EXPECT_GE(heard(played), 0) << "no sound after the server came back";
  const std::string log = playerLog(player_);
  EXPECT_NE(log.find("plinkar: MIDI input back: port Plinkar on JACK"), std::string::npos) << log;
  EXPECT_TRUE(isRunning(player_));
}

// A format-0 file at this division: tempo changes (µs a beat) and channel
// messages, each at its tick.
std::string midiFile(const std::string& name, int ppqn,
                     std::vector<std::pair<int, std::vector<uint8_t>>> events) {
  std::stable_sort(events.begin(), events.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string track;
  int last = 0;
  for (const auto& [tick, bytes] : events) {
    uint32_t delta = tick - last, buffer = delta & 0x7F;
    last = tick;
    while (delta >>= 7) buffer = buffer << 8 | 0x80 | (delta & 0x7F);
    for (;; buffer >>= 8) {
      track.push_back(char(buffer & 0xFF));
      if (!(buffer & 0x80)) break;
    }
    track.append(bytes.begin(), bytes.end());
  }
  track.append("\x00\xFF\x2F\x00", 4);
  auto be = [](uint32_t v, int n) {
    std::string out;
    for (int i = n - 1; i >= 0; i--) out.push_back(char(v >> (8 * i)));
    return out;
  };
  return writeFile(name, "MThd" + be(6, 4) + be(0, 2) + be(1, 2) + be(ppqn, 2) + "MTrk" +
                             be(uint32_t(track.size()), 4) + track);
}

std::vector<uint8_t> tempo(int micros) {
  return {0xFF, 0x51, 0x03, uint8_t(micros >> 16), uint8_t(micros >> 8), uint8_t(micros)};
}

// Onsets of the sounds in the player's output, in ms from the first, by the
// times the player handed their buffers to the device.
std::vector<double> onsetsMs(const PlayerProcess& player, const Samples& output) {
  std::vector<double> ms;
  for (const auto& [begin, end] : soundsIn(output)) {
    const long long at = sampleTimeNanos(player, begin);
    EXPECT_GT(at, 0) << "no buffer time for sample " << begin;
    ms.push_back(
        ms.empty() && at > 0 ? 0 : (at - sampleTimeNanos(player, soundsIn(output)[0].first)) / 1e6);
  }
  return ms;
}

// A song's output of n sounds once the last has ended and a short while has
// passed, to show that no other comes.
Samples songOutput(const PlayerProcess& player, size_t n) {
  outputOnce(player, soundsEnded(n), std::to_string(n) + " sounds ended");
  sleepMs(400);  // nothing more plays, and the player stays open
  return ReadRawSamples(player.audioFile);
}

// Piano notes on channel 1 and drums on channel 10, each cut by a black key,
// at 120 beats a minute and then 240.
TEST(PlayerSong, PlaysItsNotesAtTheirTimesOnTheInstrumentsItUses) {
  const std::string song = midiFile("song.mid", 96,
                                    {{0, tempo(500000)},
                                     {0, {0x90, 60, 127}},
                                     {48, {0x90, 61, 1}},
                                     {96, {0x99, 38, 127}},
                                     {144, {0x90, 61, 1}},
                                     {192, tempo(250000)},
                                     {192, {0x90, 64, 127}},
                                     {216, {0x90, 61, 1}},
                                     {240, {0x99, 42, 127}},
                                     {264, {0x90, 61, 1}},
                                     {288, {0x90, 67, 127}},
                                     {312, {0x90, 61, 1}}});
  PlayerProcess player;
  player.arguments = {"--play", song};
  ASSERT_TRUE(startPlayer(&player)) << playerLog(player);
  int drawn = 0;
  waitFor(
      [&] {
        const Screenshot view = grab(player.playerWindow);
        drawn = 0;
        for (int y = 0; y < view.height; y++)
          for (int x = 0; x < view.width; x++) drawn += view.at(x, y)[0] != view.at(0, 0)[0];
        return drawn > 20000;
      },
      10000);
  const std::vector<double> heard = onsetsMs(player, songOutput(player, 5));
  EXPECT_TRUE(isRunning(player)) << "the player did not stay open after the song";
  stopPlayer(&player);
  const std::vector<double> due = {0, 500, 1000, 1125, 1250};
  ASSERT_EQ(heard.size(), due.size());
  for (size_t i = 0; i < due.size(); i++) EXPECT_NEAR(heard[i], due[i], 15) << "note " << i;
  EXPECT_GT(drawn, 20000) << "the piano and the drum kit did not come out";
}

TEST(PlayerSong, ABadFileIsOneLineAndStatus1BeforeAnyWindow) {
  const std::string whole = midiFile("whole.mid", 96, {{0, {0x90, 60, 100}}, {96, {0x80, 60, 0}}});
  const std::string bytes = readFile(whole);
  const std::pair<std::string, const char*> cases[] = {
      {testDir() + "/missing.mid", "No such file or directory"},
      {writeFile("text.mid", "not a song\n"), "not a MIDI file"},
      {writeFile("cut.mid", bytes.substr(0, bytes.size() - 5)), "track 1 is"},
  };
  // Without a display: had a window been tried first, that would be the message.
  const std::string display = std::getenv("DISPLAY");
  unsetenv("DISPLAY");
  for (const auto& [path, says] : cases) {
    SCOPED_TRACE(path);
    const RunResult run = runPlayer("--play " + path);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("plinkar: " + path + ": ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "more than one line";
  }
  setenv("DISPLAY", display.c_str(), 1);
}

// Keys pressed while recording come back from the file as their notes at
// their times, and the file played back sounds them at those times again.
TEST(PlayerSong, WhatIsPlayedIsRecordedAndPlaysBackAtItsTimes) {
  const std::string recording = testDir() + "/played.mid";
  PlayerProcess player;
  player.arguments = {"--record", recording};
  ASSERT_TRUE(startPlayer(&player)) << playerLog(player);
  EXPECT_TRUE(chooseMenuEntry(player, player.playerWindow, 250, 420, 3, kPiano));
  EXPECT_TRUE(chooseMenuEntry(player, player.playerWindow, 250, 420, 3, kDrum));
  xdotool("windowfocus --sync " + std::to_string(player.playerWindow));
  xdotool(  // the played timing
      "key z sleep 0.25 key q sleep 0.25 key Insert sleep 0.25 key q sleep 0.25 key x sleep 0.25 "
      "key q");
  outputOnce(player, soundsEnded(3), "the last key stopping the third sound");
  EXPECT_EQ(stopPlayer(&player), 0) << playerLog(player);
  std::vector<SongEvent> events;
  std::string error;
  ASSERT_TRUE(songRead(recording.c_str(), &events, &error)) << error;
  std::vector<std::pair<int, int>> notesOn;  // status, note
  std::vector<double> at;
  for (const SongEvent& event : events)
    if ((event.bytes[0] & 0xF0) == 0x90) {
      notesOn.push_back({event.bytes[0], event.bytes[1]});
      at.push_back(event.nanos / 1e6);
    }
  const std::vector<std::pair<int, int>> expected = {{0x90, 60}, {0x90, 61}, {0x99, 41},
                                                     {0x90, 61}, {0x90, 62}, {0x90, 61}};
  ASSERT_EQ(notesOn.size(), expected.size());
  for (size_t i = 0; i < expected.size(); i++) {
    EXPECT_EQ(notesOn[i].first, expected[i].first) << "the status of note " << i;
    EXPECT_EQ(notesOn[i].second, expected[i].second) << "note " << i;
  }
  for (size_t i = 1; i < at.size(); i++) EXPECT_NEAR(at[i] - at[i - 1], 250, 60) << i;

  PlayerProcess again;
  again.arguments = {"--play", recording};
  ASSERT_TRUE(startPlayer(&again)) << playerLog(again);
  const std::vector<double> heard = onsetsMs(again, songOutput(again, 3));
  stopPlayer(&again);
  ASSERT_EQ(heard.size(), 3u);
  for (size_t i = 0; i < 3; i++) EXPECT_NEAR(heard[i], at[2 * i] - at[0], 6) << "note " << i;
}

// Every way out writes the recording; one that cannot be written says so
// and ends with 1.
TEST(PlayerSong, EveryWayOutWritesTheRecording) {
  const std::string folder = testDir() + "/ways";
  std::filesystem::create_directories(folder);
  const std::tuple<const char*, std::string, void (*)(PlayerProcess*), int> cases[] = {
      {"Exit", folder + "/exit.mid",
       [](PlayerProcess* p) {
         EXPECT_TRUE(chooseMenuEntry(*p, p->helpCardWindow, 300, 200, 3, 0));
       },
       0},
      {"window closed", folder + "/closed.mid",
       [](PlayerProcess* p) { closeLikeWindowManager(p->playerWindow); }, 0},
      {"SIGINT", folder + "/int.mid", [](PlayerProcess* p) { kill(p->pid, SIGINT); }, 0},
      {"no such folder", folder + "/none/x.mid", [](PlayerProcess* p) { kill(p->pid, SIGTERM); },
       1},
  };
  for (const auto& [what, path, end, status] : cases) {
    SCOPED_TRACE(what);
    PlayerProcess player;
    player.arguments = {"--record", path};
    ASSERT_TRUE(startPlayer(&player)) << playerLog(player);
    EXPECT_TRUE(chooseMenuEntry(player, player.playerWindow, 250, 420, 3, kPiano));
    xdotool("windowfocus --sync " + std::to_string(player.playerWindow) + " key z");
    outputOnce(
        player, [](const Samples& out) { return !soundsIn(out).empty(); }, "z heard");
    end(&player);
    EXPECT_EQ(waitForExit(&player, 10000), status);
    std::vector<SongEvent> events;
    std::string error;
    EXPECT_EQ(songRead(path.c_str(), &events, &error), status == 0) << error;
    if (status != 0) {
      EXPECT_NE(playerLog(player).find("plinkar: can't write the recording to " + path + ": "),
                std::string::npos)
          << playerLog(player);
    }
    stopPlayer(&player);
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path() << " was left behind";
}

}  // namespace
