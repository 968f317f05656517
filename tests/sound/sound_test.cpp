// The sound call: the file a name opens, the mixer, and playback as the
// device gets it from SDL's disk driver (raw 16-bit mono at 44.1 kHz).
#include "platform/sound.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>

#include "platform/sound_internal.h"
#include "tests/support/files.h"
#include "tests/support/wav_read.h"

namespace {

// "\305\353\261\342\305\270" is the Korean for acoustic guitar in CP949.
TEST(SoundFilePath, BackslashesBecomeSlashesAndCp949BecomesUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"wav\\piano/do.wav", "wav/piano/do.wav"},
      {"", ""},
      {"wav\\gita\\\305\353\261\342\305\270Am.wav", u8"wav/gita/통기타Am.wav"},
      {"\201\101.wav", u8"갂.wav"},  // a UHC syllable whose trail byte is a letter
      // Bytes that are not CP949 pass through, a lead byte cut off by the end too.
      {"a\377b", "a\377b"},
      {"\200\\x", "\200/x"},
      {"x\305", "x\305"},
      {"\305\353\377\261\342\\", std::string(u8"통") + "\377" + u8"기/"},
  };
  for (const auto& [name, path] : cases) EXPECT_EQ(soundFilePath(name.c_str()), path) << name;
}

// A mono PCM WAV in the test directory; 8-bit samples are stored unsigned.
std::string wav(const std::string& name, const std::vector<int>& samples, uint32_t rate = 44100,
                uint32_t bits = 16) {
  const uint32_t size = static_cast<uint32_t>(samples.size()) * bits / 8;
  auto le = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  std::string bytes = "RIFF" + le(36 + size) + "WAVEfmt " + le(16) + le(1 | 1 << 16) + le(rate) +
                      le(rate * bits / 8) + le(bits / 8 | bits << 16) + "data" + le(size);
  for (int sample : samples) bytes.append(reinterpret_cast<const char*>(&sample), bits / 8);
  return writeFile(name, bytes);
}

// A sine around offset: never 0 with |offset| > 8000, so apart from silence.
std::vector<int> tone(size_t count, double cyclesPerSample = 0.01, int offset = 9000) {
  std::vector<int> samples(count);
  for (size_t i = 0; i < count; ++i)
    samples[i] =
        offset + static_cast<int>(std::lround(8000 * std::sin(2 * M_PI * cyclesPerSample * i)));
  return samples;
}

size_t firstNonZero(const std::vector<int>& s, size_t from = 0) {
  return std::find_if(s.begin() + from, s.end(), [](int v) { return v != 0; }) - s.begin();
}

// Index of expected's first sample off out[start..] by over tolerance, or its size.
size_t mismatchAt(const std::vector<int>& out, size_t start, const std::vector<int>& expected,
                  int tolerance = 0) {
  for (size_t i = 0; i < expected.size(); ++i)
    if (start + i >= out.size() || std::abs(out[start + i] - expected[i]) > tolerance) return i;
  return expected.size();
}

// The output holds the sound whole at its first sample, then silence.
void expectWhole(const std::vector<int>& out, const std::vector<int>& samples, int tolerance = 0) {
  const size_t start = firstNonZero(out);
  ASSERT_LT(start, out.size()) << "nothing was heard";
  EXPECT_EQ(mismatchAt(out, start, samples, tolerance), samples.size());
  EXPECT_EQ(firstNonZero(out, start + samples.size()), out.size()) << "silence after the end";
}

// Polls until done() holds; the bound keeps a broken device from hanging.
bool waitUntil(const std::function<bool()>& done) {
  for (int ms = 0; ms < 20000; ms++, std::this_thread::sleep_for(std::chrono::milliseconds(1)))
    if (done()) return true;
  return false;
}
bool waitForBuffers(unsigned long long count) {
  const unsigned long long target = soundBuffersFilled() + count;
  return waitUntil([target] { return soundBuffersFilled() >= target; });
}
// Then a little silence follows.
bool waitForEnd() {
  return waitUntil([] { return !soundPlaying(); }) && waitForBuffers(4);
}
bool waitForStart() {
  return waitUntil([] { return soundVoiceStartNanos() != 0; }) && waitForBuffers(3);
}

class SoundPlayback : public ::testing::Test {
 protected:
  void SetUp() override {
    soundShutdown();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output_.c_str(), 1);
  }
  void TearDown() override {
    soundShutdown();
    soundSetVoices(1);
    unsetenv("SDL_DISKAUDIOFILE");
    unsetenv("SDL_AUDIODRIVER");
  }

  // What the device got, once audio is shut down and the file complete.
  std::vector<int> played() {
    soundShutdown();
    const std::vector<int16_t> samples = ReadRawSamples(output_);
    return std::vector<int>(samples.begin(), samples.end());
  }

  const std::string output_ = testDir() + "/out.raw";
};

// Mixed or not, a sound alone reaches the device bit for bit.
TEST_F(SoundPlayback, SoundAloneReachesTheDeviceAsWritten) {
  std::vector<int> loud = tone(4410), short8, widened, plain = tone(2205), half;
  loud[100] = 32767, loud[101] = -32768;
  for (int sample : loud) half.push_back(sample >> 1);
  for (int sample : tone(4410, 0.01, 0)) {
    short8.push_back(148 + sample / 80);  // 8-bit, stored unsigned
    widened.push_back((short8.back() - 128) * 256);
  }
  std::filesystem::create_directories(testDir() + "/wav/gita");
  wav(u8"wav/gita/통기타Am.wav", plain);
  const struct {
    const char* what;
    std::string path;
    const std::vector<int>& heard;
    int voices, flags, tolerance;
    float level = 1.0f;  // scales mixed sounds only; soundPlay's
  } cases[] = {
      {"alone", wav("a.wav", loud), loud, 1, SND_ASYNC, 0, 0.5f},
      {"mixed at half level", wav("a.wav", loud), half, 2, SND_ASYNC, 0, 0.5f},
      // Within one 8-bit step: neighbouring samples differ by several steps.
      {"8-bit, widened", wav("b.wav", short8, 44100, 8), widened, 1, SND_ASYNC, 256},
      {"CP949 name", testDir() + "\\wav\\gita\\\305\353\261\342\305\270Am.wav", plain, 1, SND_ASYNC,
       0},
      {"not async: returns when played", wav("c.wav", plain), plain, 1, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    soundShutdown();
    soundSetVoices(c.voices);
    ASSERT_EQ(c.level == 1.0f ? sndPlaySoundA(c.path.c_str(), c.flags)
                              : soundPlay(c.path.c_str(), c.level, kMixerNoNote),
              1);
    EXPECT_EQ(soundDeviceInfo().frames, 128);  // small buffers
    // Not async: played already, from a known start.
    if (c.flags == 0) {
      EXPECT_FALSE(soundPlaying());
      EXPECT_NE(soundVoiceStartNanos(), 0);
    }
    ASSERT_TRUE(waitForEnd());
    expectWhole(played(), c.heard, c.tolerance);
  }
}

// Constant sounds, so that each sum tells which voices are playing; a cut
// voice fades out in between.
TEST_F(SoundPlayback, VoicesRingTogetherTheFirstStartedMakesWayAndNullStopsAll) {
  soundSetVoices(2);
  for (int level : {10000, 12000, -4000}) {
    ASSERT_EQ(sndPlaySoundA(wav(std::to_string(level), std::vector<int>(88200, level)).c_str(),
                            SND_ASYNC),
              1);
    ASSERT_TRUE(waitForStart());
  }
  // A missing file takes no voice from the others.
  EXPECT_EQ(sndPlaySoundA((testDir() + "/missing.wav").c_str(), SND_ASYNC), 0);
  ASSERT_TRUE(waitForBuffers(3));
  EXPECT_EQ(sndPlaySoundA(nullptr, SND_ASYNC), 1);
  ASSERT_TRUE(waitForEnd());
  const std::vector<int> out = played();
  std::vector<int> steady;  // each level held for over a buffer, once, from the first sound
  size_t run = 0;
  for (size_t i = std::max<size_t>(firstNonZero(out), 1); i < out.size(); i++) {
    run = out[i] == out[i - 1] ? run + 1 : 0;
    if (run == 128 && (steady.empty() || steady.back() != out[i])) steady.push_back(out[i]);
  }
  EXPECT_EQ(steady, (std::vector<int>{10000, 22000, 8000, 0}));
}

TEST_F(SoundPlayback, HalfRateSoundIsResampledToItsEnd) {
  // 0.2 s at 22.05 kHz: 8820 samples at the device's rate.
  ASSERT_EQ(sndPlaySoundA(wav("a.wav", tone(4410, 0.02, 12000), 22050).c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForEnd());
  const std::vector<int> out = played();
  // Where the tone is loud; the resampler's filter softens both edges.
  auto loud = [](int sample) { return sample > 2000; };
  const size_t first = std::find_if(out.begin(), out.end(), loud) - out.begin(),
               end = out.rend() - std::find_if(out.rbegin(), out.rend(), loud);
  EXPECT_NEAR(static_cast<double>(end) - first, 8820, 8.0);
  // Between the edges, the same tone at twice the samples.
  const std::vector<int> ideal = tone(8820, 0.01, 12000),
                         middle(ideal.begin() + 64, ideal.end() - 64);
  EXPECT_EQ(mismatchAt(out, first + 64, middle, 160), middle.size());
}

// A new sound, a null name or one that plays nothing cuts off the sound still
// playing: it fades out within 5 ms while a new one starts at once, whole.
TEST_F(SoundPlayback, NewSoundNullNameOrMissingFileCutsOffTheOnePlaying) {
  EXPECT_EQ(sndPlaySoundA(writeFile("garbage.wav", "not a wave file").c_str(), SND_ASYNC), 0);
  EXPECT_EQ(sndPlaySoundA("", SND_ASYNC), 0);
  // Positive and negative tones, so each sample tells which sound it is from.
  const std::vector<int> first = tone(88200), second = tone(2205, 0.02, -9000), none;
  const std::string path = wav("first.wav", first), next = wav("second.wav", second);
  const std::tuple<const char*, int, const std::vector<int>&> cases[] = {
      {nullptr, 1, none}, {"missing.wav", 0, none}, {next.c_str(), 1, second}};
  constexpr size_t kFade = 44100 * 5 / 1000;
  for (const auto& [stop, result, then] : cases) {
    SCOPED_TRACE(stop ? stop : "null");
    soundShutdown();
    ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
    ASSERT_TRUE(waitForStart());
    EXPECT_EQ(sndPlaySoundA(stop, SND_ASYNC), result);
    ASSERT_TRUE(waitForEnd());
    const std::vector<int> out = played();
    const size_t start = firstNonZero(out), heard = mismatchAt(out, start, first);
    ASSERT_LT(heard, first.size()) << "the first sound played to its end";
    EXPECT_GT(heard, 0u);
    // The fade: never louder than the sound, the new one under it.
    const size_t cut = start + heard;
    for (size_t i = 0; i < kFade && cut + i < out.size(); i++) {
      const int newSound = i < then.size() ? then[i] : 0;
      ASSERT_LE(std::abs(out[cut + i] - newSound), first[heard + i]) << i;
    }
    EXPECT_EQ(mismatchAt(out, cut + kFade,
                         std::vector<int>(then.begin() + std::min(kFade, then.size()), then.end())),
              then.size() - std::min(kFade, then.size()));
    EXPECT_EQ(firstNonZero(out, cut + std::max(kFade, then.size())), out.size()) << "silence after";
  }
}

// Both threads that play, the player's and MIDI's, at once: every call
// returns, nothing is lost or torn (ThreadSanitizer watches this one).
TEST_F(SoundPlayback, SoundsPlayFromTwoThreadsAtOnce) {
  soundSetVoices(4);
  const std::string a = wav("a.wav", tone(441)), b = wav("b.wav", tone(441, 0.02, -9000));
  soundPreload(a.c_str());
  auto player = [](const std::string& path, int note, int* played) {
    for (int i = 0; i < 300; i++) {
      *played += i % 10 == 9 ? sndPlaySoundA(nullptr, SND_ASYNC)
                             : soundPlay(path.c_str(), 0.5f, i % 3 ? note : kMixerNoNote);
      if (i % 4 == 0) soundNoteOff(note);
      if (i % 50 == 0) soundSustain(0, i % 100 == 0);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  };
  int playedA = 0, playedB = 0;
  std::thread other(player, b, mixerNote(0, 62), &playedB);
  player(a, mixerNote(0, 60), &playedA);
  other.join();
  EXPECT_EQ(playedA, 300);
  EXPECT_EQ(playedB, 300);
  ASSERT_TRUE(waitForEnd());
  const std::vector<int> out = played();
  EXPECT_GT(std::count_if(out.begin(), out.end(), [](int s) { return s > 8000; }), 1000);
  EXPECT_GT(std::count_if(out.begin(), out.end(), [](int s) { return s < -8000; }), 1000);
}

// Without a usable device it plays into SDL's dummy driver, saying so once.
TEST_F(SoundPlayback, UnusableDeviceFallsBackToDummyAndSaysSoOnce) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"no-such-driver", nullptr, true},
      {"disk", "/nonexistent-dir/out.raw", true},
      {"dummy", nullptr, false}};
  EXPECT_EQ(sndPlaySoundA(nullptr, SND_ASYNC), 1);  // a stop before any sound needs no audio
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
  const std::string path = wav("fallback.wav", tone(2205));
  for (const auto& [driver, file, says] : cases) {
    SCOPED_TRACE(driver);
    soundShutdown();
    setenv("SDL_AUDIODRIVER", driver, 1);
    if (file) setenv("SDL_DISKAUDIOFILE", file, 1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
    EXPECT_STREQ(soundDeviceInfo().driver, "dummy");
    EXPECT_TRUE(waitUntil([] { return !soundPlaying(); })) << "the dummy consumes the sound";
    EXPECT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
    EXPECT_EQ(sndPlaySoundA("missing.wav", SND_ASYNC), 0);
    EXPECT_EQ(sndPlaySoundA(nullptr, SND_ASYNC), 1);
    const std::string said = ::testing::internal::GetCapturedStderr();
    if (says) {  // one line
      EXPECT_NE(said.find("no audio device"), std::string::npos) << said;
      EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    } else {
      EXPECT_EQ(said, "");
    }
  }
}

}  // namespace
