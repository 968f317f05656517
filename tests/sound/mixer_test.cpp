// The mixer as the audio callback runs it: sounds alone come out as recorded,
// cuts fade instead of clicking, several voices never reach full scale, and
// the damper and the sustain pedal act on MIDI notes only.
#include "platform/mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kCutSamples = kRate * kMixerCutMs / 1000;
constexpr int kReleaseSamples = kRate * kMixerReleaseMs / 1000;

// A sine of this amplitude and period in samples.
std::vector<int16_t> sine(size_t count, double amplitude, double period = 100.3) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; i++)
    samples[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * i / period)));
  return samples;
}

class MixerTest : public ::testing::Test {
 protected:
  void init(int voices) {
    mixer_ = std::make_unique<Mixer>();
    mixerInit(mixer_.get(), voices, kRate);
    serial_ = 0;
  }
  void start(const std::vector<int16_t>& sound, int note = kMixerNoNote,
             int32_t gain = kMixerFullGain) {
    MixerCommand command;
    command.action = MixerAction::Start;
    command.samples = sound.data();
    command.length = static_cast<uint32_t>(sound.size());
    command.gain = gain;
    command.note = note;
    command.serial = ++serial_;
    mixerApply(mixer_.get(), command);
  }
  void apply(MixerAction action, int note = 0, bool down = false) {
    MixerCommand command;
    command.action = action;
    command.note = note;
    command.channel = note;
    command.down = down;
    mixerApply(mixer_.get(), command);
  }
  // The next samples, rendered in the callback's buffers of 128.
  std::vector<int16_t> render(size_t count) {
    std::vector<int16_t> out(count);
    for (size_t done = 0; done < count; done += 128)
      mixerRender(mixer_.get(), out.data() + done,
                  static_cast<int>(std::min<size_t>(128, count - done)));
    return out;
  }

  std::unique_ptr<Mixer> mixer_;
  unsigned long long serial_ = 0;
};

// Index of the last sample that is not 0, or -1.
long lastSound(const std::vector<int16_t>& out) {
  for (size_t i = out.size(); i-- > 0;)
    if (out[i] != 0) return static_cast<long>(i);
  return -1;
}

TEST_F(MixerTest, ASoundAloneComesOutAsRecordedWithAnyNumberOfVoices) {
  std::vector<int16_t> loud = sine(3000, 32767);
  loud[10] = -32768;
  for (int voices : {1, 2, 32}) {
    SCOPED_TRACE(voices);
    init(voices);
    start(loud);
    std::vector<int16_t> out = render(3200);
    EXPECT_TRUE(std::equal(loud.begin(), loud.end(), out.begin()));
    EXPECT_EQ(lastSound(out), 2999);
    EXPECT_FALSE(mixerSounding(*mixer_, 0));
  }
  // Two quiet voices add up exactly: the limiter only acts near full scale.
  init(2);
  const std::vector<int16_t> a = sine(500, 10000), b = sine(500, 12000, 37.1);
  start(a);
  start(b);
  const std::vector<int16_t> out = render(500);
  for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], a[i] + b[i]) << i;
}

// Every way a sound is cut: it follows its fading self and ends near zero,
// within the fade, with no step larger than the sound's own.
TEST_F(MixerTest, CutsFadeOutOverAFewMillisecondsAtAnyPhase) {
  const std::vector<int16_t> tone = sine(20000, 30000);
  int largestStep = 0;
  for (size_t i = 1; i < tone.size(); i++)
    largestStep = std::max(largestStep, std::abs(tone[i] - tone[i - 1]));
  // A new sound of no samples still cuts the oldest; silence takes a voice.
  const std::vector<int16_t> none, silence(40000, 0);
  enum { kStop, kNewSoundOneVoice, kStolenVoice };
  for (int way : {kStop, kNewSoundOneVoice, kStolenVoice}) {
    for (size_t at : {1000u, 1025u, 1050u, 1077u}) {  // at peaks, zero crossings and between
      SCOPED_TRACE(testing::Message() << "way " << way << " at " << at);
      init(way == kStolenVoice ? 2 : 1);
      start(tone);
      if (way == kStolenVoice) start(silence);
      std::vector<int16_t> out = render(at);
      if (way == kStop) apply(MixerAction::StopAll);
      if (way != kStop) start(none);  // takes the place of the oldest voice
      const std::vector<int16_t> tail = render(2000);
      out.insert(out.end(), tail.begin(), tail.end());
      ASSERT_TRUE(std::equal(tone.begin(), tone.begin() + at, out.begin()));
      const long last = lastSound(out);
      EXPECT_LE(last, static_cast<long>(at + kCutSamples));
      ASSERT_GE(last, 0);
      EXPECT_LE(std::abs(out[last]), 300);
      for (size_t i = at; i <= static_cast<size_t>(last); i++) {
        EXPECT_LE(std::abs(out[i]), std::abs(tone[i])) << i;
        EXPECT_LE(std::abs(out[i] - out[i - 1]), largestStep) << i;
      }
    }
  }
}

TEST_F(MixerTest, ChordsStayBelowFullScaleAndTheGainComesBack) {
  init(8);
  std::vector<std::vector<int16_t>> notes;
  for (int v = 0; v < 8; v++) notes.push_back(sine(kRate / 2, 26000, 80 + 7.3 * v));
  for (const auto& note : notes) start(note);
  const std::vector<int16_t> chord = render(kRate / 2);
  int peak = 0, over = 0, atCeiling = 0;
  for (size_t i = 0; i < chord.size(); i++) {
    peak = std::max(peak, std::abs(int(chord[i])));
    atCeiling += std::abs(chord[i]) == kMixerCeiling;
    int sum = 0;
    for (const auto& note : notes) sum += note[i];
    over += std::abs(sum) > kMixerCeiling;
  }
  EXPECT_LE(peak, kMixerCeiling);
  EXPECT_GT(peak, kMixerCeiling - 100) << "limited more than needed";
  // Not flattened as clipping would: only a new peak meets the ceiling.
  EXPECT_LT(atCeiling, over / 10);
  // Half a second after the chord a note alone is as recorded again.
  render(kRate / 2);
  const std::vector<int16_t> alone = sine(2000, 32000);
  start(alone);
  const std::vector<int16_t> out = render(2000);
  EXPECT_TRUE(std::equal(alone.begin(), alone.end(), out.begin()));
}

// Notes ring 1 s unless damped; a key's sound (no note) ignores both.
TEST_F(MixerTest, NoteOffDampsUnlessThePedalIsDownWithMoreThanOneVoice) {
  const std::vector<int16_t> note = sine(kRate, 20000);
  const int c4 = mixerNote(0, 60), d4 = mixerNote(0, 62), otherChannel = mixerNote(1, 60);
  struct Step {
    const char* what;
    int voices;
    bool pedal;  // down on channel 0 before the note-off, up 2000 samples later
    int playedAs;
    long endsBefore, endsAfter;  // the last sample's bounds
  };
  const long damped = 1000 + kReleaseSamples, pedalUp = 3000 + kReleaseSamples;
  const Step steps[] = {
      {"note-off damps", 2, false, c4, damped - 200, damped + 1},
      {"pedal down: rings until it lifts", 2, true, c4, pedalUp - 200, pedalUp + 1},
      {"one voice: plays to its end", 1, false, c4, kRate - 10, kRate},
      {"a key's sound is not a note", 2, true, kMixerNoNote, kRate - 10, kRate},
      {"another note's off", 2, false, d4, kRate - 10, kRate},
      {"another channel's off", 2, false, otherChannel, kRate - 10, kRate},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    init(step.voices);
    if (step.pedal) apply(MixerAction::Pedal, 0, true);
    start(note, step.playedAs);
    std::vector<int16_t> out = render(1000);
    apply(MixerAction::NoteOff, c4);
    std::vector<int16_t> more = render(2000);
    out.insert(out.end(), more.begin(), more.end());
    apply(MixerAction::Pedal, 0, false);
    more = render(kRate);
    out.insert(out.end(), more.begin(), more.end());
    EXPECT_GT(lastSound(out), step.endsBefore);
    EXPECT_LT(lastSound(out), step.endsAfter);
  }
  // A note still held when the pedal lifts rings on.
  init(4);
  apply(MixerAction::Pedal, 0, true);
  start(note, c4);
  start(note, d4);
  apply(MixerAction::NoteOff, d4);
  render(1000);
  apply(MixerAction::Pedal, 0, false);
  render(kReleaseSamples + 10);
  EXPECT_TRUE(mixerSounding(*mixer_, 1));
  EXPECT_FALSE(mixerSounding(*mixer_, 2));
}

// Four threads at once: each command arrives once, each thread's in order.
TEST(MixerQueueTest, CommandsFromManyThreadsArriveOnceAndInTheirOrder) {
  auto queue = std::make_unique<MixerQueue>();
  constexpr int kThreads = 4, kEach = 20000;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; t++)
    writers.emplace_back([&queue, t] {
      for (int i = 0; i < kEach;) {
        MixerCommand command;
        command.note = t;
        command.serial = static_cast<unsigned long long>(i);
        if (queuePush(queue.get(), command))
          i++;
        else
          std::this_thread::yield();
      }
    });
  std::vector<unsigned long long> next(kThreads, 0);
  int taken = 0;
  MixerCommand command;
  while (taken < kThreads * kEach) {
    if (!queuePop(queue.get(), &command)) continue;
    ASSERT_EQ(command.serial, next[command.note]) << "thread " << command.note;
    next[command.note]++;
    taken++;
  }
  for (std::thread& writer : writers) writer.join();
  EXPECT_FALSE(queuePop(queue.get(), &command));
  // A full queue refuses a command instead of overwriting one.
  for (uint32_t i = 0; i < MixerQueue::kSize; i++) ASSERT_TRUE(queuePush(queue.get(), command));
  EXPECT_FALSE(queuePush(queue.get(), command));
}

}  // namespace
