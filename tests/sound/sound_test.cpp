// The sound call: the file a name opens, the mixer, and playback as the
// device gets it from SDL's disk driver (raw 16-bit mono at 44.1 kHz).
#include "platform/sound.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound_internal.h"
#include "tests/support/files.h"

namespace {

TEST(SoundFilePath, BackslashesBecomeSlashesAndCp949BecomesUtf8) {
  const struct {
    std::string name, path;
  } cases[] = {
      {"wav/piano/do.wav", "wav/piano/do.wav"},
      {"\\\\a\\\\b\\", "//a//b/"},
      {"", ""},
      {"wav\\gita\\\xC5\xEB\xB1\xE2\xC5\xB8"
       "Am.wav",
       u8"wav/gita/통기타Am.wav"},
      {"\x81\x41.wav", u8"갂.wav"},  // a UHC syllable whose trail byte is a letter
      // Bytes that are not CP949 pass through, a lead byte cut off by the end too.
      {"a\xFF"
       "b",
       "a\xFF"
       "b"},
      {"\x80\\x", "\x80/x"},
      {"x\xC5", "x\xC5"},
      {"\xC5\xEB\xFF\xB1\xE2\\", std::string(u8"통") + "\xFF" + u8"기/"},
  };
  for (const auto& c : cases) EXPECT_EQ(soundFilePath(c.name.c_str()), c.path) << c.name;
}

TEST(SoundMix, SumSaturatesAndGainScales) {
  struct Case {
    std::vector<int16_t> a, b;
    int32_t gainB;
    std::vector<int16_t> out;
  };
  const Case cases[] = {
      {{20000, -20000, 1000, 32767, -32768},
       {20000, -20000, -3000, 0, 0},
       kSoundFullGain,
       {32767, -32768, -2000, 32767, -32768}},
      {{0, 0, 0}, {10000, -3, 7}, kSoundFullGain / 2, {5000, -2, 3}},
      // b runs out first: a goes on alone, then silence.
      {{5, 6, 7, 8}, {1}, kSoundFullGain, {6, 6, 7, 8, 0, 0}},
  };
  for (const Case& c : cases) {
    SoundVoice voices[3];
    voices[0].data = reinterpret_cast<const uint8_t*>(c.a.data());
    voices[0].length = static_cast<uint32_t>(c.a.size() * 2);
    voices[2].data = reinterpret_cast<const uint8_t*>(c.b.data());
    voices[2].length = static_cast<uint32_t>(c.b.size() * 2);
    voices[2].gain = c.gainB;
    std::vector<int16_t> out(c.out.size(), 99);
    mixVoices(voices, 3, out.data(), static_cast<int>(out.size()));
    EXPECT_EQ(out, c.out);
    EXPECT_FALSE(voiceActive(voices[2]));
  }
}

TEST(SoundMix, NewSoundTakesAFreeVoiceElseTheFirstStarted) {
  const uint8_t bytes[4] = {};
  SoundVoice voices[3];
  EXPECT_EQ(voiceFor(voices, 3), 0);
  const unsigned long long serials[3] = {7, 5, 9};
  for (int v = 0; v < 3; v++) voices[v] = {bytes, 4, 0, serials[v], true, kSoundFullGain};
  EXPECT_EQ(voiceFor(voices, 3), 1);
  EXPECT_EQ(voiceFor(voices, 1), 0);
  voices[2].position = 4;  // played out
  EXPECT_EQ(voiceFor(voices, 3), 2);
}

constexpr size_t kNoMismatch = static_cast<size_t>(-1);

// A mono PCM WAV in the test directory; 8-bit samples are stored unsigned.
std::string wav(const std::string& name, const std::vector<int>& samples, int rate = 44100,
                int bits = 16) {
  std::string bytes;
  auto put = [&](uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
  };
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * bits / 8);
  bytes = "RIFF";
  put(36 + dataBytes, 4);
  bytes += "WAVEfmt ";
  for (uint32_t v : {16u, 1u << 16 | 1u}) put(v, 4);  // PCM, mono
  put(rate, 4);
  put(rate * bits / 8, 4);
  put(bits / 8 | bits << 16, 4);
  bytes += "data";
  put(dataBytes, 4);
  for (int sample : samples) put(static_cast<uint32_t>(sample), bits / 8);
  return writeFile(name, bytes);
}

// A sine around offset; with |offset| > amplitude it is never 0, so it stands
// out from the silence around it.
std::vector<int> tone(size_t count, double cyclesPerSample = 0.01, int offset = 9000) {
  std::vector<int> samples(count);
  for (size_t i = 0; i < count; ++i)
    samples[i] =
        offset + static_cast<int>(std::lround(8000 * std::sin(2 * M_PI * cyclesPerSample * i)));
  return samples;
}

size_t firstNonZero(const std::vector<int>& samples, size_t from = 0) {
  while (from < samples.size() && samples[from] == 0) from++;
  return from;
}

// Index into expected of the first sample that differs from out at start
// by more than tolerance, or kNoMismatch.
size_t mismatchAt(const std::vector<int>& out, size_t start, const std::vector<int>& expected,
                  int tolerance = 0) {
  for (size_t i = 0; i < expected.size(); ++i)
    if (start + i >= out.size() || std::abs(out[start + i] - expected[i]) > tolerance) return i;
  return kNoMismatch;
}

// The output holds the sound whole at its first sample, then silence.
void expectWhole(const std::vector<int>& out, const std::vector<int>& samples, int tolerance = 0) {
  const size_t start = firstNonZero(out);
  ASSERT_LT(start, out.size()) << "nothing was heard";
  EXPECT_EQ(mismatchAt(out, start, samples, tolerance), kNoMismatch);
  EXPECT_EQ(firstNonZero(out, start + samples.size()), out.size()) << "silence after the end";
}

// The output holds the sound from its start, cut off partway, then silence.
void expectCutOffPartway(const std::vector<int>& out, const std::vector<int>& samples) {
  const size_t start = firstNonZero(out);
  const size_t heard = mismatchAt(out, start, samples);
  ASSERT_NE(heard, kNoMismatch) << "the sound played to its end";
  EXPECT_GT(heard, 0u);
  EXPECT_EQ(firstNonZero(out, start + heard), out.size()) << "silence after the stop";
}

// Polls until done() holds; the bound only keeps a broken device from hanging
// the suite.
bool waitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool waitForBuffers(unsigned long long count) {
  const unsigned long long target = soundBuffersFilled() + count;
  return waitUntil([target] { return soundBuffersFilled() >= target; });
}

// Lets the sound play out and a little silence follow it.
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
    soundSetLevel(1.0f);
    unsetenv("SDL_DISKAUDIOFILE");
    unsetenv("SDL_AUDIODRIVER");
  }

  // What the device got, once audio is shut down and the file complete.
  std::vector<int> played() {
    soundShutdown();
    const std::string bytes = readFile(output_);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return std::vector<int>(samples.begin(), samples.end());
  }
  // Plays the file alone to its end.
  std::vector<int> playOut(const std::string& path, int voices = 1) {
    soundShutdown();
    soundSetVoices(voices);
    EXPECT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
    EXPECT_TRUE(waitForEnd());
    return played();
  }

  const std::string output_ = testDir() + "/out.raw";
};

TEST_F(SoundPlayback, DeviceTakesSixteenBitMonoAt44100InSmallBuffers) {
  ASSERT_EQ(sndPlaySoundA(wav("a.wav", tone(441)).c_str(), SND_ASYNC), 1);
  const SoundDeviceInfo info = soundDeviceInfo();
  ASSERT_NE(info.driver, nullptr);
  EXPECT_STREQ(info.driver, "disk");
  EXPECT_EQ(info.rate, 44100);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.bytesPerSample, 2);
  EXPECT_EQ(info.frames, 256);
}

// Mixed or not, a sound alone reaches the device bit for bit.
TEST_F(SoundPlayback, WholeSoundReachesTheDeviceInOrder) {
  std::vector<int> samples = tone(4410);
  samples[100] = 32767;
  samples[101] = -32768;
  const std::string path = wav("a.wav", samples);
  for (int voices : {1, 4}) {
    SCOPED_TRACE(voices);
    expectWhole(playOut(path, voices), samples);
  }
}

TEST_F(SoundPlayback, EightBitSoundIsWidenedSampleForSample) {
  const std::vector<int> samples = tone(4410, 0.01, 148);
  std::vector<int> unsigned8, widened;
  for (int sample : samples) {
    unsigned8.push_back(148 + (sample - 148) / 80);  // amplitude 100 around 148
    widened.push_back((unsigned8.back() - 128) * 256);
  }
  // Within one 8-bit step: neighbouring samples differ by several steps.
  expectWhole(playOut(wav("a.wav", unsigned8, 44100, 8)), widened, 256);
}

// Constant sounds, so that each sum tells which voices are playing.
TEST_F(SoundPlayback, VoicesRingTogetherTheFirstStartedMakesWayAndNullStopsAll) {
  soundSetVoices(2);
  for (int level : {1000, 2000, 4000}) {
    ASSERT_EQ(sndPlaySoundA(wav(std::to_string(level), std::vector<int>(88200, level)).c_str(),
                            SND_ASYNC),
              1);
    ASSERT_TRUE(waitForStart());
  }
  // A missing file takes no voice from the others.
  EXPECT_EQ(sndPlaySoundA((testDir() + "/missing.wav").c_str(), SND_ASYNC), 0);
  ASSERT_TRUE(waitForBuffers(3));
  EXPECT_EQ(sndPlaySoundA(nullptr, SND_ASYNC), 1);
  EXPECT_FALSE(soundPlaying());
  ASSERT_TRUE(waitForBuffers(4));
  const std::vector<int> out = played();
  std::vector<int> heard;  // each run of equal samples once, from the first sound
  for (size_t i = firstNonZero(out); i < out.size(); i++)
    if (heard.empty() || heard.back() != out[i]) heard.push_back(out[i]);
  EXPECT_EQ(heard, (std::vector<int>{1000, 3000, 6000, 0}));
}

TEST_F(SoundPlayback, LevelScalesOnlyMixedSounds) {
  const std::string path = wav("a.wav", std::vector<int>(2205, 10000));
  for (int voices : {1, 2}) {
    SCOPED_TRACE(voices);
    soundSetLevel(0.5f);
    const std::vector<int> out = playOut(path, voices);
    EXPECT_EQ(out[firstNonZero(out)], voices == 1 ? 10000 : 5000);
  }
}

TEST_F(SoundPlayback, SecondPlayOfTheSameFileUsesTheCacheAndRestarts) {
  const std::vector<int> samples = tone(2205);
  const std::string path = wav("a.wav", samples);
  ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForEnd());
  std::filesystem::remove(path);  // the cached copy plays even so
  ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForEnd());
  const std::vector<int> out = played();
  const size_t first = firstNonZero(out);
  EXPECT_EQ(mismatchAt(out, first, samples), kNoMismatch);
  EXPECT_EQ(mismatchAt(out, firstNonZero(out, first + samples.size()), samples), kNoMismatch);
}

TEST_F(SoundPlayback, HalfRateSoundIsResampledToItsEnd) {
  // 0.2 s at 22.05 kHz: 8820 samples at the device's rate.
  const std::vector<int> out = playOut(wav("a.wav", tone(4410, 0.02, 12000), 22050));
  // Where the tone is loud; the resampler's filter softens both edges.
  size_t first = out.size(), last = 0;
  for (size_t i = 0; i < out.size(); ++i)
    if (out[i] > 2000) {
      first = std::min(first, i);
      last = i;
    }
  ASSERT_LT(first, out.size());
  EXPECT_NEAR(static_cast<double>(last + 1 - first), 8820, 8.0);
  // Between the edges, the same tone at twice the samples.
  const std::vector<int> ideal = tone(8820, 0.01, 12000);
  EXPECT_EQ(
      mismatchAt(out, first + 64, std::vector<int>(ideal.begin() + 64, ideal.end() - 64), 160),
      kNoMismatch);
}

TEST_F(SoundPlayback, NewSoundCutsOffTheOneStillPlaying) {
  // Positive and negative tones, so each sample tells which sound it is from.
  const std::vector<int> first = tone(88200), second = tone(2205, 0.02, -9000);
  ASSERT_EQ(sndPlaySoundA(wav("first.wav", first).c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForStart());
  ASSERT_EQ(sndPlaySoundA(wav("second.wav", second).c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForEnd());
  const std::vector<int> out = played();
  const size_t start = firstNonZero(out), heard = mismatchAt(out, start, first);
  ASSERT_NE(heard, kNoMismatch) << "the first sound played to its end";
  EXPECT_GT(heard, 0u);
  // The second follows at once, whole, and then silence.
  EXPECT_EQ(mismatchAt(out, start + heard, second), kNoMismatch);
  EXPECT_EQ(firstNonZero(out, start + heard + second.size()), out.size());
}

// A null name stops the sound, and so does one that plays nothing.
TEST_F(SoundPlayback, NullNameOrMissingFileStopsTheSound) {
  const std::string garbage = writeFile("garbage.wav", "not a wave file at all");
  EXPECT_EQ(sndPlaySoundA(garbage.c_str(), SND_ASYNC), 0);
  EXPECT_EQ(sndPlaySoundA("", SND_ASYNC), 0);
  const std::vector<int> samples = tone(88200);
  const std::string path = wav("a.wav", samples);
  for (const char* stop : {static_cast<const char*>(nullptr), "missing.wav"}) {
    SCOPED_TRACE(stop ? stop : "null");
    soundShutdown();
    ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
    ASSERT_TRUE(waitForStart());
    EXPECT_EQ(sndPlaySoundA(stop, SND_ASYNC), stop ? 0 : 1);
    EXPECT_FALSE(soundPlaying());
    ASSERT_TRUE(waitForBuffers(4));
    expectCutOffPartway(played(), samples);
  }
}

TEST_F(SoundPlayback, BackslashCp949NameOpensTheUtf8File) {
  const std::vector<int> samples = tone(2205);
  std::filesystem::create_directories(testDir() + "/wav/gita");
  wav(u8"wav/gita/통기타Am.wav", samples);
  expectWhole(playOut(testDir() + "\\wav\\gita\\\xC5\xEB\xB1\xE2\xC5\xB8" + "Am.wav"), samples);
}

TEST_F(SoundPlayback, WithoutAsyncTheCallReturnsWhenTheSoundHasPlayed) {
  const std::vector<int> samples = tone(2205);
  ASSERT_EQ(sndPlaySoundA(wav("a.wav", samples).c_str(), 0), 1);
  EXPECT_FALSE(soundPlaying());
  EXPECT_NE(soundVoiceStartNanos(), 0);
  ASSERT_TRUE(waitForBuffers(4));
  expectWhole(played(), samples);
}

// Without a usable device the call plays into SDL's dummy driver, and says so
// once unless the dummy was chosen.
TEST(SoundFallback, UnusableDeviceFallsBackToDummyAndSaysSoOnce) {
  const struct {
    const char* driver;
    const char* file;
    bool says;
  } cases[] = {{"no-such-driver", nullptr, true},
               {"disk", "/nonexistent-dir/out.raw", true},
               {"dummy", nullptr, false}};
  const std::string path = wav("fallback.wav", tone(2205));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.driver);
    soundShutdown();
    setenv("SDL_AUDIODRIVER", c.driver, 1);
    if (c.file) setenv("SDL_DISKAUDIOFILE", c.file, 1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
    ASSERT_NE(soundDeviceInfo().driver, nullptr);
    EXPECT_STREQ(soundDeviceInfo().driver, "dummy");
    EXPECT_TRUE(waitUntil([] { return !soundPlaying(); })) << "the dummy consumes the sound";
    EXPECT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
    EXPECT_EQ(sndPlaySoundA("missing.wav", SND_ASYNC), 0);
    EXPECT_EQ(sndPlaySoundA(nullptr, SND_ASYNC), 1);
    const std::string said = ::testing::internal::GetCapturedStderr();
    if (c.says) {
      EXPECT_NE(said.find("no audio device"), std::string::npos) << said;
      EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    } else {
      EXPECT_EQ(said, "");
    }
  }
  soundShutdown();
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");
}

TEST(SoundStop, NullNameBeforeAnySoundNeedsNoAudio) {
  soundShutdown();
  EXPECT_EQ(sndPlaySoundA(nullptr, SND_ASYNC), 1);
  EXPECT_EQ(soundDeviceInfo().driver, nullptr);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

}  // namespace
