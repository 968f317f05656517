// Playback as the device gets it: SDL's disk driver writes every buffer the
// callback fills to a file (raw 16-bit mono at 44.1 kHz, as the call asks).
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound.h"
#include "platform/sound_internal.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kNoMismatch = static_cast<size_t>(-1);

void putLittleEndian(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A mono PCM WAV; 8-bit samples are stored unsigned, 16-bit ones signed.
void writeWav(const fs::path& path, int rate, int bits, const std::vector<int>& samples) {
  uint32_t dataBytes = static_cast<uint32_t>(samples.size() * bits / 8);
  std::string wav = "RIFF";
  putLittleEndian(wav, 36 + dataBytes, 4);
  wav += "WAVEfmt ";
  putLittleEndian(wav, 16, 4);
  putLittleEndian(wav, 1, 2);  // PCM
  putLittleEndian(wav, 1, 2);  // mono
  putLittleEndian(wav, rate, 4);
  putLittleEndian(wav, rate * bits / 8, 4);
  putLittleEndian(wav, bits / 8, 2);
  putLittleEndian(wav, bits, 2);
  wav += "data";
  putLittleEndian(wav, dataBytes, 4);
  for (int sample : samples) putLittleEndian(wav, static_cast<uint32_t>(sample), bits / 8);
  std::ofstream(path, std::ios::binary) << wav;
}

// A sine around offset; with |offset| > amplitude it is never 0, so it stands
// out from the silence around it.
std::vector<int> tone(size_t count, double cyclesPerSample, int amplitude, int offset) {
  std::vector<int> samples(count);
  for (size_t i = 0; i < count; ++i) {
    samples[i] = offset + static_cast<int>(
                              std::lround(amplitude * std::sin(2 * M_PI * cyclesPerSample * i)));
  }
  return samples;
}

std::vector<int> readSamples(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<int> samples;
  char bytes[2];
  while (in.read(bytes, 2)) {
    samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[0]) |
                                           (static_cast<uint8_t>(bytes[1]) << 8)));
  }
  return samples;
}

size_t firstNonZero(const std::vector<int>& samples, size_t from = 0) {
  for (size_t i = from; i < samples.size(); ++i) {
    if (samples[i] != 0) return i;
  }
  return samples.size();
}

// Index into expected of the first sample that differs from out at start
// (by more than tolerance), or kNoMismatch.
size_t mismatchAt(const std::vector<int>& out, size_t start, const std::vector<int>& expected,
                  int tolerance = 0) {
  for (size_t i = 0; i < expected.size(); ++i) {
    if (start + i >= out.size() || std::abs(out[start + i] - expected[i]) > tolerance) return i;
  }
  return kNoMismatch;
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
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool waitForBuffers(unsigned long long count) {
  unsigned long long target = soundBuffersFilled() + count;
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
    dir_ = fs::temp_directory_path() /
           ("plinkar-sound-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    output_ = dir_ / "out.raw";
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
    fs::remove_all(dir_);
  }

  // What the device got, once audio is shut down and the file complete.
  std::vector<int> played() {
    soundShutdown();
    return readSamples(output_);
  }

  std::string wav(const std::string& name, int rate, int bits, const std::vector<int>& samples) {
    fs::path path = dir_ / name;
    writeWav(path, rate, bits, samples);
    return path.string();
  }

  fs::path dir_;
  fs::path output_;
};

TEST_F(SoundPlayback, DeviceTakesSixteenBitMonoAt44100InSmallBuffers) {
  std::string path = wav("a.wav", 44100, 16, tone(441, 0.01, 8000, 9000));
  ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
  SoundDeviceInfo info = soundDeviceInfo();
  ASSERT_NE(info.driver, nullptr);
  EXPECT_STREQ(info.driver, "disk");
  EXPECT_EQ(info.rate, 44100);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.bytesPerSample, 2);
  EXPECT_EQ(info.frames, 256);
}

// Mixed or not, a sound alone reaches the device bit for bit.
TEST_F(SoundPlayback, WholeSoundReachesTheDeviceInOrder) {
  std::vector<int> samples = tone(4410, 441.0 / 44100, 8000, 9000);
  samples[100] = 32767;
  samples[101] = -32768;
  std::string path = wav("a.wav", 44100, 16, samples);
  for (int voices : {1, 4}) {
    SCOPED_TRACE(voices);
    soundShutdown();
    soundSetVoices(voices);
    ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
    ASSERT_TRUE(waitForEnd());
    std::vector<int> out = played();
    size_t start = firstNonZero(out);
    ASSERT_LT(start, out.size());
    EXPECT_EQ(mismatchAt(out, start, samples), kNoMismatch);
    EXPECT_EQ(firstNonZero(out, start + samples.size()), out.size()) << "silence after the end";
  }
}

// Constant sounds, so that each sum tells which voices are playing.
TEST_F(SoundPlayback, VoicesRingTogetherTheFirstStartedMakesWayAndNullStopsAll) {
  soundSetVoices(2);
  const std::string a = wav("a.wav", 44100, 16, std::vector<int>(88200, 1000));
  const std::string b = wav("b.wav", 44100, 16, std::vector<int>(88200, 2000));
  const std::string c = wav("c.wav", 44100, 16, std::vector<int>(88200, 4000));
  for (const std::string& path : {a, b, c}) {
    ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
    ASSERT_TRUE(waitForStart());
  }
  // A missing file takes no voice from the others.
  EXPECT_EQ(sndPlaySoundA((dir_ / "missing.wav").c_str(), SND_ASYNC), 0);
  ASSERT_TRUE(waitForBuffers(3));
  EXPECT_EQ(sndPlaySoundA(nullptr, SND_ASYNC), 1);
  EXPECT_FALSE(soundPlaying());
  ASSERT_TRUE(waitForBuffers(4));
  std::vector<int> out = played();
  std::vector<int> heard;  // each run of equal samples once, from the first sound
  for (size_t i = firstNonZero(out); i < out.size(); i++)
    if (heard.empty() || heard.back() != out[i]) heard.push_back(out[i]);
  EXPECT_EQ(heard, (std::vector<int>{1000, 3000, 6000, 0}));
}

TEST_F(SoundPlayback, LevelScalesOnlyMixedSounds) {
  const std::string path = wav("a.wav", 44100, 16, std::vector<int>(2205, 10000));
  for (int voices : {1, 2}) {
    SCOPED_TRACE(voices);
    soundShutdown();
    soundSetVoices(voices);
    soundSetLevel(0.5f);
    ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
    ASSERT_TRUE(waitForEnd());
    std::vector<int> out = played();
    EXPECT_EQ(out[firstNonZero(out)], voices == 1 ? 10000 : 5000);
  }
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

TEST_F(SoundPlayback, SecondPlayOfTheSameFileUsesTheCacheAndRestarts) {
  std::vector<int> samples = tone(2205, 441.0 / 44100, 8000, 9000);
  std::string path = wav("a.wav", 44100, 16, samples);
  ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForEnd());
  // The cached copy plays even after the file is gone.
  fs::remove(path);
  ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForEnd());
  std::vector<int> out = played();
  size_t first = firstNonZero(out);
  EXPECT_EQ(mismatchAt(out, first, samples), kNoMismatch);
  size_t second = firstNonZero(out, first + samples.size());
  EXPECT_EQ(mismatchAt(out, second, samples), kNoMismatch);
}

TEST_F(SoundPlayback, EightBitSoundIsWidenedSampleForSample) {
  std::vector<int> samples = tone(4410, 441.0 / 44100, 100, 128 + 20);
  std::string path = wav("a.wav", 44100, 8, samples);
  ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForEnd());
  std::vector<int> widened;
  for (int sample : samples) widened.push_back((sample - 128) * 256);
  std::vector<int> out = played();
  size_t start = firstNonZero(out);
  ASSERT_LT(start, out.size());
  // Within one 8-bit step: neighbouring samples differ by several steps.
  EXPECT_EQ(mismatchAt(out, start, widened, 256), kNoMismatch);
  EXPECT_EQ(firstNonZero(out, start + widened.size()), out.size());
}

TEST_F(SoundPlayback, HalfRateSoundIsResampledToItsEnd) {
  // 0.2 s at 22.05 kHz: 8820 samples at the device's rate.
  const size_t count = 4410;
  std::string path = wav("a.wav", 22050, 16, tone(count, 441.0 / 22050, 8000, 12000));
  ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForEnd());
  std::vector<int> out = played();
  // Where the tone is loud; the resampler's filter softens both edges.
  size_t first = out.size();
  size_t last = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] > 2000) {
      first = std::min(first, i);
      last = i;
    }
  }
  ASSERT_LT(first, out.size());
  EXPECT_NEAR(static_cast<double>(last + 1 - first), 2.0 * count, 8.0);
  // Between the edges, the same tone at twice the samples.
  std::vector<int> ideal = tone(2 * count, 441.0 / 44100, 8000, 12000);
  std::vector<int> middle(ideal.begin() + 64, ideal.end() - 64);
  EXPECT_EQ(mismatchAt(out, first + 64, middle, 160), kNoMismatch);
}

TEST_F(SoundPlayback, NewSoundCutsOffTheOneStillPlaying) {
  // Positive and negative tones, so each sample tells which sound it is from.
  std::vector<int> first = tone(88200, 441.0 / 44100, 8000, 9000);
  std::vector<int> second = tone(2205, 882.0 / 44100, 8000, -9000);
  std::string firstPath = wav("first.wav", 44100, 16, first);
  std::string secondPath = wav("second.wav", 44100, 16, second);
  ASSERT_EQ(sndPlaySoundA(firstPath.c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForStart());
  ASSERT_EQ(sndPlaySoundA(secondPath.c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForEnd());
  std::vector<int> out = played();

  size_t start = firstNonZero(out);
  size_t heard = mismatchAt(out, start, first);
  ASSERT_NE(heard, kNoMismatch) << "the first sound played to its end";
  EXPECT_GT(heard, 0u);
  // The second follows at once, whole, and then silence.
  EXPECT_EQ(mismatchAt(out, start + heard, second), kNoMismatch);
  EXPECT_EQ(firstNonZero(out, start + heard + second.size()), out.size());
}

TEST_F(SoundPlayback, NullNameStopsTheSound) {
  std::vector<int> samples = tone(88200, 441.0 / 44100, 8000, 9000);
  std::string path = wav("a.wav", 44100, 16, samples);
  ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForStart());
  EXPECT_EQ(sndPlaySoundA(nullptr, SND_ASYNC), 1);
  EXPECT_FALSE(soundPlaying());
  ASSERT_TRUE(waitForBuffers(4));
  expectCutOffPartway(played(), samples);
}

TEST_F(SoundPlayback, MissingOrBadFilePlaysNothingAndCutsOff) {
  std::string garbage = (dir_ / "garbage.wav").string();
  std::ofstream(garbage) << "not a wave file at all";
  EXPECT_EQ(sndPlaySoundA((dir_ / "missing.wav").c_str(), SND_ASYNC), 0);
  EXPECT_EQ(sndPlaySoundA(garbage.c_str(), SND_ASYNC), 0);
  EXPECT_EQ(sndPlaySoundA("", SND_ASYNC), 0);

  std::vector<int> samples = tone(88200, 441.0 / 44100, 8000, 9000);
  std::string path = wav("a.wav", 44100, 16, samples);
  ASSERT_EQ(sndPlaySoundA(path.c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForStart());
  EXPECT_EQ(sndPlaySoundA((dir_ / "missing.wav").c_str(), SND_ASYNC), 0);
  EXPECT_FALSE(soundPlaying());
  ASSERT_TRUE(waitForBuffers(4));
  expectCutOffPartway(played(), samples);
}

TEST_F(SoundPlayback, BackslashCp949NameOpensTheUtf8File) {
  std::vector<int> samples = tone(2205, 441.0 / 44100, 8000, 9000);
  fs::create_directories(dir_ / "wav" / "gita");
  writeWav(dir_ / "wav" / "gita" / u8"통기타Am.wav", 44100, 16, samples);
  std::string name = dir_.string() + "\\wav\\gita\\\xC5\xEB\xB1\xE2\xC5\xB8" + "Am.wav";
  ASSERT_EQ(sndPlaySoundA(name.c_str(), SND_ASYNC), 1);
  ASSERT_TRUE(waitForEnd());
  std::vector<int> out = played();
  EXPECT_EQ(mismatchAt(out, firstNonZero(out), samples), kNoMismatch);
}

TEST_F(SoundPlayback, WithoutAsyncTheCallReturnsWhenTheSoundHasPlayed) {
  std::vector<int> samples = tone(2205, 441.0 / 44100, 8000, 9000);
  std::string path = wav("a.wav", 44100, 16, samples);
  ASSERT_EQ(sndPlaySoundA(path.c_str(), 0), 1);
  EXPECT_FALSE(soundPlaying());
  EXPECT_NE(soundVoiceStartNanos(), 0);
  ASSERT_TRUE(waitForBuffers(4));
  std::vector<int> out = played();
  EXPECT_EQ(mismatchAt(out, firstNonZero(out), samples), kNoMismatch);
}

class SoundFallback : public ::testing::Test {
 protected:
  void SetUp() override {
    soundShutdown();
    path_ = fs::temp_directory_path() / ("plinkar-fallback-" + std::to_string(getpid()) + ".wav");
    writeWav(path_, 44100, 16, tone(2205, 441.0 / 44100, 8000, 9000));
  }
  void TearDown() override {
    soundShutdown();
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    fs::remove(path_);
  }
  fs::path path_;
};

TEST_F(SoundFallback, UnknownDriverFallsBackToDummyAndSaysSoOnce) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(sndPlaySoundA(path_.c_str(), SND_ASYNC), 1);
  SoundDeviceInfo info = soundDeviceInfo();
  ASSERT_NE(info.driver, nullptr);
  EXPECT_STREQ(info.driver, "dummy");
  // The dummy device still consumes the sound.
  EXPECT_TRUE(waitUntil([] { return !soundPlaying(); }));
  EXPECT_EQ(sndPlaySoundA(path_.c_str(), SND_ASYNC), 1);
  EXPECT_EQ(sndPlaySoundA(nullptr, SND_ASYNC), 1);
  std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("no audio device"), std::string::npos) << said;
  EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
}

TEST_F(SoundFallback, DeviceThatCannotOpenFallsBackToDummy) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/nonexistent-dir/out.raw", 1);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(sndPlaySoundA(path_.c_str(), SND_ASYNC), 1);
  ::testing::internal::GetCapturedStderr();
  SoundDeviceInfo info = soundDeviceInfo();
  ASSERT_NE(info.driver, nullptr);
  EXPECT_STREQ(info.driver, "dummy");
}

TEST_F(SoundFallback, ChosenDummyDriverPlaysQuietly) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(sndPlaySoundA(path_.c_str(), SND_ASYNC), 1);
  EXPECT_EQ(sndPlaySoundA("missing.wav", SND_ASYNC), 0);
  EXPECT_EQ(sndPlaySoundA(nullptr, SND_ASYNC), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_STREQ(soundDeviceInfo().driver, "dummy");
}

TEST(SoundStop, NullNameBeforeAnySoundNeedsNoAudio) {
  soundShutdown();
  EXPECT_EQ(sndPlaySoundA(nullptr, SND_ASYNC), 1);
  EXPECT_EQ(soundDeviceInfo().driver, nullptr);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

}  // namespace
